// The play list through the window: stepping forward and back, shuffle,
// and entries that cannot be played, removed while playback goes on in the
// direction of travel.
#include "window_test_util.h"

#include <QAction>
#include <QFile>

#include <set>

using namespace mwtest;

namespace {

class PlayListWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (!FixturesMade()) GTEST_SKIP() << "media fixtures not made";
    }
    QString Broken(const QString& relative)
    {
        const QString path = Home(relative);
        EXPECT_TRUE(testutil::WriteFile(path, testutil::ReadFile(Fixture("random.bin")).left(4096)));
        return path;
    }
    // Replaces a playable entry's file with bytes that cannot be played.
    void Spoil(const QString& path)
    {
        QFile::remove(path);
        ASSERT_TRUE(testutil::WriteFile(path, testutil::ReadFile(Fixture("random.bin")).left(4096)));
    }
    QString Current() const { return w->PlayList().Item(w->ListIndex()).Path; }
};

TEST_F(PlayListWindow, NextAndPreviousStepThroughTheEntriesAndWrap)
{
    const QString a = Sound("s/a.wav"), b = Sound("s/b.wav"), c = Sound("s/c.wav");
    Open({a, b, c});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(Caption(), "Zoravel 1/3 a");
    const int expected[] = {1, 2, 0};
    for (int index : expected) {
        w->TBtnNextTrackClick();
        ASSERT_TRUE(WaitPlaying());
        EXPECT_EQ(w->ListIndex(), index);
    }
    w->TBtnPreviousTrackClick();
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(w->ListIndex(), 2);
    EXPECT_EQ(Current(), c);
    EXPECT_EQ(Caption(), "Zoravel 3/3 c");

    // Paused, a step keeps the pause.
    w->TogglePlayPause();
    ASSERT_EQ(w->PlayState(), psPaused);
    w->TBtnNextTrackClick();
    EXPECT_EQ(w->ListIndex(), 0);
    EXPECT_EQ(w->PlayState(), psPaused);
}

TEST_F(PlayListWindow, OneEntryDoesNotStep)
{
    const QString a = Sound("one/a.wav");
    Open({a});
    ASSERT_TRUE(WaitPlaying());
    media::FilterGraph* graph = w->Graph();
    w->TBtnNextTrackClick();
    w->TBtnPreviousTrackClick();
    EXPECT_EQ(w->Graph(), graph);
    EXPECT_EQ(w->ListIndex(), 0);
    EXPECT_FALSE(ui()->TBtnNextTrack->isEnabled());
    EXPECT_EQ(Caption(), "Zoravel - a");
}

// After an item that was the only entry, the next and previous buttons are
// disabled; a list of several entries that replaces it (a drop, a second
// start, the open dialog) enables them again.
TEST_F(PlayListWindow, StepButtonsComeBackForTheNextListOfSeveral)
{
    const QString one = Sound("btn/one.wav");
    const QString a = Sound("btn/a.wav"), b = Sound("btn/b.wav");
    Open({one});
    ASSERT_TRUE(WaitPlaying());
    ASSERT_FALSE(ui()->TBtnNextTrack->isEnabled());
    TDropFiles drop{{a, b}};
    w->SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(&drop), 0);
    ASSERT_TRUE(WaitPlaying());
    ASSERT_EQ(Paths().size(), 2);
    EXPECT_TRUE(ui()->TBtnNextTrack->isEnabled());
    EXPECT_TRUE(ui()->TBtnPreviousTrack->isEnabled());
}

TEST_F(PlayListWindow, StepButtonsOfAListOfSeveral)
{
    const QString a = Sound("btn2/a.wav"), b = Sound("btn2/b.wav");
    Open({a, b});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_TRUE(ui()->TBtnNextTrack->isEnabled());
    EXPECT_TRUE(ui()->TBtnPreviousTrack->isEnabled());
}

TEST_F(PlayListWindow, BrokenEntryInTheMiddleIsRemovedGoingForward)
{
    const QString a = Sound("m/a.wav"), c = Sound("m/c.wav");
    const QString b = Broken("m/b.wav");
    Open({a, b, c});
    ASSERT_TRUE(WaitPlaying());
    w->TBtnNextTrackClick();
    ASSERT_TRUE(WaitPlaying()) << Caption();
    EXPECT_EQ(Paths(), QStringList({a, c}));
    EXPECT_EQ(Current(), c);
    EXPECT_EQ(Caption(), "Zoravel 2/2 c");
}

TEST_F(PlayListWindow, BrokenEntryInTheMiddleIsRemovedGoingBackward)
{
    const QString a = Sound("mb/a.wav"), b = Sound("mb/b.wav"), c = Sound("mb/c.wav");
    Open({a, b, c});
    ASSERT_TRUE(WaitPlaying());
    w->TBtnPreviousTrackClick();   // to c
    ASSERT_TRUE(WaitPlaying());
    Spoil(b);
    w->TBtnPreviousTrackClick();   // b fails: on back to a
    ASSERT_TRUE(WaitPlaying()) << Caption();
    EXPECT_EQ(Paths(), QStringList({a, c}));
    EXPECT_EQ(Current(), a);
}

TEST_F(PlayListWindow, BrokenEntriesAtBothEnds)
{
    // The first entry of a new list: on to the next, which takes its place.
    const QString b = Sound("e/b.wav"), c = Sound("e/c.wav");
    const QString first = Broken("e/a.wav");
    Open({first, b, c});
    ASSERT_TRUE(WaitPlaying()) << Caption();
    EXPECT_EQ(Paths(), QStringList({b, c}));
    EXPECT_EQ(w->ListIndex(), 0);

    // The last, going forward: round to the first.
    const QString x = Sound("f/x.wav"), y = Sound("f/y.wav");
    const QString last = Broken("f/z.wav");
    Open({x, y, last});
    ASSERT_TRUE(WaitPlaying());
    w->TBtnNextTrackClick();
    ASSERT_TRUE(WaitPlaying());
    w->TBtnNextTrackClick();
    ASSERT_TRUE(WaitPlaying()) << Caption();
    EXPECT_EQ(Paths(), QStringList({x, y}));
    EXPECT_EQ(Current(), x);

    // The first, going backward: round to the last.
    const QString p = Sound("g/p.wav"), q = Sound("g/q.wav"), r = Sound("g/r.wav");
    Open({p, q, r});
    ASSERT_TRUE(WaitPlaying());
    w->TBtnNextTrackClick();   // q
    ASSERT_TRUE(WaitPlaying());
    Spoil(p);
    w->TBtnPreviousTrackClick();
    ASSERT_TRUE(WaitPlaying()) << Caption();
    EXPECT_EQ(Paths(), QStringList({q, r}));
    EXPECT_EQ(Current(), r);
}

TEST_F(PlayListWindow, LastGoodEntryIsPlayedWhenTheOtherFails)
{
    const QString a = Sound("two/a.wav");
    const QString b = Broken("two/b.wav");
    Open({a, b});
    ASSERT_TRUE(WaitPlaying());
    w->TBtnNextTrackClick();
    ASSERT_TRUE(WaitPlaying()) << Caption();
    EXPECT_EQ(Paths(), QStringList({a}));
    EXPECT_EQ(w->ListIndex(), 0);
}

TEST_F(PlayListWindow, ThousandsOfUnplayableEntriesEndAsCannotPlay)
{
    const QString dir = Home("broken");
    ASSERT_TRUE(MakeDir(dir));
    const QByteArray junk = testutil::ReadFile(Fixture("random.bin")).left(64);
    for (int i = 0; i < 2000; ++i)
        ASSERT_TRUE(testutil::WriteFile(dir + QString::asprintf("/%04d.wav", i), junk));
    // Opened as Open() does, with the list watched from the start.
    Close();
    w = std::make_unique<TZoMain>(QStringList{dir});
    QObject watch;
    int inserted = 0, resets = 0;
    QObject::connect(&w->PlayList(), &QAbstractItemModel::rowsInserted, &watch, [&inserted] { ++inserted; });
    QObject::connect(&w->PlayList(), &QAbstractItemModel::modelReset, &watch, [&resets] { ++resets; });
    w->show();
    ASSERT_TRUE(testutil::WaitUntil([this] { return !w->Probe().StartupIntakePending(); }, 10000));
    // The folder's entries reached the list's views at once, not one by one.
    EXPECT_EQ(inserted, 0);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(Caption(), "Zoravel 再生できません");
    EXPECT_TRUE(w->PlayList().IsEmpty());
    EXPECT_EQ(w->Graph(), nullptr);
    EXPECT_FALSE(w->Probe().IsGraphStarting());
    EXPECT_FALSE(w->AddingItems());
    EXPECT_EQ(w->PlayState(), psNothing);
}

TEST_F(PlayListWindow, UnplayableEntriesWithShuffleAreRemovedUntilOnePlays)
{
    SetMainDword("Shuffle", 1);
    const QString dir = Home("broken");
    ASSERT_TRUE(MakeDir(dir));
    const QByteArray junk = testutil::ReadFile(Fixture("random.bin")).left(64);
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(testutil::WriteFile(dir + QString::asprintf("/%04d.wav", i), junk));
    const QString good = Sound("broken/zz-good.wav");
    Open({dir});
    ASSERT_TRUE(WaitPlaying()) << Caption();
    EXPECT_EQ(Current(), good);
    // What is left is still a list with a matching shuffle order.
    const int count = w->PlayList().Count();
    const std::vector<int>& order = w->PlayList().ShuffleOrder();
    if (count > 1) {
        ASSERT_EQ(static_cast<int>(order.size()), count);
        std::set<int> values(order.begin(), order.end());
        EXPECT_EQ(static_cast<int>(values.size()), count);
        EXPECT_EQ(*values.begin(), 0);
        EXPECT_EQ(*values.rbegin(), count - 1);
        EXPECT_EQ(order[static_cast<size_t>(w->PlayList().ShufflePosition())], w->ListIndex());
    }

    // None playable: the end is the cannot-play notice.
    QFile::remove(good);
    Open({dir});
    EXPECT_EQ(Caption(), "Zoravel 再生できません");
    EXPECT_TRUE(w->PlayList().IsEmpty());
    EXPECT_FALSE(w->PlayList().HasShuffleOrder());
}

TEST_F(PlayListWindow, ShufflePlaysAPermutation)
{
    SetMainDword("Shuffle", 1);
    QStringList files;
    for (const char* name : {"a", "b", "c", "d", "e"}) files << Sound(QString("sh/%1.wav").arg(name));
    Open(files);
    ASSERT_TRUE(WaitPlaying());
    ASSERT_TRUE(w->PlayList().HasShuffleOrder());
    std::vector<int> played{w->ListIndex()};
    EXPECT_EQ(w->PlayList().ShufflePosition(), 0);
    EXPECT_TRUE(Caption().startsWith(QString("Zoravel [1] %1/5 ").arg(w->ListIndex() + 1))) << Caption();
    for (int i = 1; i < 5; ++i) {
        w->TBtnNextTrackClick();
        ASSERT_TRUE(WaitPlaying());
        EXPECT_EQ(w->PlayList().ShufflePosition(), i);
        EXPECT_EQ(w->ListIndex(), w->PlayList().ShuffleOrder()[static_cast<size_t>(i)]);
        played.push_back(w->ListIndex());
    }
    EXPECT_EQ(std::set<int>(played.begin(), played.end()).size(), 5u);
    // Past the end: a fresh order, from its start.
    w->TBtnNextTrackClick();
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(w->PlayList().ShufflePosition(), 0);
    // Back past the start: the end of a fresh order.
    w->TBtnPreviousTrackClick();
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(w->PlayList().ShufflePosition(), 4);
    EXPECT_EQ(Paths().size(), 5);
}

TEST_F(PlayListWindow, ShuffleSwitchedOnStartsWithTheCurrentEntry)
{
    QStringList files;
    for (const char* name : {"a", "b", "c", "d"}) files << Sound(QString("on/%1.wav").arg(name));
    Open(files);
    ASSERT_TRUE(WaitPlaying());
    w->TBtnNextTrackClick();
    w->TBtnNextTrackClick();
    ASSERT_TRUE(WaitPlaying());
    ASSERT_EQ(w->ListIndex(), 2);
    ui()->MShuffle->trigger();
    EXPECT_TRUE(ui()->MShuffle->isChecked());
    ASSERT_TRUE(w->PlayList().HasShuffleOrder());
    EXPECT_EQ(w->PlayList().ShuffleOrder().front(), 2);
    EXPECT_EQ(Caption(), "Zoravel [1] 3/4 c");
    ui()->MShuffle->trigger();
    EXPECT_FALSE(ui()->MShuffle->isChecked());
    EXPECT_FALSE(w->PlayList().HasShuffleOrder());
    EXPECT_EQ(Caption(), "Zoravel 3/4 c");
}

TEST_F(PlayListWindow, BrokenEntryWithShuffleLeavesAValidOrder)
{
    SetMainDword("Shuffle", 1);
    QStringList files;
    for (const char* name : {"a", "b", "c", "d"}) files << Sound(QString("sb/%1.wav").arg(name));
    Open(files);
    ASSERT_TRUE(WaitPlaying());
    // Spoil the entry that comes next in the order.
    const std::vector<int> order = w->PlayList().ShuffleOrder();
    const QString next = w->PlayList().Item(order[1]).Path;
    Spoil(next);
    w->TBtnNextTrackClick();
    ASSERT_TRUE(WaitPlaying()) << Caption();
    EXPECT_EQ(Paths().size(), 3);
    EXPECT_FALSE(Paths().contains(next));
    const std::vector<int>& now = w->PlayList().ShuffleOrder();
    ASSERT_EQ(now.size(), 3u);
    EXPECT_EQ(std::set<int>(now.begin(), now.end()), std::set<int>({0, 1, 2}));
    EXPECT_EQ(w->ListIndex(), now[static_cast<size_t>(w->PlayList().ShufflePosition())]);
    // The entry after the removed one in the old order plays.
    EXPECT_EQ(Current(), w->PlayList().Item(now[1]).Path);
}

}  // namespace

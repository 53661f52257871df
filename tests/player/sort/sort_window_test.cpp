// The play list sorted through the window: a folder handed over by a second
// start plays in the order DefaultSort names, and a sort while an entry plays
// keeps that entry current.
#include "player/tag/mp3_maker.h"
#include "window_test_util.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QProcess>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

using namespace mwtest;

namespace {

class SortWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (!FixturesMade()) GTEST_SKIP() << "media fixtures not made";
        // name, title (from the tag; none for the sounds), last-write day
        MakeMedia("a.mp3", "delta", 3);
        MakeMedia("b.wav", "", 1);
        MakeMedia("c.mp3", "alpha", 4);
        MakeMedia("d.wav", "", 2);
    }
    void MakeMedia(const QString& name, const QByteArray& title, int day)
    {
        const QString path = Home("music/" + name);
        const QByteArray bytes = title.isEmpty()
                                     ? testutil::ReadFile(Fixture("tone.wav"))
                                     : testutil::ReadFile(Fixture("plain.mp3")) + mp3test::Id3v1(title, "", "");
        ASSERT_TRUE(testutil::WriteFile(path, bytes));
        const qint64 t = QDateTime(QDate(2021, 3, day), QTime(9, 0)).toSecsSinceEpoch();
        const struct timespec times[2] = {{time_t(t), 0}, {time_t(t), 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    }
    QStringList Names() const
    {
        QStringList names;
        for (const QString& p : Paths()) names << p.section('/', -1);
        return names;
    }
    QString CurrentName() const { return w->PlayList().Item(w->ListIndex()).Path.section('/', -1); }
};

#ifdef ZORVI_PATH
// Runs the program as a second start on the offscreen platform, serving the
// hand-over from this process's event loop until it ends.
bool RunSecondStart(const QStringList& args)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    process.start(ZORVI_PATH, args);
    if (!process.waitForStarted(5000)) return false;
    if (!testutil::WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 20000)) {
        process.kill();
        process.waitForFinished(2000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

TEST_F(SortWindow, HandedOverFolderPlaysFromTheTopOfTheSortedList)
{
    // A second start keeps no first file: playing starts at the top of the
    // sorted list, whichever file the folder gave first. Names, titles,
    // extensions and dates each give another order.
    const struct {
        DWORD key;
        QStringList order;
        QString firstTitle;
    } cases[] = {
        {1, {"c.mp3", "b.wav", "d.wav", "a.mp3"}, "alpha"},
        {2, {"a.mp3", "d.wav", "b.wav", "c.mp3"}, "delta"},
        {3, {"c.mp3", "a.mp3", "b.wav", "d.wav"}, "alpha"},
        {4, {"b.wav", "d.wav", "c.mp3", "a.mp3"}, "b"},
        {5, {"b.wav", "d.wav", "a.mp3", "c.mp3"}, "b"},
        {6, {"c.mp3", "a.mp3", "d.wav", "b.wav"}, "alpha"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        Close();
        SetMainDword("DefaultSort", c.key);
        Open();
        ASSERT_TRUE(RunSecondStart({Home("music")}));
        ASSERT_TRUE(WaitPlaying());
        EXPECT_EQ(Names(), c.order);
        EXPECT_EQ(w->ListIndex(), 0);
        EXPECT_EQ(Caption(), "Zoravel 1/4 " + c.firstTitle);
    }
}
#endif

TEST_F(SortWindow, SortingWhilePlayingKeepsTheEntryAndReshuffles)
{
    const QString music = Home("music/");
    Open({music + "a.mp3", music + "b.wav", music + "c.mp3", music + "d.wav"});
    ASSERT_TRUE(WaitPlaying());
    ASSERT_EQ(Names(), QStringList({"a.mp3", "b.wav", "c.mp3", "d.wav"}));
    w->TBtnNextTrackClick();
    w->TBtnNextTrackClick();
    w->TBtnNextTrackClick();
    ASSERT_TRUE(WaitPlaying());
    ASSERT_EQ(CurrentName(), "d.wav");
    media::FilterGraph* graph = w->Graph();

    ui()->MShuffle->trigger();
    ASSERT_TRUE(w->PlayList().HasShuffleOrder());
    w->SortPlayList(1);
    EXPECT_EQ(Names(), QStringList({"c.mp3", "b.wav", "d.wav", "a.mp3"}));
    EXPECT_EQ(w->ListIndex(), 2);
    EXPECT_EQ(CurrentName(), "d.wav");
    EXPECT_EQ(w->Graph(), graph);   // the playing item is not reopened
    std::vector<int> order = w->PlayList().ShuffleOrder();
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(order.front(), 2);
    EXPECT_EQ(w->PlayList().ShufflePosition(), 0);
    std::sort(order.begin(), order.end());
    EXPECT_EQ(order, std::vector<int>({0, 1, 2, 3}));

    // The next step goes on from the entry that played, to another one.
    w->TBtnNextTrackClick();
    ASSERT_TRUE(WaitPlaying());
    EXPECT_NE(CurrentName(), "d.wav");
    EXPECT_EQ(w->PlayList().ShufflePosition(), 1);
}

}  // namespace

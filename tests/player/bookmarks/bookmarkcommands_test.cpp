// The bookmark and section commands against a recording fake of the window:
// a graph whose position, stop and seeks are recorded, a RealMedia control
// in milliseconds and a DVD's title time.
#include "units/Bookmarkcommands.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace bookmarks;

namespace {

constexpr REFERENCE_TIME kSecond = 10'000'000;

class FakeHost : public IBookmarkHost {
public:
    // The media: a 60 s file graph with its bar in tenths.
    TMediaKind kind = TMediaKind::Graph;
    bool unseekable = false;
    REFERENCE_TIME position = 0;
    REFERENCE_TIME stop = -1;            // -1: none (the media's end)
    REFERENCE_TIME duration = 60 * kSecond;
    int bar = 0;
    int barMax = 600;
    std::int64_t realMs = 0;
    int dvdTitle = 1, dvdSeconds = 0;
    bool playing = true;
    // What the commands did.
    QStringList calls;
    int saves = 0, changes = 0;

    TMediaKind Kind() const override { return kind; }
    bool Unseekable() const override { return unseekable; }
    HRESULT SeekTo(REFERENCE_TIME p, const REFERENCE_TIME* s) override
    {
        position = p;
        if (s) stop = *s;
        calls << (s ? QStringLiteral("seek %1 stop %2").arg(p / 100'000).arg(*s / 100'000)
                    : QStringLiteral("seek %1").arg(p / 100'000));
        return S_OK;
    }
    HRESULT GetCurrentPosition(REFERENCE_TIME* p) override { return *p = position, S_OK; }
    HRESULT GetStopPosition(REFERENCE_TIME* s) override { return *s = stop >= 0 ? stop : duration, S_OK; }
    HRESULT ClearStopPosition() override { return stop = -1, calls << QStringLiteral("clear stop"), S_OK; }
    REFERENCE_TIME Duration() const override { return duration; }
    std::int64_t RealPosition() override { return realMs; }
    void SetRealPosition(std::int64_t ms) override { realMs = ms, calls << QStringLiteral("real %1").arg(ms); }
    bool DvdCommandPending() const override { return false; }
    bool DvdLocation(int* title, int* seconds) override { return *title = dvdTitle, *seconds = dvdSeconds, true; }
    HRESULT DvdPlayAtTime(int h, int m, int s) override
    {
        calls << QStringLiteral("dvd play %1:%2:%3").arg(h).arg(m).arg(s);
        return S_OK;
    }
    void DvdBookmarkClick(int index) override { calls << QStringLiteral("dvd bookmark %1").arg(index); }
    bool SaveDvdSections(bool) override { return calls << QStringLiteral("dvd save"), true; }
    int BarPosition() const override { return bar; }
    int BarMax() const override { return barMax; }
    bool IsPlaying() const override { return playing; }
    void SetPlaying() override { playing = true, calls << QStringLiteral("play"); }
    void ShowStatus(const QString& text) override { calls << QStringLiteral("status ") + text; }
    void SaveBookmarkList(bool) override { ++saves; }
    void SectionStateChanged() override { ++changes; }

    // Plays on to `seconds`: the position and the bar follow.
    void At(double seconds)
    {
        position = static_cast<REFERENCE_TIME>(seconds * kSecond);
        bar = static_cast<int>(seconds * 10);
    }
};

class Commands : public ::testing::Test {
protected:
    FakeHost host;
    TListMenu marks, sections, dvdMarks;
    TBookmarkCommands commands{host, marks, sections, dvdMarks};

    void AddSection(std::int64_t start, std::int64_t end)
    {
        sections.Insert(sections.Count(), QStringLiteral("s"), start, true);
        sections.Insert(sections.Count(), QString(), end, false);
    }
    QStringList Calls()
    {
        QStringList c = host.calls;
        host.calls.clear();
        return c;
    }
};

}  // namespace

TEST_F(Commands, MarkingAThenBLoopsTheSectionAndSavesIt)
{
    host.At(10);
    commands.SetSectionStart(host.bar);
    EXPECT_TRUE(commands.State().RepeatOn);
    EXPECT_EQ(commands.State().SectionStart, 10 * kSecond);
    // With only A marked the item plays on past it: no loop yet.
    host.At(15);
    commands.CheckSectionLoop();
    EXPECT_TRUE(Calls().isEmpty());

    host.At(20);
    commands.SetSectionEnd();
    EXPECT_EQ(Calls(), QStringList{QStringLiteral("seek 1000 stop 2000")});
    EXPECT_EQ(commands.State().SelStart, 100);
    EXPECT_EQ(commands.State().SelEnd, 200);

    // The stream ends at B: back to A, the stop kept (no new stop given).
    host.At(20);
    EXPECT_TRUE(commands.SectionComplete());
    EXPECT_EQ(Calls(), QStringList{QStringLiteral("seek 1000")});
    // A drag beyond the section is taken back to A by the position display;
    // within 5 tenths nothing happens.
    host.bar = 205;
    commands.CheckSectionLoop();
    EXPECT_TRUE(Calls().isEmpty());
    host.bar = 300;
    host.playing = false;
    commands.CheckSectionLoop();
    EXPECT_EQ(Calls(), (QStringList{QStringLiteral("seek 1000"), QStringLiteral("play")}));
    // A seek past B that took the graph's stop away: A comes back with B.
    host.stop = -1;
    commands.CheckSectionLoop();
    EXPECT_EQ(Calls(), QStringList{QStringLiteral("seek 1000 stop 2000")});

    // Saved from A and the graph's stop, captioned by both times.
    ASSERT_TRUE(commands.SavePoints());
    ASSERT_EQ(sections.Count(), 5);
    EXPECT_EQ(sections.Caption(3), QStringLiteral("0:00:10-0:00:20"));
    EXPECT_EQ(sections.ItemTag(3), 1000);
    EXPECT_EQ(sections.ItemTag(4), 2000);
    EXPECT_FALSE(sections.IsVisible(4));
    EXPECT_EQ(host.saves, 1);
    EXPECT_EQ(Calls(), QStringList{QStringLiteral("status リピート区間保存")});
    EXPECT_FALSE(commands.SavePoints());   // disabled until marked again

    // Clearing ends the section and lets the graph play to its end.
    commands.ClearSelection();
    EXPECT_FALSE(commands.State().RepeatOn);
    EXPECT_EQ(Calls(), QStringList{QStringLiteral("clear stop")});
    EXPECT_FALSE(commands.SectionComplete());
}

TEST_F(Commands, EdgesOfMarking)
{
    // B alone: a section from the start.
    host.At(30);
    commands.SetSectionEnd();
    EXPECT_EQ(Calls(), QStringList{QStringLiteral("seek 0 stop 3000")});
    EXPECT_EQ(commands.State().SelStart, 0);
    // A at or after B is refused; before it moves A.
    commands.SetSectionStart(300);
    EXPECT_EQ(commands.State().SelStart, 0);
    host.At(5);
    commands.SetSectionStart(50);
    EXPECT_EQ(commands.State().SectionStart, 5 * kSecond);
    commands.ClearSelection();
    Calls();

    // B not after A is refused; an unseekable item and a CD mark nothing.
    host.At(10);
    commands.SetSectionStart(100);
    host.At(9);
    commands.SetSectionEnd();
    EXPECT_FALSE(commands.State().EndSet);
    commands.ClearSelection();
    host.unseekable = true;
    commands.SetSectionStart(100);
    EXPECT_FALSE(commands.State().RepeatOn);
    host.unseekable = false;
    host.kind = TMediaKind::Cd;
    commands.SetSectionStart(100);
    EXPECT_FALSE(commands.State().RepeatOn);
    EXPECT_FALSE(commands.AddBookmarkAtPosition());

    // A at the bar's start is the media's start; a section without length is not saved.
    host.kind = TMediaKind::Graph;
    Calls();
    host.At(0.05);
    commands.SetSectionStart(0);
    EXPECT_EQ(Calls(), QStringList{QStringLiteral("seek 0")});
    EXPECT_FALSE(commands.SavePoints());
    EXPECT_EQ(sections.Count(), 3);
}

TEST_F(Commands, SavingWithoutAStopTakesBFromTheBar)
{
    // The graph's stop is the media's end while B lies well before it.
    host.At(10);
    commands.SetSectionStart(100);
    host.At(40);
    commands.SetSectionEnd();
    host.stop = -1;
    ASSERT_TRUE(commands.SaveSection());
    EXPECT_EQ(sections.ItemTag(4), 4000);
    // Nothing divides by a zero bar.
    host.barMax = 0;
    ASSERT_TRUE(commands.SaveSection());
    EXPECT_EQ(sections.ItemTag(6), 6000);
}

TEST_F(Commands, ChainingPlaysTheStoredSectionsInTurn)
{
    EXPECT_FALSE(commands.ChainEnabled());
    AddSection(1000, 1500);
    AddSection(3000, 3500);
    AddSection(5000, 5200);
    EXPECT_TRUE(commands.ChainEnabled());

    commands.ChainSectionsClick();
    EXPECT_TRUE(commands.State().ChainChecked);
    EXPECT_EQ(Calls(), QStringList{QStringLiteral("seek 1000 stop 1500")});
    EXPECT_EQ(commands.State().ChainIndex, 0);
    EXPECT_EQ(commands.State().SelStart, 100);
    EXPECT_EQ(commands.State().SelEnd, 150);

    // Each end of stream plays the next; after the last the first again.
    commands.SectionComplete();
    commands.SectionComplete();
    commands.SectionComplete();
    EXPECT_EQ(Calls(), (QStringList{QStringLiteral("seek 3000 stop 3500"), QStringLiteral("seek 5000 stop 5200"),
                                    QStringLiteral("seek 1000 stop 1500")}));
    // The position display moves on the same way.
    host.bar = 400;
    commands.CheckSectionLoop();
    EXPECT_EQ(Calls(), QStringList{QStringLiteral("seek 3000 stop 3500")});

    // Unchecked, the section played loops.
    commands.ChainSectionsClick();
    EXPECT_FALSE(commands.State().ChainChecked);
    commands.SectionComplete();
    EXPECT_EQ(Calls(), QStringList{QStringLiteral("seek 3000")});

    // A section item click plays it and shows its name; a hidden item does nothing.
    commands.RepeatSectionClick(7);
    EXPECT_EQ(Calls(), (QStringList{QStringLiteral("seek 5000 stop 5200"), QStringLiteral("status s")}));
    commands.RepeatSectionClick(8);
    commands.RepeatSectionClick(2);
    EXPECT_TRUE(Calls().isEmpty());
}

TEST_F(Commands, BookmarksGoInTimeOrderAndJumpAroundTheMargin)
{
    for (double s : {30.0, 10.0, 20.0}) {
        host.At(s);
        ASSERT_TRUE(commands.AddBookmarkAtPosition());
    }
    ASSERT_EQ(marks.Count(), 6);
    EXPECT_EQ(marks.ItemTag(3), 1000);
    EXPECT_EQ(marks.ItemTag(4), 2000);
    EXPECT_EQ(marks.ItemTag(5), 3000);
    EXPECT_EQ(marks.Caption(4), QStringLiteral("0:00:20"));
    EXPECT_EQ(host.saves, 3);
    Calls();

    struct Case {
        double at;
        bool forward;
        const char* expected;   // nullptr: no jump
    };
    const Case cases[] = {
        {5, true, "seek 1000"},      {15, true, "seek 2000"},  {30, true, nullptr},
        {25, false, "seek 2000"},    // 5 s after 20: to 20
        {21.99, false, "seek 1000"}, // less than 2 s after 20: to the one before
        {22.0, false, "seek 2000"},  // exactly 2 s after: to 20 itself
        {11, false, nullptr},        // less than 2 s after the first: nothing before it
        {5, false, nullptr},
    };
    for (const Case& c : cases) {
        host.At(c.at);
        commands.JumpToBookmark(c.forward);
        const QStringList calls = Calls();
        if (c.expected) {
            ASSERT_FALSE(calls.isEmpty()) << c.at << (c.forward ? " forward" : " backward");
            EXPECT_EQ(calls.front(), QLatin1String(c.expected)) << c.at;
        } else {
            EXPECT_TRUE(calls.isEmpty()) << c.at << (c.forward ? " forward" : " backward");
        }
    }
}

TEST_F(Commands, DvdJumpsCountTheMarginInSecondsOfTheTitle)
{
    // Title 2 at 0:59:58 and 1:00:30; title 3 at 0:00:10.
    dvdMarks.Insert(3, QString(), 2'005'958, true);
    dvdMarks.Insert(4, QString(), 2'010'030, true);
    dvdMarks.Insert(5, QString(), 3'000'010, true);
    host.kind = TMediaKind::Dvd;
    struct Case {
        int title, seconds;
        bool forward;
        int expected;   // -1: no jump
    };
    const Case cases[] = {
        {2, 3599, true, 4},      // 0:59:59: the next is 1:00:30
        {2, 3601, false, -1},    // 3 s after 0:59:58, across the hour: skipped, none before it
        {2, 3602, false, 3},     // 4 s after it: 0:59:58 itself
        {2, 3633, false, 3},     // 3 s after 1:00:30: the one before it
        {3, 12, false, 4},       // 2 s into title 3 after its mark: the previous title's
        {3, 20, false, 5},
        {3, 20, true, -1},
    };
    for (const Case& c : cases) {
        host.dvdTitle = c.title;
        host.dvdSeconds = c.seconds;
        commands.JumpToBookmark(c.forward);
        const QStringList calls = Calls();
        if (c.expected < 0)
            EXPECT_TRUE(calls.isEmpty()) << c.seconds;
        else
            EXPECT_EQ(calls, QStringList{QStringLiteral("dvd bookmark %1").arg(c.expected)}) << c.seconds;
    }
    int title = 0, seconds = 0;
    TBookmarkCommands::SplitDvdTag(2'010'030, &title, &seconds);
    EXPECT_EQ(title, 2);
    EXPECT_EQ(seconds, 3630);
}

TEST_F(Commands, DvdSectionsHoldSecondsOfTitleTime)
{
    host.kind = TMediaKind::Dvd;
    host.barMax = 3600;
    host.bar = 70;
    commands.SetSectionStart(70);
    host.bar = 95;
    commands.SetSectionEnd();
    ASSERT_TRUE(commands.SavePoints());
    EXPECT_EQ(sections.Caption(3), QStringLiteral("0:01:10-0:01:35"));
    EXPECT_EQ(sections.ItemTag(3), 70);
    EXPECT_EQ(sections.ItemTag(4), 95);
    EXPECT_EQ(Calls(), (QStringList{QStringLiteral("dvd save"), QStringLiteral("status リピート区間保存")}));
    ASSERT_TRUE(commands.PlaySection(3));
    EXPECT_EQ(Calls(), QStringList{QStringLiteral("dvd play 0:1:10")});
}

TEST_F(Commands, RealMediaWorksInMillisecondsAndTenths)
{
    host.kind = TMediaKind::RealMedia;
    host.duration = 60'000;   // the control's length in ms
    host.realMs = 12'340;
    ASSERT_TRUE(commands.AddBookmarkAtPosition());
    EXPECT_EQ(marks.ItemTag(3), 1234);
    host.realMs = 0;
    commands.BookmarkClick(3);
    EXPECT_EQ(Calls(), (QStringList{QStringLiteral("real 12340"), QStringLiteral("status 0:00:12")}));

    // Marked on the bar, saved from the selection, looped by the position timer.
    host.realMs = 5'000;
    commands.SetSectionStart(50);
    host.bar = 80;
    commands.SetSectionEnd();
    EXPECT_TRUE(Calls().isEmpty());   // the control is not told to stop anywhere
    ASSERT_TRUE(commands.SaveSection());
    EXPECT_EQ(sections.ItemTag(3), 500);
    EXPECT_EQ(sections.ItemTag(4), 800);
    commands.CheckRealMediaLoop(79);
    EXPECT_TRUE(Calls().isEmpty());
    commands.CheckRealMediaLoop(80);
    EXPECT_EQ(Calls(), QStringList{QStringLiteral("real 5000")});
    ASSERT_TRUE(commands.PlaySection(3));
    EXPECT_EQ(Calls(), QStringList{QStringLiteral("real 5000")});
    EXPECT_EQ(commands.State().SectionStart, 5000);
    EXPECT_EQ(commands.State().SelEnd, 80);
    // A bar without range seeks nowhere.
    host.barMax = 0;
    commands.CheckRealMediaLoop(10);
    EXPECT_TRUE(Calls().isEmpty());
}

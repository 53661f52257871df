// Bookmarks and repeat sections through the real window on real GStreamer:
// A and B marked while a clip plays, the section looping through its end of
// stream, saved, cleared, chained with another, bookmarks made and jumped
// to, and all of it found again after a restart on the same file (or a copy
// with its name and stamp), but not after the file changed.
#include "platform/paths/paths.h"
#include "player/units/Bookmarkfile.h"
#include "window_test_util.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QFile>
#include <QMenu>
#include <QSlider>

#include <algorithm>

using namespace mwtest;

namespace {

constexpr REFERENCE_TIME kSecond = 10000000;

class BookmarksWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (!FixturesMade()) GTEST_SKIP() << "media fixtures not made";
    }
    double Seconds() const
    {
        REFERENCE_TIME p = -1;
        if (w->Graph()) w->Graph()->GetCurrentPosition(&p);
        return static_cast<double>(p) / kSecond;
    }
    bool WaitFor(const std::function<bool(double)>& at, int timeoutMs = 10000)
    {
        return testutil::WaitUntil([&] { return at(Seconds()); }, timeoutMs);
    }
    // The bar follows the position display's tick.
    bool WaitBar(int atLeast)
    {
        return testutil::WaitUntil([&] { return ui()->TrackBarForSeek->value() >= atLeast; }, 10000);
    }
    QString FilePath() const { return GetListFilesFolder() + QStringLiteral("Bookmarks.bmk"); }
    QStringList Captions(QMenu* menu) const
    {
        QStringList captions;
        const QList<QAction*> items = menu->actions();
        for (int i = 3; i < items.size(); ++i)
            if (items[i]->isVisible()) captions << items[i]->text();
        return captions;
    }
    static void SetStamp(const QString& path, const QDateTime& time)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
    }
};

const QDateTime kOldTime(QDate(2024, 5, 1), QTime(10, 0, 0));

}  // namespace

TEST_F(BookmarksWindow, AMarkedSectionLoopsIsSavedAndComesBackWithItsBookmarks)
{
    const QString clip = SilentClip("clips/loop.wav", 8000);
    SetStamp(clip, kOldTime);
    Open({clip});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_TRUE(ui()->MiBookMrk->menuAction()->isVisible());
    EXPECT_TRUE(ui()->miSaveAB->menuAction()->isVisible());

    // A at 1 s, B at 2.5 s, with Home and End.
    ASSERT_TRUE(SUCCEEDED(w->SeekTo(kSecond)));
    ASSERT_TRUE(WaitFor([](double s) { return s >= 1.0 && s < 1.5; }));
    ASSERT_TRUE(testutil::WaitUntil([&] { return ui()->TrackBarForSeek->value() >= 10; }));
    Tap(Qt::Key_Home);
    ASSERT_TRUE(w->RepeatOn());
    ASSERT_TRUE(WaitBar(25));
    Tap(Qt::Key_End);
    const double b = w->SectionState().SelEnd / 10.0;
    const double a = static_cast<double>(w->SectionState().SectionStart) / kSecond;
    ASSERT_GE(b, 2.5);
    ASSERT_LT(a, 1.5);

    // It loops: back near A twice, never far past B.
    double highest = 0;
    int wraps = 0;
    double last = Seconds();
    ASSERT_TRUE(testutil::WaitUntil(
        [&] {
            const double now = Seconds();
            highest = std::max(highest, now);
            if (now < last - 0.8) ++wraps;
            last = now;
            return wraps >= 2;
        },
        15000));
    EXPECT_LT(highest, b + 0.5);
    EXPECT_EQ(w->PlayState(), psPlaying);

    // Saved: a section item named by its times, and its block in the file.
    ASSERT_TRUE(ui()->miSavePoints->isEnabled());
    ui()->miSavePoints->trigger();
    EXPECT_FALSE(ui()->miSavePoints->isEnabled());
    ASSERT_EQ(ui()->miSaveAB->actions().size(), 5);
    const QString section = ui()->miSaveAB->actions()[3]->text();
    EXPECT_TRUE(section.startsWith(QStringLiteral("0:00:01-0:00:02"))) << section;
    EXPECT_TRUE(testutil::ReadFile(FilePath()).startsWith("/loop.wav/"));

    // Cleared: playback runs on past B.
    ui()->SelTrackC->trigger();
    EXPECT_FALSE(w->RepeatOn());
    EXPECT_TRUE(WaitFor([&](double s) { return s > b + 1.0; }));

    // Bookmarks at 5 s and 3 s (Ctrl+B) go in time order.
    for (int at : {5, 3}) {
        ASSERT_TRUE(SUCCEEDED(w->SeekTo(at * kSecond)));
        ASSERT_TRUE(WaitFor([&](double s) { return s >= at && s < at + 0.5; }));
        Tap(Qt::Key_B, Qt::ControlModifier);
    }
    EXPECT_EQ(Captions(ui()->MiBookMrk), (QStringList{QStringLiteral("0:00:03"), QStringLiteral("0:00:05")}));
    Close();

    // A copy elsewhere with the same name and stamp finds everything again.
    const QString copy = Home("elsewhere/loop.wav");
    ASSERT_TRUE(MakeDir(Home("elsewhere")));
    ASSERT_TRUE(QFile::copy(clip, copy));
    SetStamp(copy, kOldTime);
    Open({copy});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(Captions(ui()->MiBookMrk), (QStringList{QStringLiteral("0:00:03"), QStringLiteral("0:00:05")}));
    EXPECT_EQ(Captions(ui()->miSaveAB), QStringList{section});
    EXPECT_FALSE(ui()->miSaveAB->actions()[4]->isVisible());
    Close();

    // The changed file finds none; its old block stays in the file.
    SetStamp(clip, kOldTime.addDays(1));
    Open({clip});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(ui()->MiBookMrk->actions().size(), 3);
    EXPECT_EQ(ui()->miSaveAB->actions().size(), 3);
    const QByteArray stored = testutil::ReadFile(FilePath());
    EXPECT_TRUE(stored.contains(bookmarks::BlockHeader(clip, GetFileDosDateTime(copy))));
}

TEST_F(BookmarksWindow, ChainedSectionsPlayInTurnAndBookmarksAreJumpedTo)
{
    const QString clip = SilentClip("chain.wav", 8000);
    Open({clip});
    ASSERT_TRUE(WaitPlaying());
    // Two sections and two bookmarks stored for the file, then loaded.
    bookmarks::TBlock block;
    block.Bookmarks = {{QStringLiteral("two"), 200}, {QStringLiteral("six"), 600}};
    block.Sections = {{QStringLiteral("first"), 100, 180}, {QStringLiteral("second"), 400, 480}};
    ASSERT_EQ(bookmarks::CBookmarkFile(FilePath()).Save(bookmarks::BlockHeader(clip, w->FileStamp()), block), 0);
    w->LoadBookmarkList();
    ASSERT_EQ(ui()->miSaveAB->actions().size(), 7);
    ASSERT_TRUE(ui()->miChainSections->isEnabled());

    ui()->miChainSections->trigger();
    EXPECT_TRUE(ui()->miChainSections->isChecked());
    EXPECT_TRUE(WaitFor([](double s) { return s >= 1.0 && s < 1.8; }));
    EXPECT_TRUE(WaitFor([](double s) { return s >= 4.0 && s < 4.8; }));
    EXPECT_TRUE(WaitFor([](double s) { return s >= 1.0 && s < 1.8; }));
    EXPECT_LT(Seconds(), 4.9);

    // Unchained and cleared; the bookmarks step forward and back.
    ui()->miChainSections->trigger();
    EXPECT_FALSE(ui()->miChainSections->isChecked());
    ui()->SelTrackC->trigger();
    ASSERT_TRUE(SUCCEEDED(w->SeekTo(kSecond / 2)));
    ASSERT_TRUE(WaitFor([](double s) { return s < 1.0; }));
    ui()->miNextBmk->trigger();
    EXPECT_TRUE(WaitFor([](double s) { return s >= 2.0 && s < 2.6; }));
    ui()->miNextBmk->trigger();
    EXPECT_TRUE(WaitFor([](double s) { return s >= 6.0 && s < 6.6; }));
    // Within 2 s of "six": back to the one before it.
    ui()->miPreviousBmk->trigger();
    EXPECT_TRUE(WaitFor([](double s) { return s >= 2.0 && s < 2.6; }));
}

TEST_F(BookmarksWindow, WithBookmarksOffTheMenusStayHiddenAndNothingIsWritten)
{
    SetMainDword("UseBookmark", 0);
    const QString clip = SilentClip("off.wav", 4000);
    Open({clip});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_FALSE(ui()->MiBookMrk->menuAction()->isVisible());
    EXPECT_FALSE(ui()->miSaveAB->menuAction()->isVisible());
    ASSERT_TRUE(WaitFor([](double s) { return s > 0.5; }));
    ui()->N17->trigger();
    ui()->SelTrackS->trigger();
    ASSERT_TRUE(WaitFor([](double s) { return s > 1.5; }));
    ASSERT_TRUE(WaitBar(12));
    ui()->SelTrackE->trigger();
    ui()->miSavePoints->trigger();
    EXPECT_EQ(ui()->MiBookMrk->actions().size(), 3);
    EXPECT_FALSE(QFile::exists(FilePath()));
}

// Dropped files: the list is replaced and its first entry plays; drops that
// arrive while the window is busy are released unread; an ".ifo" first name
// starts the DVD.
#include "fake_builder.h"
#include "platform/dialogs/dialogs.h"
#include "window_test_util.h"

#include <QAction>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QToolButton>

using namespace mwtest;

namespace {

class Drops : public WindowTest {
protected:
    void Drop(TDropFiles* drop) { w->SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0); }
};

TEST_F(Drops, DropReplacesTheListAndPlaysTheFirstName)
{
    MW_REQUIRE_FIXTURES();
    const QString old = Sound("old/old.wav");
    const QString a = Sound("drop/a.wav");
    const QString b = Sound("drop/b.wav");
    Open({old});
    ASSERT_TRUE(WaitPlaying());

    TDropFiles drop{{a, b}};
    Drop(&drop);
    EXPECT_TRUE(drop.finished);
    EXPECT_EQ(Paths(), QStringList({a, b}));
    EXPECT_EQ(w->ListIndex(), 0);
    EXPECT_EQ(w->InitialDir(), Home("drop"));
    EXPECT_EQ(w->OpenedPath(), old);   // set only while empty
    EXPECT_TRUE(WaitPlaying());
    EXPECT_EQ(Caption(), "Zoravel 1/2 a");
    // The open controls are back and the search tag is down.
    EXPECT_TRUE(ui()->ToolBarSub->isEnabled());
    EXPECT_TRUE(ui()->MShuffle->isEnabled());
    EXPECT_EQ(Tag(ui()->miFolderSerch), 0);
    EXPECT_FALSE(w->AddingItems());
}

TEST_F(Drops, RealDropIsTakenOnceTheEventLoopRunsAndGoesWithItsWindow)
{
    MW_REQUIRE_FIXTURES();
    const QString a = Sound("real/a.wav");
    Open();
    auto drop = [&] {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(a)});
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        // Straight to the window, as the drag manager delivers it at the end of a drag.
        static_cast<QObject*>(w.get())->event(&event);
        return event.isAccepted();
    };
    ASSERT_TRUE(drop());
    // Taken after the drag source has finished, not inside the event.
    EXPECT_TRUE(w->PlayList().IsEmpty());
    ASSERT_TRUE(testutil::WaitUntil([&] { return Paths() == QStringList({a}); }));
    EXPECT_TRUE(WaitPlaying());
    // A window that goes before its queued drop runs takes the record with
    // it; nothing runs into the dead window.
    ASSERT_TRUE(drop());
    Close();
    // The queued call was posted to the window: running what is posted would run it.
    Spin();
}

TEST_F(Drops, DropWhileAGraphStartsIsReleasedUnread)
{
    MW_REQUIRE_FIXTURES();
    const QString a = Sound("busy/a.wav");
    const QString b = Sound("busy/b.wav");
    Open();
    // A second start hands `a` over: its graph is built before the call
    // returns, and its first pause is only posted, so the drop below comes
    // while the graph starts (after a command-line start the event loop that
    // ran the intake could already have taken that pause).
    const QByteArray bytes = a.toUtf8() + '\0';
    COPYDATASTRUCT record{-1, static_cast<DWORD>(bytes.size()), bytes.constData()};
    w->SendMessage(WM_COPYDATA, 77, reinterpret_cast<LPARAM>(&record));
    ASSERT_TRUE(w->Probe().IsGraphStarting());
    TDropFiles drop{{b}};
    Drop(&drop);
    EXPECT_TRUE(drop.finished);
    EXPECT_EQ(Paths(), QStringList({a}));
    ASSERT_TRUE(WaitPlaying());
}

TEST_F(Drops, DropAndHandOverArrivingWhileNamesAreAddedAreDropped)
{
    MW_REQUIRE_FIXTURES();
    const QString a = Sound("tree/a.wav");
    const QString b = Sound("tree/b.wav");
    const QString late = Sound("late/late.wav");
    Open();
    // Posted now, handled inside the folder scan's message processing.
    TDropFiles lateDrop{{late}};
    w->PostMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(&lateDrop), 0);
    const QByteArray bytes = late.toUtf8() + '\0';
    COPYDATASTRUCT record{-1, static_cast<DWORD>(bytes.size()), bytes.constData()};
    w->PostMessage(WM_COPYDATA, 77, reinterpret_cast<LPARAM>(&record));

    TDropFiles drop{{Home("tree")}};
    Drop(&drop);
    EXPECT_TRUE(drop.finished);
    EXPECT_TRUE(lateDrop.finished);
    const QStringList paths = Paths();
    EXPECT_EQ(paths.size(), 2) << paths;
    EXPECT_TRUE(paths.contains(a));
    EXPECT_TRUE(paths.contains(b));
    EXPECT_EQ(w->Probe().CopyDataSender(), 0u);
    EXPECT_TRUE(WaitPlaying());
}

TEST_F(Drops, IfoFirstStartsTheDvdAndTheRestIsNotAdded)
{
    MW_REQUIRE_FIXTURES();
    const QString ifo = Home("disc/VIDEO_TS/VIDEO_TS.IFO");
    ASSERT_TRUE(testutil::WriteFile(ifo, "DVDVIDEO-VMG"));
    const QString other = Sound("disc/other.wav");
    Open();
    TDropFiles drop{{ifo, other}};
    Drop(&drop);
    EXPECT_TRUE(drop.finished);
    EXPECT_TRUE(w->PlayList().IsEmpty());
    // The DVD of that folder was started: the folder holds no DVD volume.
    EXPECT_EQ(messageBoxes, QStringList{QString::fromUtf8("DVD エラー: DVD ボリュームが見つかりません。")});
    EXPECT_EQ(w->Graph(), nullptr);
    EXPECT_FALSE(w->AddingItems());
}

TEST_F(Drops, OneDroppedFileWithSerchFilesBringsItsFolder)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("SerchFiles", 1);
    const QString a = Sound("serch/a.wav");
    const QString b = Sound("serch/b.wav");
    const QString c = Sound("serch/c.wav");
    Open();
    TDropFiles one{{b}};
    Drop(&one);
    QStringList paths = Paths();
    ASSERT_EQ(paths.size(), 3) << paths;
    EXPECT_EQ(paths.first(), b);
    ASSERT_TRUE(WaitPlaying());

    // Two names: just those.
    TDropFiles two{{c, a}};
    Drop(&two);
    EXPECT_EQ(Paths(), QStringList({c, a}));
    EXPECT_TRUE(w->Settings().SerchFiles);
}

TEST_F(Drops, NamesThatNameNothingGiveTheNoFileNotice)
{
    Open();
    TDropFiles drop{{Home("gone.wav")}};
    Drop(&drop);
    EXPECT_TRUE(drop.finished);
    EXPECT_TRUE(w->PlayList().IsEmpty());
    EXPECT_EQ(Caption(), "Zoravel ファイルがありません");
}

TEST_F(Drops, LongDroppedNameIsTakenWhole)
{
    MW_REQUIRE_FIXTURES();
    const QString part(120, QLatin1Char('y'));
    const QString path = Home(part + "/" + part + "/" + part + ".wav");
    ASSERT_GT(path.toUtf8().size(), 300);
    ASSERT_TRUE(Link(Fixture("tone.wav"), path));
    Open();
    TDropFiles drop{{path}};
    Drop(&drop);
    EXPECT_EQ(Paths(), QStringList({path}));
    EXPECT_TRUE(WaitPlaying());
}

TEST_F(Drops, QuestionWhileADvdPlays)
{
    // Dropping while a DVD plays asks first; "No" keeps the DVD, "Yes" ends
    // it and takes the files. The disc is a fake navigator's.
    MW_REQUIRE_FIXTURES();
    const QString sound = Sound("drop/one.wav");
    Open();
    w->SetDvdPipelineBuilder(std::make_unique<FakeDvdBuilder>());
    w->StartDvd();
    ASSERT_NE(w->DvdControl(), nullptr);
    int answer = IDNO;
    QStringList questions;
    dialogs::SetMessageBoxAnswerer([&](const dialogs::MessageBoxCall& call) {
        questions << call.text;
        return answer;
    });
    TDropFiles kept{{sound}};
    Drop(&kept);
    EXPECT_TRUE(kept.finished);
    EXPECT_EQ(questions, QStringList{QStringLiteral("DVDを再生中です。\n停止してよろしいですか？")});
    EXPECT_NE(w->DvdControl(), nullptr);
    EXPECT_TRUE(w->PlayList().IsEmpty());
    answer = IDYES;
    TDropFiles taken{{sound}};
    Drop(&taken);
    EXPECT_EQ(w->DvdControl(), nullptr);
    EXPECT_EQ(Paths(), QStringList{sound});
}

}  // namespace

// The window keeping a disc's place through the fake navigator: the resume
// file written when the disc closes and offered when it starts again (Yes,
// No, another disc's file, a refused state), bookmarks made, listed and
// played from the bookmark menu, and the disc's repeat sections.
#include "fake_builder.h"
#include "platform/dvd/player.h"
#include "platform/dialogs/dialogs.h"
#include "platform/dvd/state.h"
#include "platform/storage/storage.h"
#include "window_test_util.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <csignal>

using namespace mwtest;

namespace {

constexpr std::uint64_t kDiscId = 0x0abc1234;

QByteArray StateOf(std::uint64_t discId, ULONG title, const dvd::HmsfTime& time)
{
    dvd::StateRecord record;
    record.discId = discId;
    record.title = title;
    record.chapter = 1;
    record.time = time;
    return dvd::WriteStateRecord(record);
}

class DvdResume : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        dialogs::SetMessageBoxAnswerer([this](const dialogs::MessageBoxCall& call) {
            boxes << call.caption + ": " + call.text;
            boxFlags = call.flags;
            return answer;
        });
    }
    void TearDown() override
    {
        dialogs::SetMessageBoxAnswerer({});
        WindowTest::TearDown();
    }
    // Starts the fake disc "My Disc" playing title `title` at `time`.
    dvd::FakeNavigator* StartDisc(ULONG title, const dvd::HmsfTime& time, std::uint64_t discId = kDiscId)
    {
        auto builder = std::make_unique<FakeDvdBuilder>();
        FakeDvdBuilder* raw = builder.get();
        w->SetDvdPipelineBuilder(std::move(builder));
        w->StartDvd();
        dvd::FakeNavigator* nav = raw->navigator;
        EXPECT_NE(nav, nullptr);
        if (!nav) return nullptr;
        nav->discId = discId;
        nav->directory = home->File("discs/My Disc/VIDEO_TS");
        nav->volumeName = "LABEL";
        nav->location = {title, 1, time};
        nav->state.bytes = StateOf(discId, title, time);
        w->ReadDvdVolumeName();
        // The real layer's first domain event sizes the picture; the fake sends none.
        w->ReadDvdVideoAttributes();
        return nav;
    }
    void CloseDisc()
    {
        w->CloseMedia();
        w->UpdateControlsForMedia(false);
    }
    QString Folder(std::uint64_t discId = kDiscId) const
    {
        return home->File(QString("data/Bookmark/My_Disc_%1/").arg(discId, 0, 16));
    }
    QStringList MenuCaptions() const
    {
        QStringList captions;
        const QList<QAction*> items = ui()->MIDVDBookmark->actions();
        for (int i = 3; i < items.size(); ++i) captions << items.at(i)->text();
        return captions;
    }
    void ResumesWhereItWasClosed(const char* name);
    QStringList boxes;
    UINT boxFlags = 0;
    int answer = IDYES;
};

TEST_F(DvdResume, TheClosedDiscIsOfferedItsPlaceAgain)
{
    Open();
    const QByteArray saved = StateOf(kDiscId, 1, {0, 0, 20, 0});
    ASSERT_TRUE(StartDisc(1, {0, 0, 20, 0}));
    EXPECT_EQ(w->DvdState().DiscName, "My_Disc");
    ASSERT_EQ(w->DvdDiscFolder(), Folder()) << "the identifier without its leading zero";
    CloseDisc();
    const QString resume = Folder() + "Resume.rsm";
    storage::Storage file;
    ASSERT_EQ(storage::Storage::Open(resume, &file), S_OK);
    EXPECT_EQ(file.StreamNames(), QStringList{"ZoravelBookmarks"});
    QByteArray stream;
    ASSERT_EQ(file.ReadStream("ZoravelBookmarks", &stream), S_OK);
    EXPECT_EQ(stream, saved);

    // Yes: the navigator takes the saved place at once.
    dvd::FakeNavigator* nav = StartDisc(1, {0, 0, 0, 0});
    ASSERT_TRUE(nav);
    nav->state = {};
    w->LoadResumePoint(QString(), false);
    EXPECT_EQ(boxes, QStringList{"オートレジューム メッセージ: 以前停止したところから再生しますか？"});
    EXPECT_EQ(boxFlags, MB_YESNO | MB_ICONQUESTION | MB_TOPMOST);
    EXPECT_TRUE(nav->Called("SetState(5)"));
    EXPECT_EQ(nav->state.bytes, saved);
    EXPECT_FALSE(w->DvdState().ResumePending);
    EXPECT_FALSE(w->DialogOpen());

    // No: the disc plays from its start, the file stays.
    CloseDisc();
    nav = StartDisc(1, {0, 0, 0, 0});
    ASSERT_TRUE(nav);
    ASSERT_TRUE(QFile::exists(resume));
    answer = IDNO;
    boxes.clear();
    w->LoadResumePoint(QString(), false);
    EXPECT_EQ(boxes.size(), 1);
    EXPECT_FALSE(nav->Called("SetState"));
    EXPECT_FALSE(w->DvdState().ResumePending);
    w->Probe().SetMediaKind(false, false, false);   // closed without a place to keep
    CloseDisc();
    EXPECT_TRUE(QFile::exists(resume));

    // A navigator that refuses the state keeps the answer pending; the
    // second call (after the parental level changed) asks nothing.
    nav = StartDisc(1, {0, 0, 0, 0});
    ASSERT_TRUE(nav);
    answer = IDYES;
    boxes.clear();
    nav->results["SetState"] = dvd::VFW_E_DVD_INVALIDDOMAIN;
    w->LoadResumePoint(QString(), false);
    EXPECT_TRUE(w->DvdState().ResumePending);
    nav->results.remove("SetState");
    w->LoadResumePoint(QString(), true);
    EXPECT_FALSE(w->DvdState().ResumePending);
    EXPECT_EQ(boxes.size(), 1);
}

TEST_F(DvdResume, AnotherDiscsPlaceIsNeverOffered)
{
    Open();
    // A resume file of disc A lying in disc B's folder.
    const std::uint64_t other = 0xfeed;
    ASSERT_TRUE(QDir().mkpath(Folder(other)));
    ASSERT_EQ(storage::WriteStream(Folder(other) + "Resume.rsm", "ZoravelBookmarks",
                                   StateOf(kDiscId, 1, {0, 0, 20, 0})),
              S_OK);
    dvd::FakeNavigator* nav = StartDisc(1, {0, 0, 0, 0}, other);
    ASSERT_TRUE(nav);
    w->LoadResumePoint(QString(), false);
    // A folder without a resume file, and a file that is no compound file.
    ASSERT_TRUE(testutil::WriteFile(Folder(other) + "T01P000001N.bmk", "not a compound file"));
    w->LoadResumePoint("T01P000001N.bmk", false);
    w->LoadResumePoint("../x.bmk", false);
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_FALSE(nav->Called("SetState"));
    EXPECT_FALSE(w->DvdState().ResumePending);
    // Saving over a file that is not ours fails and keeps it.
    nav->location = {1, 1, {0, 0, 1, 0}};
    EXPECT_FALSE(w->SaveResumePoint(false));
    EXPECT_EQ(testutil::ReadFile(Folder(other) + "T01P000001N.bmk"), "not a compound file");
}

TEST_F(DvdResume, TheWindowsEndKeepsThePlaceOnlyWithResumeEnabled)
{
    for (const bool enabled : {false, true}) {
        SetMainDword("DVDResumeEnable", enabled ? 1 : 0);
        Open();
        ASSERT_TRUE(StartDisc(1, {0, 0, 20, 0}));
        Close();
        EXPECT_EQ(QFile::exists(Folder() + "Resume.rsm"), enabled);
    }
}

TEST_F(DvdResume, BookmarksAreMadeListedAndPlayed)
{
    Open();
    dvd::FakeNavigator* nav = StartDisc(7, {1, 2, 3, 0});
    ASSERT_TRUE(nav);
    const QByteArray first = nav->state.bytes;
    ui()->miMakeBkmrk->trigger();
    EXPECT_TRUE(QFile::exists(Folder() + "T07P010203N.bmk"));
    EXPECT_EQ(ui()->TxtInfo->text(), "ブックマーク作成");
    // A second bookmark, renamed with a note as the bookmark window does, and
    // files that do not follow the pattern.
    nav->location = {7, 1, {0, 0, 5, 0}};
    nav->state.bytes = StateOf(kDiscId, 7, {0, 0, 5, 0});
    const QByteArray second = nav->state.bytes;
    QString made;
    ASSERT_TRUE(w->SaveResumePoint(false, &made));
    EXPECT_EQ(made, "T07P000005N.bmk");
    ASSERT_TRUE(QFile::rename(Folder() + made, Folder() + "T07P000005Nscene.2.bmk"));
    ASSERT_TRUE(QFile::copy(Folder() + "T07P010203N.bmk", Folder() + "T07.bmk"));
    ASSERT_TRUE(QFile::copy(Folder() + "T07P010203N.bmk", Folder() + "x07P010203N.bmk"));
    w->BuildBookmarkMenu();
    EXPECT_EQ(MenuCaptions(), (QStringList{"07 00:00:05 scene.2", "07 01:02:03 "}));
    EXPECT_EQ(ui()->MIDVDBookmark->actions().at(3)->property("Tag").toLongLong(), 7000005);

    // Chosen from the menu: its own state is applied, without a question.
    ui()->MIDVDBookmark->actions().at(3)->trigger();
    EXPECT_EQ(nav->state.bytes, second);
    EXPECT_EQ(ui()->TxtInfo->text(), "07 00:00:05 scene.2");
    // The next-bookmark command from the title's start finds the first one,
    // from just after it the second.
    nav->location = {7, 1, {0, 0, 1, 0}};
    nav->state = {};
    w->miNextBmkClick();
    EXPECT_EQ(nav->state.bytes, second);
    nav->location = {7, 1, {0, 0, 30, 0}};
    w->miNextBmkClick();
    EXPECT_EQ(nav->state.bytes, first);
    EXPECT_TRUE(boxes.isEmpty());

    // The bookmark window closing gives the menus back, the disc's bookmarks
    // read again (one was deleted meanwhile).
    ASSERT_TRUE(QFile::remove(Folder() + "T07P010203N.bmk"));
    QPointer<QWidget> editor = new QWidget;
    w->BookmarkWindow = editor;
    w->SetDialogOpen(true);
    ui()->PMForeground->setEnabled(false);
    w->SendMessage(WM_TOOLNOTIFY, 5, 0);
    Spin();
    EXPECT_TRUE(editor.isNull());
    EXPECT_EQ(w->BookmarkWindow, nullptr);
    EXPECT_FALSE(w->DialogOpen());
    EXPECT_TRUE(ui()->PMForeground->isEnabled());
    EXPECT_EQ(MenuCaptions(), QStringList{"07 00:00:05 scene.2"});

    // The menu's entries go with the disc.
    CloseDisc();
    EXPECT_TRUE(MenuCaptions().isEmpty());
}

TEST_F(DvdResume, RepeatSectionsOfTheCurrentTitle)
{
    Open();
    dvd::FakeNavigator* nav = StartDisc(2, {0, 1, 0, 0});
    ASSERT_TRUE(nav);
    const QString repeat = Folder() + "Repeat.rsm";
    ASSERT_TRUE(testutil::WriteFile(repeat, "1/title one/10/20\n2/old/1/2\nnot a section\n"));
    bookmarks::IBookmarkMenu& menu = w->SectionMenu();
    w->LoadDvdSections();
    ASSERT_EQ(menu.Count(), 5);
    EXPECT_EQ(menu.Caption(3), "old");
    EXPECT_EQ(menu.ItemTag(4), 2);
    EXPECT_FALSE(menu.IsVisible(4));

    menu.Insert(menu.Count(), "my scene", 60, true);
    menu.Insert(menu.Count(), QString(), 120, false);
    ASSERT_TRUE(w->SaveDvdSections(false));
    EXPECT_EQ(testutil::ReadFile(repeat), "1/title one/10/20\nnot a section\n2/old/1/2\n2/my scene/60/120\n");
    EXPECT_TRUE(ui()->miChainSections->isEnabled());
    // Loaded again, the name with a blank survives.
    w->LoadDvdSections();
    ASSERT_EQ(menu.Count(), 7);
    EXPECT_EQ(menu.Caption(5), "my scene");
    // Chosen, the section plays from its start (seconds of title time).
    w->RepeatSectionClick(5);
    EXPECT_TRUE(nav->Called("PlayAtTime(0,1,0,1,7)")) << nav->calls;
    EXPECT_EQ(ui()->TxtInfo->text(), "my scene");

    // The title's last section removed: its lines go, other titles' stay.
    menu.RemoveFrom(3);
    ASSERT_TRUE(w->SaveDvdSections(false));
    EXPECT_EQ(testutil::ReadFile(repeat), "1/title one/10/20\nnot a section\n");
    EXPECT_FALSE(ui()->miChainSections->isEnabled());
    // Removing only: the title's lines; the file goes once nothing is left.
    nav->location = {1, 1, {0, 0, 0, 0}};
    ASSERT_TRUE(testutil::WriteFile(repeat, "1/title one/10/20\n"));
    ASSERT_TRUE(w->SaveDvdSections(true));
    EXPECT_FALSE(QFile::exists(repeat));
}

// The real navigator on the fixture disc: the place saved at closing is
// where the disc resumes, not its start.
// Closed some seconds into title 1 and started again, Yes takes the disc
// back there: on a disc that plays its title at once, and on one whose
// first play ends in the endless still of its menu.
void DvdResume::ResumesWhereItWasClosed(const char* name)
{
    Open();
    const auto start = [&] {
        w->SetViewerPath(Fixture(name));
        w->StartDvd();
        w->ReadDvdVolumeName();
        return w->DvdControl();
    };
    const auto timeIn = [&](dvd::Navigator* nav, ULONG title) {
        dvd::Location location;
        dvd::Domain domain;
        if (FAILED(nav->GetCurrentDomain(&domain)) || domain != dvd::DVD_DOMAIN_Title ||
            FAILED(nav->GetCurrentLocation(&location)) || location.title != title)
            return -1L;
        return location.time.TotalSeconds();
    };
    const auto inMenu = [&](dvd::Navigator* nav) {
        dvd::Domain domain;
        return SUCCEEDED(nav->GetCurrentDomain(&domain)) && domain == dvd::DVD_DOMAIN_VideoManagerMenu;
    };
    dvd::Navigator* nav = start();
    ASSERT_NE(nav, nullptr);
    EXPECT_EQ(w->DvdState().DiscName, name);
    if (QLatin1String(name) == QLatin1String("dvd_menu")) {
        // The menu's first button leads to title 1.
        ASSERT_TRUE(testutil::WaitUntil([&] { return inMenu(nav); }, 15000));
        ASSERT_TRUE(testutil::WaitUntil([&] { return nav->ActivateAtPosition(100, 80) == S_OK; }, 3000));
    }
    ASSERT_TRUE(testutil::WaitUntil([&] { return timeIn(nav, 1) >= 5; }, 15000));
    CloseDisc();
    dvd::DiscInfo disc;
    ASSERT_TRUE(disc.Open(Fixture(name)));
    const QString folder = home->File("data/Bookmark/%1_%2/").arg(QLatin1String(name)).arg(disc.DiscId(), 0, 16);
    ASSERT_TRUE(QFile::exists(folder + "Resume.rsm")) << folder;

    nav = start();
    ASSERT_NE(nav, nullptr);
    // The start asks, and Yes takes the disc to its place once its first
    // play has reached the title or the menu.
    EXPECT_EQ(boxes.size(), 1);
    EXPECT_TRUE(testutil::WaitUntil([&] { return !w->DvdState().ResumePending; }, 15000));
    // From the start the title would need four seconds to get there.
    EXPECT_TRUE(testutil::WaitUntil([&] { return timeIn(nav, 1) >= 4; }, 1500));
    EXPECT_LT(timeIn(nav, 1), 9);
}

TEST_F(DvdResume, TheFixtureDiscResumesWhereItWasClosed)
{
    MW_REQUIRE_FIXTURES();
    ResumesWhereItWasClosed("dvd_titles");
}

TEST_F(DvdResume, AMenuDiscResumesFromItsStillMenuWhereItWasClosed)
{
    MW_REQUIRE_FIXTURES();
    ResumesWhereItWasClosed("dvd_menu");
}

// The session ends (SIGTERM) while the resume question is open: the
// question goes as No, the disc plays from its start, and the window then
// closes as the user's close would, saving what a normal exit saves.
TEST_F(DvdResume, TheSessionsEndAnswersTheOpenQuestionAndSavesTheSettings)
{
    Open();
    ASSERT_TRUE(StartDisc(1, {0, 0, 20, 0}));
    CloseDisc();
    dvd::FakeNavigator* nav = StartDisc(1, {0, 0, 0, 0});
    ASSERT_TRUE(nav);
    nav->state = {};
    dialogs::SetMessageBoxAnswerer({});   // the real box, waiting for a user
    bool asked = false;
    QTimer ending;
    QObject::connect(&ending, &QTimer::timeout, [&] {
        if (!qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) return;
        asked = true;
        ending.stop();
        std::raise(SIGTERM);
    });
    ending.start(10);
    w->LoadResumePoint(QString(), false);
    dialogs::SetSessionEnding(false);
    EXPECT_TRUE(asked);
    EXPECT_FALSE(nav->Called("SetState"));
    EXPECT_TRUE(testutil::WaitUntil([&] { return !w->isVisible(); }));
    Close();
    EXPECT_EQ(MainValueCount(), 23);
}

}  // namespace

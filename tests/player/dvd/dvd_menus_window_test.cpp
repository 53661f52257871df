// The DVD pop-up menu in the window: the selection menus built from the
// disc and what their items ask of the navigator (titles and angles out of
// range refused), the commands' conditions, fast play, subtitles, karaoke,
// pan-and-scan, and a disc-menu button pressed with the mouse; through the
// scripted navigator and on the fixture disc through the real layer.
#include "fake_builder.h"
#include "platform/dialogs/dialogs.h"
#include "platform/dvd/player.h"
#include "window_test_util.h"

#include <QAction>
#include <QCursor>
#include <QDialog>
#include <QLabel>
#include <QScreen>
#include <QToolButton>
#include <QMenu>

using namespace mwtest;

namespace {

QStringList Captions(QMenu* menu, int from = 0)
{
    QStringList captions;
    const QList<QAction*> items = menu->actions();
    for (int i = from; i < items.size(); ++i) captions << items[i]->text();
    return captions;
}

QStringList Checked(QMenu* menu)
{
    QStringList checked;
    for (QAction* item : menu->actions())
        if (item->isChecked()) checked << item->text();
    return checked;
}

class DvdMenus : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        dialogs::SetMessageBoxAnswerer([](const dialogs::MessageBoxCall&) { return IDOK; });
    }
    void TearDown() override
    {
        dialogs::SetMessageBoxAnswerer({});
        WindowTest::TearDown();
    }
    // A window playing a disc of the scripted navigator.
    dvd::FakeNavigator* StartFake()
    {
        Open();
        auto fake = std::make_unique<FakeDvdBuilder>();
        FakeDvdBuilder* builder = fake.get();
        w->SetDvdPipelineBuilder(std::move(fake));
        w->StartDvd();
        // The real layer's first domain event sizes the picture; the fake sends none.
        w->ReadDvdVideoAttributes();
        EXPECT_NE(builder->navigator, nullptr);
        if (builder->navigator) builder->navigator->calls.clear();
        return builder->navigator;
    }
    // The calls made by `action` alone.
    QStringList CallsOf(dvd::FakeNavigator* nav, const std::function<void()>& action)
    {
        nav->calls.clear();
        action();
        return nav->calls;
    }
};

TEST_F(DvdMenus, SelectionMenusFromTheDiscAndTheirItems)
{
    dvd::FakeNavigator* nav = StartFake();
    ASSERT_NE(nav, nullptr);
    nav->titles = 2;
    nav->location.title = 1;
    nav->location.chapter = 2;
    nav->chapters = 3;
    nav->audioStreams = 3;
    nav->audio = 0;
    dvd::AudioAttributes en, ja, none;
    en.language = "en";
    ja.language = "ja";
    ja.channels = 6;
    nav->audioAttributes = {en, ja, none};
    nav->subStreams = 2;
    dvd::SubpictureAttributes sub;
    sub.language = "ja";
    nav->subAttributes = {sub, {}};
    nav->angles = 2;
    nav->angle = 1;

    ASSERT_EQ(w->BuildDvdTitleMenu(), S_OK);
    w->BuildDvdStreamMenus();
    EXPECT_EQ(Captions(ui()->NDVDTitle), (QStringList{"タイトル 1", "タイトル 2"}));
    EXPECT_EQ(Checked(ui()->NDVDTitle), QStringList{"タイトル 1"});
    EXPECT_EQ(Captions(ui()->NDVDAudio), (QStringList{"英語 Dolby AC-3 2ch", "日本語 Dolby AC-3 5.1ch"}));
    EXPECT_EQ(Checked(ui()->NDVDAudio), QStringList{"英語 Dolby AC-3 2ch"});
    EXPECT_EQ(Captions(ui()->NDVDSubPic), QStringList{"日本語"});
    EXPECT_EQ(Captions(ui()->MIAngle), (QStringList{"アングル 1", "アングル 2"}));

    // The second title plays: the item's Tag is its index from 0.
    QAction* title2 = ui()->NDVDTitle->actions()[1];
    EXPECT_EQ(Tag(title2), 1);
    EXPECT_EQ(CallsOf(nav, [&] { title2->trigger(); }), QStringList{"PlayTitle(2,7)"});
    EXPECT_EQ(Checked(ui()->NDVDTitle), QStringList{"タイトル 2"});
    // The other audio stream and the second angle.
    EXPECT_EQ(CallsOf(nav, [&] { ui()->NDVDAudio->actions()[1]->trigger(); }), QStringList{"SelectAudioStream(1,6)"});
    EXPECT_EQ(Checked(ui()->NDVDAudio), QStringList{"日本語 Dolby AC-3 5.1ch"});
    EXPECT_EQ(CallsOf(nav, [&] { ui()->MIAngle->actions()[1]->trigger(); }), QStringList{"SelectAngle(2,7)"});
    EXPECT_EQ(CallsOf(nav, [&] { ui()->NDVDSubPic->actions()[0]->trigger(); }),
              QStringList{"SelectSubpictureStream(0,6)"});

    // The disc now counts fewer titles and angles than the menus hold: the
    // items out of range ask for nothing and keep their marks.
    nav->titles = 1;
    nav->angles = 1;
    EXPECT_EQ(CallsOf(nav, [&] { title2->trigger(); }), QStringList{});
    EXPECT_TRUE(title2->isChecked());
    QAction* angle2 = ui()->MIAngle->actions()[1];
    EXPECT_EQ(CallsOf(nav, [&] { angle2->trigger(); }), QStringList{});
    EXPECT_TRUE(angle2->isChecked());
    // A refused selection keeps the mark where it was.
    nav->results["SelectAudioStream"] = E_FAIL;
    ui()->NDVDAudio->actions()[0]->trigger();
    EXPECT_EQ(Checked(ui()->NDVDAudio), QStringList{"日本語 Dolby AC-3 5.1ch"});

    // The chapters of the title are the play list, the current one selected,
    // and the title menu marks the title playing.
    w->BuildDvdChapterList();
    EXPECT_EQ(Checked(ui()->NDVDTitle), QStringList{"タイトル 1"});
    EXPECT_EQ(Paths(), (QStringList{"チャプター 1", "チャプター 2", "チャプター 3"}));
    EXPECT_EQ(w->PlayList().Items()[2].Title, "チャプター 3");
    EXPECT_EQ(w->ListIndex(), 1);

    // Cleared: the selection menus empty, the bookmark menu keeps its commands.
    auto* bookmark = new QAction("T01P000102N.bmk", ui()->MIDVDBookmark);
    ui()->MIDVDBookmark->addAction(bookmark);
    w->ClearDvdMenus();
    for (QMenu* menu : {ui()->NDVDTitle, ui()->NDVDAudio, ui()->NDVDSubPic, ui()->MIAngle})
        EXPECT_TRUE(menu->actions().isEmpty()) << menu->objectName();
    EXPECT_EQ(ui()->MIDVDBookmark->actions().size(), 3);

    // A disc without titles has no title menu.
    nav->titles = 0;
    EXPECT_EQ(w->BuildDvdTitleMenu(), E_FAIL);
    w->ShowDvdMenus(true);
    EXPECT_TRUE(ui()->NDVDTitle->menuAction()->isVisible());
    EXPECT_TRUE(ui()->NDisplaySP->isVisible());
    w->ShowDvdMenus(false);
    EXPECT_FALSE(ui()->N19->menuAction()->isVisible());
}

TEST_F(DvdMenus, CommandsActOnlyWhenTheDiscAllowsThem)
{
    // No disc: every command does nothing.
    Open();
    for (QAction* item : {ui()->NRootMenu, ui()->NTitleMenu, ui()->NAudioMenu, ui()->MiResume, ui()->NDisplaySP,
                          ui()->MenuKaraoke1, ui()->MenuPanscan})
        item->trigger();
    EXPECT_FALSE(ui()->NDisplaySP->isChecked());
    EXPECT_FALSE(ui()->MenuKaraoke1->isChecked());
    EXPECT_TRUE(ui()->PanOff->isChecked());
    Close();

    dvd::FakeNavigator* nav = StartFake();
    ASSERT_NE(nav, nullptr);
    const std::pair<QAction*, const char*> menus[] = {
        {ui()->NRootMenu, "ShowMenu(3,7)"}, {ui()->NTitleMenu, "ShowMenu(2,7)"},  {ui()->NSPMenu, "ShowMenu(4,7)"},
        {ui()->NAudioMenu, "ShowMenu(5,7)"}, {ui()->NAngleMenu, "ShowMenu(6,7)"}, {ui()->NChapterMenu, "ShowMenu(7,7)"},
    };
    for (const auto& [item, call] : menus) EXPECT_EQ(CallsOf(nav, [&] { item->trigger(); }), QStringList{call});
    // Resume only from a menu.
    EXPECT_EQ(CallsOf(nav, [&] { ui()->MiResume->trigger(); }), QStringList{});
    w->Probe().DvdState().InMenu = true;
    EXPECT_EQ(CallsOf(nav, [&] { ui()->MiResume->trigger(); }), QStringList{"Resume(7)"});

    // Fast play: refused in a menu, then 2, 4, 8, 2 by the reported rate;
    // rewind plays backwards.
    EXPECT_EQ(CallsOf(nav, [&] { w->TBtnFastforwardClick(); }), QStringList{});
    w->Probe().DvdState().InMenu = false;
    QStringList speeds;
    for (double rate : {1.0, 2.0, 4.0, 8.0}) {
        w->Probe().DvdState().PlaybackRate = rate;
        const QStringList calls = CallsOf(nav, [&] { ui()->TBtnFastforward->click(); });
        ASSERT_EQ(calls.size(), 2) << calls;
        EXPECT_EQ(calls[0], "Run()");
        speeds << calls[1];
    }
    EXPECT_EQ(speeds, (QStringList{"PlayForwards(2,5)", "PlayForwards(4,5)", "PlayForwards(8,5)", "PlayForwards(2,5)"}));
    w->Probe().DvdState().PlaybackRate = -2.0;
    EXPECT_EQ(CallsOf(nav, [&] { w->TBtnRewindClick(); }), (QStringList{"Run()", "PlayBackwards(4,5)"}));
    for (bool* flag : {&w->Probe().DvdState().StillOn, &w->Probe().DvdState().CommandPending}) {
        *flag = true;
        EXPECT_EQ(CallsOf(nav, [&] { w->TBtnRewindClick(); }), QStringList{});
        *flag = false;
    }
    // The key while scanning backwards plays forwards at normal speed.
    w->KeyLatch = 0;
    EXPECT_EQ(CallsOf(nav, [&] { w->miDVDForwardClick(); }), QStringList{"PlayForwards(1,3)"});
    EXPECT_EQ(CallsOf(nav, [&] { w->miDVDForwardClick(); }), QStringList{}) << "latched until the key is let go";

    // Subtitles hidden and shown again; a refusal changes nothing.
    ui()->NDisplaySP->trigger();
    EXPECT_TRUE(ui()->NDisplaySP->isChecked());
    EXPECT_EQ(nav->calls.last(), "SetSubpictureState(0,7)");
    EXPECT_EQ(ui()->TxtInfo->text(), "字幕を非表示: ON");
    nav->results["SetSubpictureState"] = E_FAIL;
    ui()->NDisplaySP->trigger();
    EXPECT_TRUE(ui()->NDisplaySP->isChecked());
    nav->results.remove("SetSubpictureState");
    w->NDisplaySPClick();   // the command table's way: no mark turned by a click
    EXPECT_FALSE(ui()->NDisplaySP->isChecked());
    EXPECT_EQ(nav->calls.last(), "SetSubpictureState(1,7)");

    // Karaoke: the mark follows the navigator's answer.
    EXPECT_EQ(CallsOf(nav, [&] { ui()->MenuKaraoke2->trigger(); }),
              QStringList{"SelectKaraokeAudioPresentationMode(2056)"});
    EXPECT_TRUE(ui()->MenuKaraoke2->isChecked());
    nav->results["SelectKaraokeAudioPresentationMode"] = E_NOTIMPL;
    ui()->MenuKaraoke3->trigger();
    EXPECT_FALSE(ui()->MenuKaraoke3->isChecked());
    EXPECT_TRUE(ui()->MenuKaraoke2->isChecked());
    // No caption decoder: the closed-caption items keep their marks.
    ui()->MiCcOn->trigger();
    ui()->MiCcRightBottom->trigger();
    EXPECT_FALSE(ui()->MiCcOn->isChecked());
    EXPECT_FALSE(ui()->MiCcRightBottom->isChecked());
    // Pan-and-scan is for full screen only.
    ui()->MenuPanscan->trigger();
    EXPECT_TRUE(ui()->PanOff->isChecked());
    EXPECT_FALSE(ui()->MenuPanscan->isChecked());
}

TEST_F(DvdMenus, PanAndScanInFullScreen)
{
    dvd::FakeNavigator* nav = StartFake();
    ASSERT_NE(nav, nullptr);
    ui()->NFullScreen->trigger();
    ASSERT_TRUE(w->IsFullScreen());
    ASSERT_TRUE(testutil::WaitUntil([&] { return w->geometry() == w->screen()->geometry(); }));
    const QSize screen = w->screen()->geometry().size();
    // The fake's 4:3 picture: its height fills the screen, centred.
    ui()->MenuPanscan->trigger();
    EXPECT_TRUE(ui()->MenuPanscan->isChecked());
    EXPECT_FALSE(ui()->PanOff->isChecked());
    const QRect video = w->VideoRect();
    EXPECT_EQ(video.height(), screen.height());
    EXPECT_EQ(video.width(), screen.height() * 4 / 3);
    EXPECT_LE(std::abs(video.left() + video.width() / 2 - screen.width() / 2), 1) << video;
    ui()->MiVista->trigger();
    EXPECT_TRUE(ui()->MiVista->isChecked());
    EXPECT_FALSE(ui()->MenuPanscan->isChecked());
    ui()->PanOff->trigger();
    EXPECT_TRUE(ui()->PanOff->isChecked());
    EXPECT_FALSE(ui()->MiVista->isChecked());
    // Leaving full screen turns pan-and-scan off and shows the pointer.
    ui()->MenuPanscan->trigger();
    w->LeaveFullScreen();
    EXPECT_TRUE(ui()->PanOff->isChecked());
    EXPECT_FALSE(w->IsCursorHidden());
}

TEST_F(DvdMenus, PointerComesBackForADialog)
{
    dvd::FakeNavigator* nav = StartFake();
    ASSERT_NE(nav, nullptr);
    ui()->NFullScreen->trigger();
    ASSERT_TRUE(w->IsFullScreen());
    const QRect monitor = w->screen()->geometry();
    QCursor::setPos(monitor.center());
    for (int i = 0; i < 5; ++i) w->MouseTimerTimer();
    ASSERT_TRUE(w->IsCursorHidden());
    // A window of the program shows: the pointer is shown at once and stays
    // while it is open.
    QDialog dialog(w.get());
    dialog.setModal(true);
    dialog.show();
    EXPECT_FALSE(w->IsCursorHidden());
    for (int i = 0; i < 5; ++i) w->MouseTimerTimer();
    EXPECT_FALSE(w->IsCursorHidden());
    dialog.hide();
    // The release of the left button in full screen shows a hidden pointer.
    for (int i = 0; i < 5; ++i) w->MouseTimerTimer();
    ASSERT_TRUE(w->IsCursorHidden());
    w->SendMessage(WM_LBUTTONUP, 0, MakePointParam(10, 10));
    EXPECT_FALSE(w->IsCursorHidden());
}

TEST_F(DvdMenus, LeftButtonActivatesTheDiscButtonItSelected)
{
    dvd::FakeNavigator* nav = StartFake();
    ASSERT_NE(nav, nullptr);
    const QRect video = w->VideoRect();
    const QPoint inPicture = ui()->ViewPanel->pos() + video.topLeft() + QPoint(video.width() / 2, video.height() / 4);
    const QPoint expected = w->VideoPointFromClient(inPicture);
    const QString at = QString("(%1,%2)").arg(expected.x()).arg(expected.y());
    const LPARAM point = MakePointParam(inPicture.x(), inPicture.y());
    EXPECT_EQ(CallsOf(nav,
                      [&] {
                          w->SendMessage(WM_LBUTTONDOWN, 1, point);
                          w->SendMessage(WM_LBUTTONUP, 0, point);
                      }),
              (QStringList{"SelectAtPosition" + at, "ActivateAtPosition" + at}));
    // No button there: the release activates nothing.
    nav->results["SelectAtPosition"] = dvd::VFW_E_DVD_NO_BUTTON;
    EXPECT_EQ(CallsOf(nav,
                      [&] {
                          w->SendMessage(WM_LBUTTONDOWN, 1, point);
                          w->SendMessage(WM_LBUTTONUP, 0, point);
                      }),
              QStringList{"SelectAtPosition" + at});
}

TEST_F(DvdMenus, FixtureDiscMenuButtonPlaysItsTitleAndTheMenusNameItsStreams)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("DVDRenderer", 2);
    Open();
    w->SetViewerPath(Fixture("dvd_menu") + "/VIDEO_TS");
    w->StartDvd();
    auto* player = dynamic_cast<dvd::DvdPlayer*>(w->DvdControl());
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->FramesShown() > 0; }, 10000));
    ASSERT_EQ(w->BuildDvdTitleMenu(), S_OK);
    EXPECT_EQ(Captions(ui()->NDVDTitle), (QStringList{"タイトル 1", "タイトル 2"}));
    // The menu's first button (40,60)-(150,100) of the 352 x 240 picture jumps to title 1.
    ASSERT_TRUE(testutil::WaitUntil([&] {
        dvd::Domain domain;
        return SUCCEEDED(player->GetCurrentDomain(&domain)) && domain == dvd::DVD_DOMAIN_VideoManagerMenu;
    }, 10000));
    const QRect video = w->VideoRect();
    const QPoint button = ui()->ViewPanel->pos() + video.topLeft() +
                          QPoint(95 * video.width() / 352, 80 * video.height() / 240);
    const LPARAM point = MakePointParam(button.x(), button.y());
    dvd::Location location;
    ASSERT_TRUE(testutil::WaitUntil([&] {
        w->SendMessage(WM_LBUTTONDOWN, 1, point);
        w->SendMessage(WM_LBUTTONUP, 0, point);
        return testutil::WaitUntil(
            [&] { return SUCCEEDED(player->GetCurrentLocation(&location)) && location.title == 1; }, 1000);
    }, 10000));
    dvd::Domain domain;
    ASSERT_TRUE(SUCCEEDED(player->GetCurrentDomain(&domain)));
    EXPECT_EQ(domain, dvd::DVD_DOMAIN_Title);
    w->BuildDvdStreamMenus();
    EXPECT_EQ(Captions(ui()->NDVDAudio), (QStringList{"英語 Dolby AC-3 2ch", "日本語 Dolby AC-3 5.1ch"}));
    EXPECT_EQ(Captions(ui()->NDVDSubPic), QStringList{"日本語"});
    w->BuildDvdChapterList();
    EXPECT_EQ(Paths(), (QStringList{"チャプター 1", "チャプター 2", "チャプター 3"}));
}

}  // namespace

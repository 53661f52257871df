// The window playing a DVD through the scripted navigator: its events, the
// arrow keys of menus, the valid operations, the parental password, the time
// on the seek bar with sections and the deferred seek, the end action, the
// window's size and the transport; then the fixture discs through the real layer.
#include "fake_builder.h"
#include "platform/dialogs/dialogs.h"
#include "platform/dvd/state.h"
#include "platform/storage/storage.h"
#include "player/DlgPassword.h"
#include "player/units/Dvdfolder.h"
#include "player/units/Imagelist.h"
#include "player/units/Shortcuts.h"
#include "common/scramble.h"
#include "window_test_util.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

using namespace mwtest;
using namespace dvd;

namespace {

// A builder whose navigator refuses to run: the disc opens but does not play.
class NoRunBuilder : public FakeDvdBuilder {
public:
    HRESULT BuildManual(const TDvdBuildRequest& r) override
    {
        const HRESULT hr = FakeDvdBuilder::BuildManual(r);
        if (navigator) navigator->results["Run"] = E_FAIL;
        return hr;
    }
};

// Answers each password window that shows with `text` and `key`.
class PasswordAnswerer {
public:
    PasswordAnswerer(const QString& text, int key)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this, text, key] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<TDlgPassword*>(top);
                if (!dialog || !dialog->isVisible() || answered_.contains(dialog)) continue;
                answered_ << dialog;
                dialog->Edit1()->setText(text);
                QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
                QApplication::sendEvent(dialog->Edit1(), &press);
            }
        });
        timer_.start(10);
    }
    int Count() const { return int(answered_.size()); }

private:
    QTimer timer_;
    QList<QWidget*> answered_;
};

LPARAM At(int h, int m, int s) { return HmsfTime{BYTE(h), BYTE(m), BYTE(s), 0}.Packed(); }

// The parental password as the options store it; an empty one is no password.
void StorePassword(const std::string& text)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kMainKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (text.empty()) {
        RegDeleteValue(key, "ParentalLockPassword");
    } else {
        const std::string stored = ScrambledPassword(text);
        RegSetValueEx(key, "ParentalLockPassword", 0, REG_BINARY, reinterpret_cast<const BYTE*>(stored.data()),
                      DWORD(stored.size()));
    }
    RegCloseKey(key);
}

class DvdStart : public WindowTest {
protected:
    FakeNavigator* Start(std::unique_ptr<FakeDvdBuilder> fake = std::make_unique<FakeDvdBuilder>())
    {
        if (!w) Open();
        FakeDvdBuilder* raw = fake.get();
        w->SetDvdPipelineBuilder(std::move(fake));
        w->StartDvd();
        EXPECT_NE(raw->navigator, nullptr);
        return raw->navigator;
    }
    // Raises an event and waits until the window has taken it: the marker
    // after it is the only event that plays title 1.
    void Raise(FakeNavigator* nav, long code, LPARAM p1 = 0, LPARAM p2 = 0)
    {
        nav->Raise(code, p1, p2);
        nav->Raise(EC_DVD_NO_FP_PGC);
        const auto before = nav->calls.count("PlayTitle(1,7)");
        EXPECT_TRUE(testutil::WaitUntil([&] { return !w->DvdControl() || nav->calls.count("PlayTitle(1,7)") > before; }));
        Spin();
    }
    // Time events are shown through a posted message.
    void Time(FakeNavigator* nav, int h, int m, int s, int expectedBar)
    {
        Raise(nav, EC_DVD_CURRENT_HMSF_TIME, At(h, m, s));
        EXPECT_TRUE(testutil::WaitUntil([&] { return Bar()->value() == expectedBar; })) << m << ":" << s;
    }
    // The menu builder shows these items once a disc runs; a hidden item cannot be enabled.
    void ShowDvdItems()
    {
        for (QMenu* menu : ui()->DVDPopupMenu->findChildren<QMenu*>()) menu->menuAction()->setVisible(true);
        for (QAction* item : ui()->DVDPopupMenu->actions() + ui()->NExtraMenu->actions()) item->setVisible(true);
    }
    QSlider* Bar() const { return ui()->TrackBarForSeek; }
    // Waits for the next tick of the deferred seek's timer, the one place
    // that seeks after the bar moved; a call of `call` ends the wait at once.
    void WaitForSeekTimer(FakeNavigator* nav, const char* call)
    {
        const int ticks = TimerTicks(kDvdSeekTimer);
        EXPECT_TRUE(testutil::WaitUntil([&] { return TimerTicks(kDvdSeekTimer) > ticks || nav->Called(call); }));
    }
    // Waits for the next tick of the DVD timer, or the end action it starts.
    void WaitForDvdTimer()
    {
        TickCount ticks(w->Probe().DVDTimer());
        EXPECT_TRUE(testutil::WaitUntil([&] { return ticks.Ticks() > 0 || w->DvdState().EndActionStarted; }));
    }
    static bool Enabled(QObject* control)
    {
        if (auto* menu = qobject_cast<QMenu*>(control)) return menu->menuAction()->isEnabled();
        if (auto* item = qobject_cast<QAction*>(control)) return item->isEnabled();
        return qobject_cast<QWidget*>(control)->isEnabled();
    }
};

TEST_F(DvdStart, EventsSetTitlesStreamsStillsRateAndTime)
{
    FakeNavigator* nav = Start();
    ShowDvdItems();
    nav->titleLength = {1, 2, 3, 0};
    Raise(nav, EC_DVD_TITLE_CHANGE, 2);
    EXPECT_EQ(Tag(ui()->NDVDTitle), 2);
    EXPECT_EQ(ui()->taTime->text(), "1:02:03");
    EXPECT_EQ(Bar()->maximum(), 3723);
    Raise(nav, EC_DVD_CHAPTER_START, 3);
    EXPECT_EQ(w->ListIndex(), 2);
    SetTag(ui()->MIKaraoke, 5);
    Raise(nav, EC_DVD_AUDIO_STREAM_CHANGE, 1);
    Raise(nav, EC_DVD_AUDIO_STREAM_CHANGE, -1);
    EXPECT_EQ(Tag(ui()->NDVDAudio), 1);
    EXPECT_EQ(Tag(ui()->MIKaraoke), 0);
    // The user hides subtitles: a disc that shows them is told again, once.
    ui()->NDisplaySP->setChecked(true);
    Raise(nav, EC_DVD_SUBPICTURE_STREAM_CHANGE, 1, 1);
    Raise(nav, EC_DVD_SUBPICTURE_STREAM_CHANGE, -1, 0);
    EXPECT_EQ(nav->calls.filter("SetSubpictureState"), QStringList{"SetSubpictureState(0,7)"});
    EXPECT_EQ(Tag(ui()->NDVDSubPic), 1);
    Raise(nav, EC_DVD_ANGLE_CHANGE, 3, 2);
    Raise(nav, EC_DVD_ANGLES_AVAILABLE, 0);
    EXPECT_EQ(Tag(ui()->MIAngle), 2);
    EXPECT_FALSE(Enabled(ui()->MIAngle));

    // Only a still with buttons (1) counts.
    Raise(nav, EC_DVD_STILL_ON, 0, -1);
    EXPECT_FALSE(w->DvdState().StillOn);
    EXPECT_EQ(ButtonImageIndex(ui()->BtnStart), StartImage::Pause);
    Raise(nav, EC_DVD_STILL_ON, 1, -1);
    EXPECT_FALSE(Bar()->isEnabled());
    EXPECT_EQ(ButtonImageIndex(ui()->BtnStart), StartImage::Play);
    Raise(nav, EC_DVD_STILL_OFF);
    EXPECT_TRUE(Bar()->isEnabled());

    // The rate: one decimal, halves away from zero, shortest form.
    for (auto [rate, text, state] : {std::tuple{14500, "1.5x", psScan}, std::tuple{-20000, "-2x", psScan},
                                     std::tuple{10400, "1x", psPlaying}}) {
        Raise(nav, EC_DVD_PLAYBACK_RATE_CHANGE, rate);
        EXPECT_EQ(ui()->STxtbai->text(), text);
        EXPECT_EQ(w->PlayState(), state);
    }
    // A command pending keeps the time from the bar. The time is shown by a
    // message the event posts, and Raise has run what was posted.
    Raise(nav, EC_DVD_CMD_START, 1);
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, At(0, 1, 0));
    EXPECT_EQ(Bar()->value(), 0);
    Raise(nav, EC_DVD_CMD_END, 1, 0);
    Time(nav, 0, 1, 5, 65);
    EXPECT_EQ(ui()->tnTime->text(), "0:01:05");
    EXPECT_TRUE(messageBoxes.isEmpty()) << messageBoxes;
}

TEST_F(DvdStart, WarningsOnceErrorsByCodeAndTheEndsOfADisc)
{
    FakeNavigator* nav = Start();
    Raise(nav, EC_DVD_WARNING, DVD_WARNING_Seek);
    Raise(nav, EC_DVD_WARNING, DVD_WARNING_Read);
    EXPECT_EQ(messageBoxes, QStringList{QString::fromUtf8("警告: ファイルのシークに失敗しました。")});
    nav = Start();
    Raise(nav, EC_DVD_WARNING, 2);   // unnamed: no box, but the disc's one warning
    Raise(nav, EC_DVD_WARNING, DVD_WARNING_Open);
    EXPECT_EQ(messageBoxes.size(), 1);

    for (int code = 0; code <= 9; ++code) {
        nav = Start();
        messageBoxes.clear();
        nav->Raise(EC_DVD_ERROR, code);
        ASSERT_TRUE(testutil::WaitUntil([&] { return !w->DvdControl(); })) << code;
        EXPECT_EQ(messageBoxes.size(), code >= 1 && code <= 8 ? 1 : 0) << code;
        for (const QString& box : messageBoxes) EXPECT_TRUE(box.startsWith(QString::fromUtf8("DVD エラー: "))) << code;
        EXPECT_EQ(w->PlayState(), psNothing);
    }
    EXPECT_EQ(messageBoxes, QStringList{}) << "code 9";
    EXPECT_EQ(Caption(), "Zoravel");

    // Stopped playback: the root menu when there is one, else the end without a message.
    nav = Start();
    Raise(nav, EC_DVD_PLAYBACK_STOPPED);
    EXPECT_TRUE(nav->calls.contains("ShowMenu(3,5)"));
    ASSERT_NE(w->DvdControl(), nullptr);
    nav->results["ShowMenu"] = VFW_E_DVD_INVALIDDOMAIN;
    nav->Raise(EC_DVD_PLAYBACK_STOPPED);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->DvdControl(); }));
    // An ejected disc closes only while it plays.
    nav = Start(std::make_unique<NoRunBuilder>());
    Raise(nav, EC_DVD_DISC_EJECTED);
    EXPECT_NE(w->DvdControl(), nullptr);
    nav = Start();
    nav->Raise(EC_DVD_DISC_EJECTED);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->DvdControl(); }));
    EXPECT_TRUE(messageBoxes.isEmpty()) << messageBoxes;
}

TEST_F(DvdStart, MenusTakeTheArrowKeysAndValidOperationsSetTheControls)
{
    FakeNavigator* nav = Start();
    ShowDvdItems();
    QAction* right = ui()->miDVDMenuR;
    SetItemShortCut(right, 0x4027);   // the user's Ctrl+Right
    const WORD up = ItemShortCut(ui()->miDVDMenuU);
    Raise(nav, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_VideoManagerMenu);
    Raise(nav, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_VideoTitleSetMenu);
    EXPECT_TRUE(w->DvdState().InMenu);
    EXPECT_EQ(QList<WORD>({ItemShortCut(right), ItemShortCut(ui()->miDVDMenuL), ItemShortCut(ui()->miDVDMenuU),
                           ItemShortCut(ui()->miDVDMenuD)}),
              QList<WORD>({0x27, 0x25, 0x26, 0x28}));
    EXPECT_NE(ButtonImageIndex(ui()->BtnStart), StartImage::Resume) << "no title played yet";
    // In the menu the arrows move among its buttons and Enter activates the
    // highlighted one.
    nav->calls.clear();
    Tap(Qt::Key_Up);
    Tap(Qt::Key_Right);
    Tap(Qt::Key_Return);
    EXPECT_EQ(nav->calls.filter(QRegularExpression("Button")),
              QStringList({"SelectRelativeButton(1)", "SelectRelativeButton(4)", "ActivateButton()"}));
    Raise(nav, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Title);
    EXPECT_TRUE(w->DvdState().TitlePlayed);
    EXPECT_EQ(ItemShortCut(right), 0x4027);
    EXPECT_EQ(ItemShortCut(ui()->miDVDMenuU), up);

    // Neither play nor pause: Start stays only to resume a played title.
    const DWORD stuck = UOP_FLAG_Play_Forwards | UOP_FLAG_Pause_On;
    Raise(nav, EC_DVD_VALID_UOPS_CHANGE, stuck | UOP_FLAG_Play_Title_Or_AtTime | UOP_FLAG_Stop |
                                             UOP_FLAG_PlayNext_Chapter | UOP_FLAG_ShowMenu_Root |
                                             UOP_FLAG_Select_Audio_Stream);
    EXPECT_TRUE(w->DvdState().TimePlayProhibited);
    for (QObject* off : {(QObject*)Bar(), (QObject*)ui()->BtnSkip, (QObject*)ui()->MIStopClip,
                         (QObject*)ui()->TBtnNextTrack, (QObject*)ui()->NRootMenu, (QObject*)ui()->NDVDAudio,
                         (QObject*)ui()->MIPause, (QObject*)ui()->TBtnFastforward})
        EXPECT_FALSE(Enabled(off)) << off->objectName();
    for (QObject* on : {(QObject*)ui()->TBtnPreviousTrack, (QObject*)ui()->NTitleMenu, (QObject*)ui()->NDVDSubPic,
                        (QObject*)ui()->MiResume, (QObject*)ui()->NExtraMenu, (QObject*)ui()->BtnStart})
        EXPECT_TRUE(Enabled(on)) << on->objectName();
    EXPECT_EQ(ButtonImageIndex(ui()->BtnStart), StartImage::Resume);
    Raise(nav, EC_DVD_STILL_OFF);
    EXPECT_FALSE(Bar()->isEnabled()) << "time play is still forbidden";
    Raise(nav, EC_DVD_VALID_UOPS_CHANGE, stuck | UOP_FLAG_Resume | UOP_FLAG_ShowMenu_SubPic |
                                             UOP_FLAG_ShowMenu_Audio | UOP_FLAG_ShowMenu_Angle |
                                             UOP_FLAG_ShowMenu_Chapter);
    EXPECT_FALSE(ui()->BtnStart->isEnabled());
    EXPECT_FALSE(Enabled(ui()->NExtraMenu));

    // Back in a menu after a title the Start button resumes; an error there
    // closes the disc and gives the keys back.
    nav->uops = 0;
    Raise(nav, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_VideoManagerMenu);
    EXPECT_EQ(ui()->BtnStart->toolTip(), QString::fromUtf8("再生を続ける"));
    nav->Raise(EC_DVD_ERROR, 2);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->DvdControl(); }));
    EXPECT_EQ(ItemShortCut(right), 0x4027);
}

TEST_F(DvdStart, ParentalLevelAsksThePasswordOnceAndEventsWaitForIt)
{
    SetMainDword("UseParentalCtrl", 1);
    SetMainDword("UsePasswordToUnlock", 1);
    StorePassword("abc");
    for (auto [typed, keyPressed, accepted] :
         {std::tuple{"abc", Qt::Key_Return, 1}, std::tuple{"abd", Qt::Key_Return, 0},
          std::tuple{"ABC", Qt::Key_Return, 0}, std::tuple{"abc", Qt::Key_Escape, 0}}) {
        FakeNavigator* nav = Start();
        PasswordAnswerer answerer(QString::fromUtf8(typed), keyPressed);
        nav->Raise(EC_DVD_PARENTAL_LEVEL_CHANGE);
        nav->Raise(EC_DVD_CHAPTER_START, 2);
        ASSERT_TRUE(testutil::WaitUntil([&] { return w->ListIndex() == 1; })) << typed;
        EXPECT_EQ(answerer.Count(), 1);
        EXPECT_EQ(nav->calls.filter("AcceptParentalLevelChange"),
                  QStringList{QString("AcceptParentalLevelChange(%1)").arg(accepted)})
            << typed;
    }
    // Unlocking off, or on without a password: nothing is asked and the change is refused.
    PasswordAnswerer none(QString(), Qt::Key_Return);
    for (auto [unlock, password] : {std::pair{0, "abc"}, std::pair{1, ""}}) {
        SetMainDword("UsePasswordToUnlock", DWORD(unlock));
        StorePassword(password);
        FakeNavigator* nav = Start();
        Raise(nav, EC_DVD_PARENTAL_LEVEL_CHANGE);
        EXPECT_EQ(nav->calls.filter("AcceptParentalLevelChange"), QStringList{"AcceptParentalLevelChange(0)"});
    }
    EXPECT_EQ(none.Count(), 0);
}

TEST_F(DvdStart, AnAcceptedParentalChangeAppliesTheWaitingResumePointWithoutAsking)
{
    SetMainDword("UseParentalCtrl", 1);
    SetMainDword("UsePasswordToUnlock", 1);
    StorePassword("abc");
    FakeNavigator* nav = Start();
    nav->discId = 0x1234;
    nav->directory = Home("discs/Disc/VIDEO_TS");
    w->ReadDvdVolumeName();
    StateRecord record;
    record.discId = 0x1234;
    record.title = 1;
    record.chapter = 1;
    record.time = {0, 0, 20, 0};
    const QString folder = w->DvdDiscFolder();
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_EQ(storage::WriteStream(folder + dvdfolder::kResumeFileName, dvdfolder::kStreamName, WriteStateRecord(record)),
              S_OK);
    // Yes to the question, but the disc's level refuses the place: it waits.
    dialogs::SetMessageBoxAnswerer([this](const dialogs::MessageBoxCall& call) {
        messageBoxes << call.caption + ": " + call.text;
        return IDYES;
    });
    nav->results["SetState"] = VFW_E_DVD_INVALIDDOMAIN;
    w->LoadResumePoint(QString(), false);
    ASSERT_TRUE(w->DvdState().ResumePending);
    ASSERT_EQ(messageBoxes.size(), 1);
    nav->results.remove("SetState");
    // A refused change leaves it waiting; an accepted one applies it without a second question.
    for (auto [typed, applied] : {std::pair{"abd", false}, std::pair{"abc", true}}) {
        PasswordAnswerer answerer(QString::fromUtf8(typed), Qt::Key_Return);
        nav->calls.clear();
        Raise(nav, EC_DVD_PARENTAL_LEVEL_CHANGE);
        EXPECT_EQ(answerer.Count(), 1) << typed;
        EXPECT_EQ(nav->Called("SetState"), applied) << typed;
        EXPECT_EQ(w->DvdState().ResumePending, !applied) << typed;
    }
    EXPECT_EQ(nav->state.bytes, WriteStateRecord(record));
    EXPECT_EQ(messageBoxes.size(), 1) << messageBoxes;
}

TEST_F(DvdStart, TimeMovesTheBarSectionsRepeatOrChainAndTheDragSeeksOnRelease)
{
    SetMainDword("UseBookmark", 1);
    FakeNavigator* nav = Start();
    nav->titleLength = {0, 20, 0, 0};
    Raise(nav, EC_DVD_TITLE_CHANGE, 1);
    // A drag: the time follows the bar; a time event leaves the bar alone; the seek waits for the release.
    Bar()->setSliderDown(true);
    Bar()->setValue(600);
    EXPECT_EQ(ui()->tnTime->text(), "0:10:00");
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, At(0, 0, 30));
    // The deferred seek's timer has come round while the bar is held.
    WaitForSeekTimer(nav, "PlayAtTime");
    EXPECT_EQ(Bar()->value(), 600);
    EXPECT_FALSE(nav->Called("PlayAtTime"));
    Bar()->setSliderDown(false);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->DvdState().SeekPending; }));
    EXPECT_EQ(nav->calls.filter("PlayAtTime"), QStringList{"PlayAtTime(0,10,0,1,7)"});
    // A command pending holds the seek back until it ends.
    Raise(nav, EC_DVD_CMD_START, 1);
    Bar()->setSliderDown(true);
    Bar()->setValue(900);
    Bar()->setSliderDown(false);
    WaitForSeekTimer(nav, "PlayAtTime(0,15,0,1,7)");
    EXPECT_FALSE(nav->Called("PlayAtTime(0,15,0,1,7)"));
    Raise(nav, EC_DVD_CMD_END, 1);
    ASSERT_TRUE(testutil::WaitUntil([&] { return nav->Called("PlayAtTime(0,15,0,1,7)"); }));
    // So does a still that comes while the bar is held.
    Bar()->setSliderDown(true);
    Bar()->setValue(1080);
    Raise(nav, EC_DVD_STILL_ON, 1, -1);
    Bar()->setSliderDown(false);
    WaitForSeekTimer(nav, "PlayAtTime(0,18,0,1,7)");
    EXPECT_FALSE(nav->Called("PlayAtTime(0,18,0,1,7)"));
    Raise(nav, EC_DVD_STILL_OFF);
    ASSERT_TRUE(testutil::WaitUntil([&] { return nav->Called("PlayAtTime(0,18,0,1,7)"); }));

    // A section from 0:05:00 to 0:10:00 restarts past its end and more than 5 s before its start.
    Time(nav, 0, 5, 0, 300);
    w->SetSectionStart(300);
    Time(nav, 0, 10, 0, 600);
    w->SetSectionEnd();
    nav->calls.clear();
    for (auto [m, s, restarts] : {std::tuple{10, 0, false}, std::tuple{10, 1, true}, std::tuple{4, 55, false},
                                  std::tuple{4, 54, true}}) {
        const int shown = Taken(WM_DVDTIMEUPDATE);
        Raise(nav, EC_DVD_CURRENT_HMSF_TIME, At(0, m, s));
        if (restarts) {
            EXPECT_TRUE(testutil::WaitUntil([&] { return nav->calls.count("PlayAtTime(0,5,0,1,7)") == 1; }));
        } else {
            // The time has been shown, and a restart it asked for has run.
            EXPECT_TRUE(testutil::WaitUntil(
                [&] { return Taken(WM_DVDTIMEUPDATE) > shown && !w->DvdState().SeekPending; }));
        }
        EXPECT_EQ(nav->calls.count("PlayAtTime(0,5,0,1,7)"), restarts ? 1 : 0) << m << ":" << s;
        nav->calls.clear();
    }

    // Chained: with sections 1:00-2:00 and the active 10:00-11:00, the chain
    // goes on to the second one, then comes round to the first.
    w->ClearSelection();
    Time(nav, 0, 1, 0, 60);
    w->SetSectionStart(60);
    Time(nav, 0, 2, 0, 120);
    w->SetSectionEnd();
    w->miSavePointsClick();
    w->ClearSelection();
    Time(nav, 0, 10, 0, 600);
    w->SetSectionStart(600);
    Time(nav, 0, 11, 0, 660);
    w->SetSectionEnd();
    w->miSavePointsClick();
    w->miChainSectionsClick();
    nav->calls.clear();
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, At(0, 2, 1));
    ASSERT_TRUE(testutil::WaitUntil([&] { return nav->calls.filter("PlayAtTime").size() == 1; }));
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, At(0, 11, 1));
    ASSERT_TRUE(testutil::WaitUntil([&] { return nav->calls.filter("PlayAtTime").size() == 2; }));
    EXPECT_EQ(nav->calls.filter("PlayAtTime"), QStringList({"PlayAtTime(0,10,0,1,7)", "PlayAtTime(0,1,0,1,7)"}));
    // A title change ends the section.
    Raise(nav, EC_DVD_TITLE_CHANGE, 2);
    EXPECT_FALSE(w->RepeatOn());
}

TEST_F(DvdStart, EndActionOnlyInTheLastTwoSecondsOfATitleLongerThanAMinute)
{
    for (int length : {60, 61}) {
        FakeNavigator* nav = Start();
        ui()->TBPowerState->setChecked(true);
        nav->titleLength = {0, BYTE(length / 60), BYTE(length % 60), 0};
        Raise(nav, EC_DVD_TITLE_CHANGE, 1);
        Time(nav, 0, 0, length - 2, length - 2);
        // The end action is checked on each tick of the DVD timer: one tick
        // after the time was shown (the action ends the wait at once).
        WaitForDvdTimer();
        EXPECT_FALSE(w->DvdState().EndActionStarted) << length;
        Time(nav, 0, (length - 1) / 60, (length - 1) % 60, length - 1);
        if (length == 61) {
            EXPECT_TRUE(testutil::WaitUntil([&] { return w->DvdState().EndActionStarted; }));
        } else {
            WaitForDvdTimer();
        }
        EXPECT_EQ(w->DvdState().EndActionStarted, length == 61);
    }
}

TEST_F(DvdStart, WindowFollowsThePictureWithinTheWorkArea)
{
    FakeNavigator* nav = Start();
    const QRect area = w->screen()->availableGeometry();
    for (auto [x, y, lines, width] : {std::tuple{4u, 3u, 480u, 640}, std::tuple{16u, 9u, 480u, 853},
                                      std::tuple{4u, 3u, 576u, 768}, std::tuple{16u, 9u, 576u, 1024}}) {
        nav->video = {x, y, 720, lines, false};
        Raise(nav, EC_DVD_TITLE_CHANGE, 1);
        EXPECT_EQ(w->Item().VideoWidth, width);
        EXPECT_EQ(w->DvdState().Aspect43, x == 4);
        if (width + 40 < area.width() && int(lines) + 160 < area.height()) {
            EXPECT_EQ(ui()->ViewPanel->size(), QSize(width, int(lines)));
        }
    }
    // Unreadable attributes or a shapeless picture keep the last size.
    nav->results["GetCurrentVideoAttributes"] = VFW_E_DVD_NO_ATTRIBUTES;
    Raise(nav, EC_DVD_TITLE_CHANGE, 2);
    nav->results.remove("GetCurrentVideoAttributes");
    nav->video = {16, 0, 720, 480, false};
    Raise(nav, EC_DVD_TITLE_CHANGE, 2);
    EXPECT_EQ(w->Item().VideoWidth, 1024);
    // Larger than the work area: limited, its shape kept, inside the area.
    nav->video = {16, 9, 720, 4320, false};
    Raise(nav, EC_DVD_TITLE_CHANGE, 1);
    const QSize panel = ui()->ViewPanel->size();
    EXPECT_TRUE(area.contains(w->frameGeometry())) << w->frameGeometry() << " in " << area;
    EXPECT_NEAR(double(panel.width()) / panel.height(), 16.0 / 9.0, 0.02);
}

TEST_F(DvdStart, TheSmallWindowOfAStartComesBackToItsWorkArea)
{
    Open();
    const QRect area = w->screen()->availableGeometry();
    w->move(area.left() - 500, area.top() - 400);
    Spin();
    Start();
    const int caption = w->geometry().top() - w->frameGeometry().top();
    EXPECT_EQ(w->frameGeometry().left(), area.left());
    EXPECT_EQ(w->frameGeometry().top(), area.top() - caption);
}

TEST_F(DvdStart, TransportButtonsDriveTheNavigator)
{
    FakeNavigator* nav = Start();
    nav->titleLength = {0, 10, 0, 0};
    Raise(nav, EC_DVD_TITLE_CHANGE, 1);
    Raise(nav, EC_DVD_CHAPTER_START, 1);
    nav->calls.clear();
    w->BtnStartClick();
    EXPECT_EQ(w->PlayState(), psPaused);
    w->BtnStartClick();
    w->BtnStopClick();
    EXPECT_EQ(w->PlayState(), psStopped);
    w->BtnStartClick();
    EXPECT_EQ(w->PlayState(), psPlaying);
    // The first chapter has no previous one.
    w->TBtnPreviousTrackClick();
    w->TBtnNextTrackClick();
    EXPECT_EQ(nav->calls,
              QStringList({"Pause()", "PlayForwards(1,7)", "Run()", "Stop()", "Run()", "PlayNextChapter(7)"}));
    // Skips from the current time; none past the end of the title.
    Time(nav, 0, 1, 0, 60);
    nav->calls.clear();
    w->SkipStep(true);
    w->SkipStep(false);
    const int skip = Tag(ui()->BtnSkip);
    const auto at = [](int s) { return QString("PlayAtTime(0,%1,%2,1,7)").arg(s / 60).arg(s % 60); };
    EXPECT_EQ(nav->calls, QStringList({at(60 + skip), at(std::max(60 - skip, 0))}));
    // A click in the middle of the bar seeks there (within a second of 5:00).
    nav->calls.clear();
    w->TrackBarForSeekEnter(SliderPart(Bar(), QStyle::SC_SliderGroove).center().x());
    ASSERT_TRUE(testutil::WaitUntil([&] { return nav->calls.filter("PlayAtTime(0,").size() == 1; }));
    EXPECT_TRUE(nav->calls.filter(QRegularExpression("PlayAtTime\\(0,(4,59|5,0|5,1),1,7\\)")).size() == 1) << nav->calls;
    // A second stop closes the disc.
    w->BtnStopClick();
    w->BtnStopClick();
    EXPECT_EQ(w->DvdControl(), nullptr);
}

TEST(PasswordWindow, EnterConfirmsEscapeCancelsAndEmptyIsAnAnswer)
{
    TDlgPassword dialog(nullptr);
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("ペアレンタルロック"));
    EXPECT_EQ(dialog.size(), QSize(249, 95));
    EXPECT_EQ(dialog.Edit1()->echoMode(), QLineEdit::Password);
    for (auto [key, typed, result] : {std::tuple{int(Qt::Key_Return), "", int(QDialog::Accepted)},
                                      std::tuple{int(Qt::Key_Return), "秘密", int(QDialog::Accepted)},
                                      std::tuple{int(Qt::Key_Escape), "abc", int(QDialog::Rejected)}}) {
        PasswordAnswerer answerer(QString::fromUtf8(typed), key);
        EXPECT_EQ(dialog.exec(), result) << typed;
        EXPECT_EQ(dialog.Password(), QString::fromUtf8(typed));
    }
}

TEST_F(DvdStart, FixtureDiscsReachTheWindowThroughTheRealLayer)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("DVDRenderer", 2);
    Open();
    // A menu takes the arrow keys; its second button plays the 16:9 title 2.
    w->SetViewerPath(Fixture("dvd_menu") + "/VIDEO_TS");
    w->StartDvd();
    ASSERT_NE(w->DvdControl(), nullptr) << messageBoxes;
    ASSERT_TRUE(testutil::WaitUntil([&] { return w->DvdState().InMenu; }, 10000));
    EXPECT_EQ(ItemShortCut(ui()->miDVDMenuR), 0x27);
    const int narrow = ui()->ViewPanel->width();
    ASSERT_EQ(w->DvdControl()->ActivateAtPosition(100, 140), S_OK);
    ASSERT_TRUE(testutil::WaitUntil([&] { return Tag(ui()->NDVDTitle) == 2 && !w->DvdState().InMenu; }, 10000));
    EXPECT_EQ(w->Item().VideoWidth, 853);
    EXPECT_GT(ui()->ViewPanel->width(), narrow);
    EXPECT_NE(ItemShortCut(ui()->miDVDMenuR), 0x27);

    // The titles-only disc: length and time on the bar, chapters, its end closes it without a message.
    w->SetViewerPath(Fixture("dvd_titles") + "/VIDEO_TS");
    w->StartDvd();
    ASSERT_NE(w->DvdControl(), nullptr) << messageBoxes;
    ASSERT_TRUE(testutil::WaitUntil([&] { return Tag(ui()->NDVDTitle) == 1 && Bar()->maximum() == 10; }, 10000));
    EXPECT_EQ(ui()->taTime->text(), "0:00:10");
    ASSERT_TRUE(testutil::WaitUntil([&] { return Bar()->value() >= 2; }, 10000));
    ASSERT_TRUE(testutil::WaitUntil([&] { return w->ListIndex() == 1; }, 15000));
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->DvdControl(); }, 30000));
    EXPECT_TRUE(messageBoxes.isEmpty()) << messageBoxes;
    EXPECT_EQ(Caption(), "Zoravel");
}

TEST_F(DvdStart, AWideTitleInTheDefaultSizeIsBoxedUnlessTheRendererStretches)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("DVDRenderer", 2);
    SetMainDword("DVDAutoResize", 0);
    for (bool stretch : {false, true}) {
        SetMainDword("DVDStretchVideo", stretch);
        Open();
        w->SetViewerPath(Fixture("dvd_menu") + "/VIDEO_TS");
        w->StartDvd();
        ASSERT_NE(w->DvdControl(), nullptr) << messageBoxes;
        ASSERT_TRUE(testutil::WaitUntil([&] { return w->DvdState().InMenu; }, 10000));
        const QSize panel = ui()->ViewPanel->size();
        ASSERT_EQ(panel, QSize(640, 480)) << "the default size";
        // The menu's second button plays the 16:9 title 2.
        ASSERT_EQ(w->DvdControl()->ActivateAtPosition(100, 140), S_OK);
        ASSERT_TRUE(testutil::WaitUntil([&] { return Tag(ui()->NDVDTitle) == 2 && !w->DvdState().InMenu; }, 10000));
        EXPECT_EQ(ui()->ViewPanel->size(), panel);
        EXPECT_EQ(w->VideoRect(), stretch ? QRect(QPoint(0, 0), panel) : QRect(0, 60, 640, 360)) << stretch;
    }
}

}  // namespace

TEST_F(DvdStart, NextAndPreviousKeysStepOneChapterPerPress)
{
    FakeNavigator* nav = Start();
    nav->titleLength = {0, 10, 0, 0};
    nav->chapters = 3;
    Raise(nav, EC_DVD_TITLE_CHANGE, 1);
    Raise(nav, EC_DVD_CHAPTER_START, 2);
    nav->calls.clear();
    w->KeyLatch = 0;
    // A held key repeats the command: only its first press steps.
    w->miPlayNextClick();
    w->miPlayNextClick();
    EXPECT_EQ(nav->calls, QStringList({"PlayNextChapter(7)"}));
    w->FormKeyUp(0);
    EXPECT_EQ(w->KeyLatch, 0);
    w->miPlayPreviousClick();
    w->miPlayPreviousClick();
    EXPECT_EQ(nav->calls, QStringList({"PlayNextChapter(7)", "PlayPrevChapter(7)"}));
    // The first chapter has no previous one.
    Raise(nav, EC_DVD_CHAPTER_START, 1);
    nav->calls.clear();
    w->FormKeyUp(0);
    w->miPlayPreviousClick();
    EXPECT_TRUE(nav->calls.isEmpty()) << nav->calls;
}

TEST_F(DvdStart, PowerButtonComesUpWhenThePointerLeavesIt)
{
    Start();
    QToolButton* power = ui()->TBPowerState;
    power->show();
    power->resize(30, 20);
    const auto move = [&](QPoint at) {
        QMouseEvent e(QEvent::MouseMove, at, power->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(power, &e);
    };
    power->setDown(true);
    move({8, 7});
    EXPECT_TRUE(power->isDown());
    // Beside the 16 x 15 area, though still on the widget.
    move({20, 7});
    EXPECT_FALSE(power->isDown());
    power->setDown(true);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(power, &leave);
    EXPECT_FALSE(power->isDown());
}

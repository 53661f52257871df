// The window playing a DVD through the scripted navigator: every event the
// window takes, the domain change with the arrow keys, the valid operations,
// the rate label, the parental level with its password window, the time on
// the seek bar with sections and the deferred seek, the end action and the
// window's size from the picture; then one fixture disc through the real layer.
#include "fake_builder.h"
#include "player/DlgPassword.h"
#include "player/units/Imagelist.h"
#include "player/units/Shortcuts.h"
#include "scramble.h"
#include "window_test_util.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
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

void SetMainBinary(const char* name, const QByteArray& data)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kMainKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueEx(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(data.constData()), DWORD(data.size()));
    RegCloseKey(key);
}

// Answers the next password window with `text` and `key` (Return or Escape)
// once it shows; counts the windows it answered.
class PasswordAnswerer {
public:
    PasswordAnswerer(const QString& text, int key) : text_(text), key_(key)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<TDlgPassword*>(top);
                if (!dialog || !dialog->isVisible() || answered_.contains(dialog)) continue;
                answered_ << dialog;
                dialog->Edit1()->setText(text_);
                QKeyEvent press(QEvent::KeyPress, key_, Qt::NoModifier);
                QApplication::sendEvent(dialog->Edit1(), &press);
            }
        });
        timer_.start(10);
    }
    int Count() const { return int(answered_.size()); }

private:
    QString text_;
    int key_;
    QTimer timer_;
    QList<QWidget*> answered_;
};

class DvdStart : public WindowTest {
protected:
    // A disc started through the fake builder; its navigator.
    FakeNavigator* Start(std::unique_ptr<FakeDvdBuilder> fake = nullptr)
    {
        if (!w) Open();
        if (!fake) fake = std::make_unique<FakeDvdBuilder>();
        FakeDvdBuilder* raw = fake.get();
        w->SetDvdPipelineBuilder(std::move(fake));
        w->StartDvd();
        EXPECT_NE(raw->navigator, nullptr);
        return raw->navigator;
    }
    // Raises the events and waits until the window has taken them all.
    void Raise(FakeNavigator* nav, long code, LPARAM p1 = 0, LPARAM p2 = 0)
    {
        nav->Raise(code, p1, p2);
        Drain(nav);
    }
    void Drain(FakeNavigator* nav)
    {
        // The marker is a call the window makes for no other event.
        nav->Raise(EC_DVD_NO_FP_PGC);
        const int before = int(nav->calls.count("PlayTitle(1,7)"));
        EXPECT_TRUE(testutil::WaitUntil([&] {
            return !w->DvdControl() || nav->calls.count("PlayTitle(1,7)") > before;
        }));
        Spin(0);
    }
    // Shows the DVD menu items as the menu builder does once the disc runs:
    // a hidden item cannot be enabled.
    void ShowDvdItems()
    {
        for (QMenu* menu : ui()->DVDPopupMenu->findChildren<QMenu*>()) menu->menuAction()->setVisible(true);
        for (QAction* item : ui()->DVDPopupMenu->actions()) item->setVisible(true);
        for (QAction* item : ui()->NExtraMenu->actions()) item->setVisible(true);
    }
    QSlider* Bar() const { return ui()->TrackBarForSeek; }
    bool Enabled(QObject* control) const
    {
        if (auto* menu = qobject_cast<QMenu*>(control)) return menu->menuAction()->isEnabled();
        if (auto* item = qobject_cast<QAction*>(control)) return item->isEnabled();
        return qobject_cast<QWidget*>(control)->isEnabled();
    }
};

TEST_F(DvdStart, EventsOfTheTableChangeWhatTheyName)
{
    FakeNavigator* nav = Start();
    ASSERT_NE(nav, nullptr);
    ShowDvdItems();
    EXPECT_EQ(Caption(), "Zoravel DVD");
    EXPECT_EQ(w->PlayState(), psPlaying);
    EXPECT_EQ(ui()->TBtnNextTrack->toolTip(), QString::fromUtf8("次のチャプター"));

    // A title: its number, its length on the time label and the seek bar.
    nav->titleLength = {1, 2, 3, 0};
    Raise(nav, EC_DVD_TITLE_CHANGE, 2);
    EXPECT_EQ(Tag(ui()->NDVDTitle), 2);
    EXPECT_EQ(ui()->taTime->text(), "1:02:03");
    EXPECT_EQ(Bar()->maximum(), 3723);

    // Streams, angles and chapters.
    Raise(nav, EC_DVD_CHAPTER_START, 3);
    EXPECT_EQ(w->ListIndex(), 2);
    SetTag(ui()->MIKaraoke, 5);
    Raise(nav, EC_DVD_AUDIO_STREAM_CHANGE, 1);
    EXPECT_EQ(Tag(ui()->NDVDAudio), 1);
    EXPECT_EQ(Tag(ui()->MIKaraoke), 0);
    Raise(nav, EC_DVD_AUDIO_STREAM_CHANGE, -1);
    EXPECT_EQ(Tag(ui()->NDVDAudio), 1) << "no stream keeps the last";
    ui()->NDisplaySP->setChecked(true);   // the user hides subtitles
    Raise(nav, EC_DVD_SUBPICTURE_STREAM_CHANGE, 1, 1);
    EXPECT_TRUE(nav->calls.contains("SetSubpictureState(0,7)"));
    EXPECT_EQ(Tag(ui()->NDVDSubPic), 1);
    nav->calls.clear();
    Raise(nav, EC_DVD_SUBPICTURE_STREAM_CHANGE, -1, 0);
    EXPECT_FALSE(nav->Called("SetSubpictureState")) << "already hidden";
    Raise(nav, EC_DVD_ANGLE_CHANGE, 3, 2);
    EXPECT_EQ(Tag(ui()->MIAngle), 2);
    Raise(nav, EC_DVD_ANGLES_AVAILABLE, 0);
    EXPECT_FALSE(Enabled(ui()->MIAngle));
    Raise(nav, EC_DVD_ANGLES_AVAILABLE, 1);
    EXPECT_TRUE(Enabled(ui()->MIAngle));

    // Stills: only one with buttons (param 1) counts.
    Raise(nav, EC_DVD_STILL_ON, 0, -1);
    EXPECT_FALSE(w->DvdState().StillOn);
    EXPECT_TRUE(Bar()->isEnabled());
    EXPECT_EQ(ButtonImageIndex(ui()->BtnStart), StartImage::Pause);
    Raise(nav, EC_DVD_STILL_ON, 1, -1);
    EXPECT_TRUE(w->DvdState().StillOn);
    EXPECT_FALSE(Bar()->isEnabled());
    EXPECT_EQ(ButtonImageIndex(ui()->BtnStart), StartImage::Play);
    EXPECT_EQ(ui()->BtnStart->toolTip(), QString::fromUtf8("再生"));
    Raise(nav, EC_DVD_STILL_OFF);
    EXPECT_FALSE(w->DvdState().StillOn);
    EXPECT_TRUE(Bar()->isEnabled());

    // The rate: one decimal, halves away from zero, shortest form.
    Raise(nav, EC_DVD_PLAYBACK_RATE_CHANGE, 14500);
    EXPECT_EQ(ui()->STxtbai->text(), "1.5x");
    EXPECT_EQ(w->PlayState(), psScan);
    Raise(nav, EC_DVD_PLAYBACK_RATE_CHANGE, -20000);
    EXPECT_EQ(ui()->STxtbai->text(), "-2x");
    Raise(nav, EC_DVD_PLAYBACK_RATE_CHANGE, 10400);
    EXPECT_EQ(ui()->STxtbai->text(), "1x");
    EXPECT_EQ(w->PlayState(), psPlaying);

    // Commands pending keep the time from the bar.
    Raise(nav, EC_DVD_CMD_START, 1);
    EXPECT_TRUE(w->DvdState().CommandPending);
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, 1, 0, 0}.Packed());
    Spin(50);
    EXPECT_EQ(Bar()->value(), 0);
    Raise(nav, EC_DVD_CMD_END, 1, 0);
    EXPECT_FALSE(w->DvdState().CommandPending);
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, 1, 5, 12}.Packed());
    ASSERT_TRUE(testutil::WaitUntil([&] { return Bar()->value() == 65; }));
    EXPECT_EQ(ui()->tnTime->text(), "0:01:05");

    // No first-play program chain: title 1 plays. Ignored events change nothing.
    nav->calls.clear();
    Raise(nav, EC_DVD_BUTTON_CHANGE, 3, 1);
    Raise(nav, EC_DVD_CHAPTER_AUTOSTOP);
    EXPECT_EQ(nav->calls.count("PlayTitle(1,7)"), 2);
    EXPECT_TRUE(messageBoxes.isEmpty()) << messageBoxes;
}

TEST_F(DvdStart, WarningsOnceErrorsByCodeAndTheEndsOfADisc)
{
    FakeNavigator* nav = Start();
    Raise(nav, EC_DVD_WARNING, DVD_WARNING_Seek);
    Raise(nav, EC_DVD_WARNING, DVD_WARNING_Read);
    EXPECT_EQ(messageBoxes, QStringList{QString::fromUtf8("警告: ファイルのシークに失敗しました。")});
    nav = Start();
    Raise(nav, EC_DVD_WARNING, 2);
    Raise(nav, EC_DVD_WARNING, DVD_WARNING_Open);
    EXPECT_EQ(messageBoxes.size(), 1) << "an unnamed warning takes the disc's one box";

    const char* texts[] = {
        nullptr,
        "予期しないエラーが発生しました。\nコンテンツのオーサリング方法に誤りがある可能性があります。",
        "DVD コピー保護のためのキー交換に失敗しました。",
        "規格 1.x に関して DVD-Video ディスクのオーサリング方法に誤りがあります。",
        "ディスクのリージョンがシステムリージョンと一致しないため\n再生できません。",
        "プレーヤーのペアレンタルレベルがこのディスクで利用可能\nな最低ペアレンタルロックレベルより低く設定されています。",
        "この DVD-Video はマクロビジョンによって保護されています。\nシステムはマクロビジョンの要求を満たしていません。",
        "デコーダリージョンとシステムリージョンが一致していません。",
        "このディスクはインストールされているデコーダのリージョンと一致していません。",
        nullptr,
    };
    for (int code = 0; code <= 9; ++code) {
        nav = Start();
        messageBoxes.clear();
        nav->Raise(EC_DVD_ERROR, code);
        ASSERT_TRUE(testutil::WaitUntil([&] { return !w->DvdControl(); })) << code;
        const QStringList expected =
            texts[code] ? QStringList{QString::fromUtf8("DVD エラー: ") + QString::fromUtf8(texts[code])} : QStringList{};
        EXPECT_EQ(messageBoxes, expected) << code;
        EXPECT_EQ(Caption(), "Zoravel");
        EXPECT_EQ(w->PlayState(), psNothing);
    }

    // Stopped playback: the root menu when there is one, else the end.
    nav = Start();
    Raise(nav, EC_DVD_PLAYBACK_STOPPED);
    EXPECT_TRUE(nav->calls.contains("ShowMenu(3,5)"));
    ASSERT_NE(w->DvdControl(), nullptr);
    nav->results["ShowMenu"] = VFW_E_DVD_INVALIDDOMAIN;
    nav->Raise(EC_DVD_PLAYBACK_STOPPED);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->DvdControl(); }));

    // An ejected disc closes it only while it plays.
    nav = Start(std::make_unique<NoRunBuilder>());
    ASSERT_FALSE(w->DvdState().Playing);
    Raise(nav, EC_DVD_DISC_EJECTED);
    EXPECT_NE(w->DvdControl(), nullptr);
    nav = Start();
    ASSERT_TRUE(w->DvdState().Playing);
    nav->Raise(EC_DVD_DISC_EJECTED);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->DvdControl(); }));
    EXPECT_EQ(w->PlayState(), psNothing);
}

TEST_F(DvdStart, MenusTakeTheArrowKeysAndGiveThemBackOnEveryWayOut)
{
    FakeNavigator* nav = Start();
    QAction* right = ui()->miDVDMenuR;
    QAction* up = ui()->miDVDMenuU;
    SetItemShortCut(right, 0x4027);   // the user's Ctrl+Right
    const WORD upKey = ItemShortCut(up);
    Raise(nav, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_VideoManagerMenu);
    EXPECT_TRUE(w->DvdState().InMenu);
    EXPECT_EQ(ItemShortCut(right), 0x27);
    EXPECT_EQ(ItemShortCut(up), 0x26);
    EXPECT_EQ(ItemShortCut(ui()->miDVDMenuL), 0x25);
    EXPECT_EQ(ItemShortCut(ui()->miDVDMenuD), 0x28);
    // From one menu to another the kept keys stay the user's.
    Raise(nav, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_VideoTitleSetMenu);
    EXPECT_EQ(ItemShortCut(right), 0x27);
    Raise(nav, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Title);
    EXPECT_FALSE(w->DvdState().InMenu);
    EXPECT_TRUE(w->DvdState().TitlePlayed);
    EXPECT_EQ(ItemShortCut(right), 0x4027);
    EXPECT_EQ(ItemShortCut(up), upKey);

    // Back in a menu after a title: the Start button resumes it.
    nav->uops = 0;
    Raise(nav, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_VideoManagerMenu);
    EXPECT_EQ(ButtonImageIndex(ui()->BtnStart), StartImage::Resume);
    EXPECT_EQ(ui()->BtnStart->toolTip(), QString::fromUtf8("再生を続ける"));
    // An error in the menu closes the disc, and the keys come back.
    nav->Raise(EC_DVD_ERROR, 2);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->DvdControl(); }));
    EXPECT_EQ(ItemShortCut(right), 0x4027);
    EXPECT_EQ(ItemShortCut(up), upKey);
    EXPECT_FALSE(w->DvdState().InMenu);

    // A menu of a disc without a played title, with resume forbidden: no resume image.
    nav = Start();
    nav->uops = UOP_FLAG_Resume;
    Raise(nav, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_VideoTitleSetMenu);
    EXPECT_NE(ButtonImageIndex(ui()->BtnStart), StartImage::Resume);
    // Stopping a disc in a menu gives the keys back as well.
    w->CloseMedia();
    w->UpdateControlsForMedia(false);
    EXPECT_EQ(ItemShortCut(right), 0x4027);
}

TEST_F(DvdStart, ValidOperationsEnableTheControlsAndThePlayButton)
{
    FakeNavigator* nav = Start();
    ShowDvdItems();
    Raise(nav, EC_DVD_VALID_UOPS_CHANGE,
          UOP_FLAG_Play_Title_Or_AtTime | UOP_FLAG_Stop | UOP_FLAG_PlayNext_Chapter | UOP_FLAG_ShowMenu_Root |
              UOP_FLAG_Select_Audio_Stream | UOP_FLAG_Pause_On);
    EXPECT_TRUE(w->DvdState().TimePlayProhibited);
    for (QObject* off : std::initializer_list<QObject*>{Bar(), ui()->BtnSkip, ui()->BtnStop, ui()->MIStopClip,
                                                        ui()->TBtnNextTrack, ui()->MINext, ui()->NRootMenu,
                                                        ui()->NDVDAudio, ui()->MIPause})
        EXPECT_FALSE(Enabled(off)) << off->objectName();
    for (QObject* on : std::initializer_list<QObject*>{ui()->TBtnPreviousTrack, ui()->TBtnFastforward,
                                                       ui()->NTitleMenu, ui()->NDVDSubPic, ui()->MiResume,
                                                       ui()->NExtraMenu, ui()->BtnStart})
        EXPECT_TRUE(Enabled(on)) << on->objectName();
    // A still does not give the bar back while time play is forbidden.
    Raise(nav, EC_DVD_STILL_OFF);
    EXPECT_FALSE(Bar()->isEnabled());

    // All four extra menus forbidden: the extra menu goes too.
    Raise(nav, EC_DVD_VALID_UOPS_CHANGE,
          UOP_FLAG_ShowMenu_SubPic | UOP_FLAG_ShowMenu_Audio | UOP_FLAG_ShowMenu_Angle | UOP_FLAG_ShowMenu_Chapter);
    EXPECT_FALSE(Enabled(ui()->NExtraMenu));
    EXPECT_TRUE(Bar()->isEnabled());

    // Neither play nor pause: Start is off before a title played ...
    const DWORD stuck = UOP_FLAG_Play_Forwards | UOP_FLAG_Pause_On;
    Raise(nav, EC_DVD_VALID_UOPS_CHANGE, stuck);
    EXPECT_FALSE(ui()->BtnStart->isEnabled());
    // ... on after one, showing resume, unless resume is forbidden too.
    Raise(nav, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Title);
    Raise(nav, EC_DVD_VALID_UOPS_CHANGE, stuck);
    EXPECT_TRUE(ui()->BtnStart->isEnabled());
    EXPECT_EQ(ButtonImageIndex(ui()->BtnStart), StartImage::Resume);
    Raise(nav, EC_DVD_VALID_UOPS_CHANGE, stuck | UOP_FLAG_Resume);
    EXPECT_FALSE(ui()->BtnStart->isEnabled());
    Raise(nav, EC_DVD_VALID_UOPS_CHANGE, UOP_FLAG_Play_Forwards);
    EXPECT_TRUE(ui()->BtnStart->isEnabled());
}

TEST_F(DvdStart, ParentalLevelAsksThePasswordOnce)
{
    SetMainDword("UseParentalCtrl", 1);
    SetMainDword("UsePasswordToUnlock", 1);
    SetMainBinary("ParentalLockPassword", QByteArray::fromStdString(ScrambledPassword("abc")));
    struct Case {
        const char* typed;
        int key;
        const char* answer;
    } cases[] = {
        {"abc", Qt::Key_Return, "AcceptParentalLevelChange(1)"},
        {"abd", Qt::Key_Return, "AcceptParentalLevelChange(0)"},
        {"ABC", Qt::Key_Return, "AcceptParentalLevelChange(0)"},
        {"abc", Qt::Key_Escape, "AcceptParentalLevelChange(0)"},
    };
    for (const Case& c : cases) {
        FakeNavigator* nav = Start();
        PasswordAnswerer answerer(QString::fromUtf8(c.typed), c.key);
        nav->Raise(EC_DVD_PARENTAL_LEVEL_CHANGE);
        // Events that come while the window is open wait for it, in order.
        nav->Raise(EC_DVD_CHAPTER_START, 2);
        ASSERT_TRUE(testutil::WaitUntil([&] { return nav->Called("AcceptParentalLevelChange"); })) << c.typed;
        EXPECT_EQ(answerer.Count(), 1) << "one try";
        EXPECT_EQ(nav->calls.filter("AcceptParentalLevelChange"), QStringList{c.answer}) << c.typed;
        ASSERT_TRUE(testutil::WaitUntil([&] { return w->ListIndex() == 1; }));
    }

    // Without a password nothing is asked and the change is refused.
    SetMainDword("UsePasswordToUnlock", 0);
    FakeNavigator* nav = Start();
    PasswordAnswerer none(QString(), Qt::Key_Return);
    Raise(nav, EC_DVD_PARENTAL_LEVEL_CHANGE);
    EXPECT_EQ(nav->calls.filter("AcceptParentalLevelChange"), QStringList{"AcceptParentalLevelChange(0)"});
    EXPECT_EQ(none.Count(), 0);
}

TEST_F(DvdStart, TimeMovesTheBarSectionsRepeatOrChainAndTheDragSeeksOnRelease)
{
    FakeNavigator* nav = Start();
    nav->titleLength = {0, 20, 0, 0};
    Raise(nav, EC_DVD_TITLE_CHANGE, 1);
    ASSERT_EQ(Bar()->maximum(), 1200);

    // A drag: the time follows the bar, the seek waits for the release.
    Bar()->setSliderDown(true);
    Bar()->setValue(600);
    EXPECT_TRUE(w->DvdState().SeekPending);
    EXPECT_EQ(ui()->tnTime->text(), "0:10:00");
    EXPECT_TRUE(w->IsTimerSet(kDvdSeekTimer));
    // A time event meanwhile leaves the bar where the user put it.
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, 0, 30, 0}.Packed());
    Spin(150);
    EXPECT_EQ(Bar()->value(), 600);
    EXPECT_FALSE(nav->Called("PlayAtTime"));
    Bar()->setSliderDown(false);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->DvdState().SeekPending; }));
    EXPECT_TRUE(nav->calls.contains("PlayAtTime(0,10,0,1,7)"));
    EXPECT_FALSE(w->IsTimerSet(kDvdSeekTimer));

    // The deferred seek waits for a still or a command to end.
    nav->calls.clear();
    Raise(nav, EC_DVD_CMD_START, 1);
    Bar()->setSliderDown(true);
    Bar()->setValue(900);
    Bar()->setSliderDown(false);
    Spin(250);
    EXPECT_FALSE(nav->Called("PlayAtTime"));
    Raise(nav, EC_DVD_CMD_END, 1);
    ASSERT_TRUE(testutil::WaitUntil([&] { return nav->Called("PlayAtTime(0,15,0,1,7)"); }));

    // A section from 0:05:00 to 0:10:00 restarts past its end and well before its start.
    nav->calls.clear();
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, 5, 0, 0}.Packed());
    ASSERT_TRUE(testutil::WaitUntil([&] { return Bar()->value() == 300; }));
    w->SetSectionStart(300);
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, 10, 0, 0}.Packed());
    ASSERT_TRUE(testutil::WaitUntil([&] { return Bar()->value() == 600; }));
    w->SetSectionEnd();
    ASSERT_TRUE(w->RepeatOn());
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, 10, 0, 5}.Packed());
    Spin(50);
    EXPECT_FALSE(w->DvdState().SeekPending) << "0:10:00 itself is inside";
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, 10, 1, 0}.Packed());
    ASSERT_TRUE(testutil::WaitUntil([&] { return nav->Called("PlayAtTime(0,5,0,1,7)"); }));
    nav->calls.clear();
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, 4, 55, 0}.Packed());
    Spin(150);
    EXPECT_FALSE(nav->Called("PlayAtTime")) << "5 seconds before the start is inside";
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, 4, 54, 0}.Packed());
    ASSERT_TRUE(testutil::WaitUntil([&] { return nav->Called("PlayAtTime(0,5,0,1,7)"); }));

    // A title change ends the section.
    Raise(nav, EC_DVD_TITLE_CHANGE, 2);
    EXPECT_FALSE(w->RepeatOn());
}

TEST_F(DvdStart, ChainedSectionsPlayInTurn)
{
    SetMainDword("UseBookmark", 1);
    FakeNavigator* nav = Start();
    nav->titleLength = {0, 30, 0, 0};
    Raise(nav, EC_DVD_TITLE_CHANGE, 1);
    // Two stored sections, 1:00-2:00 and 10:00-11:00.
    for (auto [a, b] : {std::pair{60, 120}, std::pair{600, 660}}) {
        w->ClearSelection();
        Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, BYTE(a / 60), 0, 0}.Packed());
        ASSERT_TRUE(testutil::WaitUntil([&] { return Bar()->value() == a; }));
        w->SetSectionStart(a);
        Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, BYTE(b / 60), 0, 0}.Packed());
        ASSERT_TRUE(testutil::WaitUntil([&] { return Bar()->value() == b; }));
        w->SetSectionEnd();
        w->miSavePointsClick();
    }
    w->miChainSectionsClick();
    ASSERT_TRUE(ui()->miChainSections->isChecked());
    nav->calls.clear();
    // The second section is active: well before it, the chain plays on from
    // it to the next, which is the second one; past its end the first follows.
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, 2, 1, 0}.Packed());
    ASSERT_TRUE(testutil::WaitUntil([&] { return nav->calls.filter("PlayAtTime").size() == 1; }));
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, 11, 1, 0}.Packed());
    ASSERT_TRUE(testutil::WaitUntil([&] { return nav->calls.filter("PlayAtTime").size() == 2; }));
    EXPECT_EQ(nav->calls.filter("PlayAtTime"), QStringList({"PlayAtTime(0,10,0,1,7)", "PlayAtTime(0,1,0,1,7)"}));
    EXPECT_EQ(w->SectionState().SelStart, 60);
}

TEST_F(DvdStart, EndActionStartsOnlyInTheLastTwoSecondsOfALongTitle)
{
    for (int length : {60, 61}) {
        FakeNavigator* nav = Start();
        ui()->TBPowerState->setChecked(true);
        nav->titleLength = {0, BYTE(length / 60), BYTE(length % 60), 0};
        Raise(nav, EC_DVD_TITLE_CHANGE, 1);
        Raise(nav, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Title);
        Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, 0, BYTE(length - 2), 0}.Packed());
        Spin(600);
        EXPECT_FALSE(w->DvdState().EndActionStarted) << length << ": not yet";
        Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, BYTE((length - 1) / 60), BYTE((length - 1) % 60), 0}.Packed());
        if (length == 60) {
            Spin(600);
            EXPECT_FALSE(w->DvdState().EndActionStarted) << "a title of a minute never";
        } else {
            EXPECT_TRUE(testutil::WaitUntil([&] { return w->DvdState().EndActionStarted; }));
        }
    }
}

TEST_F(DvdStart, WindowFollowsThePictureWithinTheWorkArea)
{
    struct Case {
        ULONG x, y, height;
        long width;
    } cases[] = {{4, 3, 480, 640}, {16, 9, 480, 853}, {4, 3, 576, 768}, {16, 9, 576, 1024}};
    FakeNavigator* nav = Start();
    const QRect area = w->screen()->availableGeometry();
    for (const Case& c : cases) {
        nav->video = {c.x, c.y, 720, c.height, false};
        Raise(nav, EC_DVD_TITLE_CHANGE, 1);
        EXPECT_EQ(w->Item().VideoWidth, c.width);
        EXPECT_EQ(w->Item().VideoHeight, long(c.height));
        EXPECT_EQ(Tag(ui()->miAspectX), int(c.x));
        EXPECT_EQ(w->DvdState().Aspect43, c.x == 4);
        const QSize panel = ui()->ViewPanel->size();
        if (c.width + 40 < area.width() && long(c.height) + 160 < area.height()) {
            EXPECT_EQ(panel, QSize(int(c.width), int(c.height))) << c.width;
        }
    }
    // Unreadable attributes or a shapeless picture keep the last size.
    nav->results["GetCurrentVideoAttributes"] = VFW_E_DVD_NO_ATTRIBUTES;
    Raise(nav, EC_DVD_TITLE_CHANGE, 2);
    EXPECT_EQ(w->Item().VideoWidth, 1024);
    nav->results.remove("GetCurrentVideoAttributes");
    nav->video = {16, 0, 720, 480, false};
    Raise(nav, EC_DVD_TITLE_CHANGE, 2);
    EXPECT_EQ(w->Item().VideoWidth, 1024);

    // A picture larger than the work area: limited, its shape kept, inside the area.
    nav->video = {16, 9, 720, 4320, false};
    Raise(nav, EC_DVD_TITLE_CHANGE, 1);
    const QSize panel = ui()->ViewPanel->size();
    EXPECT_LE(w->frameGeometry().width(), area.width());
    EXPECT_LE(w->frameGeometry().height(), area.height());
    EXPECT_TRUE(area.contains(w->frameGeometry())) << w->frameGeometry() << " in " << area;
    EXPECT_NEAR(double(panel.width()) / panel.height(), 16.0 / 9.0, 0.02) << panel.width() << "x" << panel.height();
}

TEST(PasswordWindow, EnterConfirmsEscapeCancelsAndEmptyIsAnAnswer)
{
    TDlgPassword dialog(nullptr);
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("ペアレンタルロック"));
    EXPECT_EQ(dialog.size(), QSize(249, 95));
    EXPECT_EQ(dialog.Edit1()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog.Edit1()->geometry(), QRect(12, 34, 226, 21));
    for (auto [key, typed, result] : {std::tuple{int(Qt::Key_Return), "", int(QDialog::Accepted)},
                                      std::tuple{int(Qt::Key_Return), "秘密", int(QDialog::Accepted)},
                                      std::tuple{int(Qt::Key_Escape), "abc", int(QDialog::Rejected)}}) {
        PasswordAnswerer answerer(QString::fromUtf8(typed), key);
        EXPECT_EQ(dialog.exec(), result) << typed;
        EXPECT_EQ(dialog.Password(), QString::fromUtf8(typed));
    }
}

TEST_F(DvdStart, FixtureDiscPlaysItsTitlesOnTheSeekBarAndEndsWithoutAMessage)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("DVDRenderer", 2);
    Open();
    CaptionLog captions(w.get());
    w->SetViewerPath(Fixture("dvd_titles") + "/VIDEO_TS");
    w->StartDvd();
    ASSERT_NE(w->DvdControl(), nullptr) << messageBoxes;
    EXPECT_TRUE(captions.Saw("Zoravel DVD"));
    // Title 1 (10 s): its length on the bar, the time running.
    ASSERT_TRUE(testutil::WaitUntil([&] { return Tag(ui()->NDVDTitle) == 1 && Bar()->maximum() == 10; }, 10000));
    EXPECT_EQ(ui()->taTime->text(), "0:00:10");
    ASSERT_TRUE(testutil::WaitUntil([&] { return Bar()->value() >= 2; }, 10000));
    EXPECT_NE(ui()->tnTime->text(), "0:00:00");
    EXPECT_TRUE(w->DvdState().TitlePlayed);
    // The second chapter at 5 s, then title 2 and the disc's end.
    ASSERT_TRUE(testutil::WaitUntil([&] { return w->ListIndex() == 1; }, 15000));
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->DvdControl(); }, 30000));
    EXPECT_TRUE(messageBoxes.isEmpty()) << messageBoxes;
    EXPECT_EQ(Caption(), "Zoravel");
}

}  // namespace

namespace {

TEST_F(DvdStart, TransportButtonsDriveTheNavigator)
{
    SetMainDword("UseColorCtrl", 1);
    FakeNavigator* nav = Start();
    nav->titleLength = {0, 10, 0, 0};
    Raise(nav, EC_DVD_TITLE_CHANGE, 1);
    Raise(nav, EC_DVD_CHAPTER_START, 1);
    nav->calls.clear();

    // Pause, play on, stop, play from the stop.
    w->BtnStartClick();
    EXPECT_EQ(w->PlayState(), psPaused);
    w->BtnStartClick();
    EXPECT_EQ(w->PlayState(), psPlaying);
    w->BtnStopClick();
    EXPECT_EQ(w->PlayState(), psStopped);
    EXPECT_EQ(nav->calls, QStringList({"Pause()", "PlayForwards(1,7)", "Run()", "Stop()"}));
    w->BtnStartClick();
    EXPECT_EQ(w->PlayState(), psPlaying);
    EXPECT_TRUE(w->IsTimerSet(kColorControlsTimer) || !ui()->MIDVDColor->isVisible());

    // Chapters: the first has no previous one.
    nav->calls.clear();
    w->TBtnPreviousTrackClick();
    w->TBtnNextTrackClick();
    EXPECT_EQ(nav->calls, QStringList{"PlayNextChapter(7)"});
    // A skip from the current time; none past the end of the title.
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, 1, 0, 0}.Packed());
    ASSERT_TRUE(testutil::WaitUntil([&] { return Bar()->value() == 60; }));
    nav->calls.clear();
    w->SkipStep(true);
    w->SkipStep(false);
    const int skip = Tag(ui()->BtnSkip);
    const auto at = [](int s) { return QString("PlayAtTime(0,%1,%2,1,7)").arg(s / 60).arg(s % 60); };
    EXPECT_EQ(nav->calls, QStringList({at(60 + skip), at(std::max(60 - skip, 0))}));
    Raise(nav, EC_DVD_CURRENT_HMSF_TIME, HmsfTime{0, 9, 59, 0}.Packed());
    ASSERT_TRUE(testutil::WaitUntil([&] { return Bar()->value() == 599; }));
    nav->calls.clear();
    w->SkipStep(true);
    EXPECT_TRUE(nav->calls.isEmpty()) << nav->calls;

    // A click on the bar seeks there; a second stop closes the disc.
    w->TrackBarForSeekEnter(SliderPart(Bar(), QStyle::SC_SliderGroove).center().x());
    // (the middle of the groove, within a second of 0:05:00)
    ASSERT_TRUE(testutil::WaitUntil([&] {
        return nav->Called("PlayAtTime(0,4,59,") || nav->Called("PlayAtTime(0,5,0,") || nav->Called("PlayAtTime(0,5,1,");
    })) << nav->calls;
    w->BtnStopClick();
    w->BtnStopClick();
    EXPECT_EQ(w->DvdControl(), nullptr);
    EXPECT_EQ(Caption(), "Zoravel");
}

}  // namespace

namespace {

TEST_F(DvdStart, FixtureMenuTakesTheArrowKeysAndAWideTitleWidensTheWindow)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("DVDRenderer", 2);
    Open();
    w->SetViewerPath(Fixture("dvd_menu") + "/VIDEO_TS");
    w->StartDvd();
    ASSERT_NE(w->DvdControl(), nullptr) << messageBoxes;
    ASSERT_TRUE(testutil::WaitUntil([&] { return w->DvdState().InMenu; }, 10000));
    EXPECT_EQ(ItemShortCut(ui()->miDVDMenuR), 0x27);
    EXPECT_EQ(w->Item().VideoWidth, 640);
    const int narrow = ui()->ViewPanel->width();
    // The menu's second button plays title 2, which is 16:9.
    ASSERT_EQ(w->DvdControl()->ActivateAtPosition(100, 140), S_OK);
    ASSERT_TRUE(testutil::WaitUntil([&] { return Tag(ui()->NDVDTitle) == 2 && !w->DvdState().InMenu; }, 10000));
    EXPECT_FALSE(w->DvdState().Aspect43);
    EXPECT_EQ(w->Item().VideoWidth, 853);
    EXPECT_GT(ui()->ViewPanel->width(), narrow);
    EXPECT_NE(ItemShortCut(ui()->miDVDMenuR), 0x27) << "given back in the title";
    EXPECT_TRUE(messageBoxes.isEmpty()) << messageBoxes;
}

}  // namespace

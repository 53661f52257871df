// The main window's keys and mouse gestures on real media: shortcut items
// matched before the controls, held keys with the keyboard's repeat, the
// user's keys from ShortcutKey, the gesture bindings and their DVD set, the
// window's own keys and the audio-stream menu.
#include "platform/keys/keys.h"
#include "player/units/Languages.h"
#include "player/units/Shortcuts.h"
#include "window_test_util.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <cmath>
#include <functional>
#include <utility>

using namespace mwtest;

namespace {

class KeysWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (!FixturesMade()) GTEST_SKIP() << "media fixtures not made";
    }
    // Keys go where the user's would: to the focused control of the active window.
    QWidget* Target() const
    {
        QWidget* focus = QApplication::focusWidget();
        return focus && focus->window() == w.get() ? focus : w.get();
    }
    // `stamp` is the input clock's time of the event; 0 as for events the
    // program makes itself.
    void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier, bool repeat = false, quint64 stamp = 0)
    {
        QKeyEvent e(QEvent::KeyPress, key, mods, QString(), repeat);
        e.setTimestamp(stamp);
        QApplication::sendEvent(Target(), &e);
    }
    void Release(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier, bool repeat = false, quint64 stamp = 0)
    {
        QKeyEvent e(QEvent::KeyRelease, key, mods, QString(), repeat);
        e.setTimestamp(stamp);
        QApplication::sendEvent(Target(), &e);
    }
    void Tap(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        Press(key, mods);
        Release(key, mods);
    }
    // A key held through `repeats` repeats as the X server sends them: a
    // release before each repeated press, all marked as repeats.
    void Hold(Qt::Key key, int repeats, const std::function<void()>& between = {})
    {
        Press(key);
        for (int i = 0; i < repeats; ++i) {
            if (between) between();
            Release(key, Qt::NoModifier, true);
            Press(key, Qt::NoModifier, true);
        }
    }
    REFERENCE_TIME Position() const
    {
        REFERENCE_TIME p = -1;
        if (w->Graph()) w->Graph()->GetCurrentPosition(&p);
        return p;
    }
    double Seconds() const { return static_cast<double>(Position()) / kUnitsPerSecond; }
    bool WaitAt(double seconds, double tolerance = 0.15)
    {
        return testutil::WaitUntil([&] { return std::abs(Seconds() - seconds) < tolerance; }, 10000);
    }
    // A silent 60 s sound file: long enough for skips both ways.
    QString LongClip() const { return SilentClip(QStringLiteral("long.wav"), 60000); }
    void Wheel(int delta, QPoint at)
    {
        QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.get(), &e);
    }
    void Button(QWidget* on, QEvent::Type type, Qt::MouseButton button)
    {
        const QPointF at(on->width() / 2.0, on->height() / 2.0);
        QMouseEvent e(type, at, on->mapToGlobal(at), button, type == QEvent::MouseButtonRelease ? Qt::NoButton : button,
                      Qt::NoModifier);
        QApplication::sendEvent(on, &e);
    }
};

}  // namespace

TEST_F(KeysWindow, ListKeysPlayKeyTransportKeysAndTogglesKeptAtExit)
{
    Open({Fixture("clip.avi"), Fixture("mpeg1.mpg"), Fixture("tone.wav")});
    ASSERT_TRUE(WaitPlaying());
    // The seek bar has the focus: its arrows and page keys are the window's.
    ui()->TrackBarForSeek->setFocus();
    EXPECT_EQ(Caption(), "Zoravel 1/3 clip");
    Tap(Qt::Key_PageDown);
    EXPECT_EQ(Caption(), "Zoravel 2/3 mpeg1");
    Tap(Qt::Key_PageUp);
    EXPECT_EQ(Caption(), "Zoravel 1/3 clip");
    ASSERT_TRUE(WaitPlaying());
    // Held, every repeat steps on.
    CaptionLog log(w.get());
    Hold(Qt::Key_PageDown, 1, [&] { ASSERT_TRUE(WaitPlaying()); });
    ASSERT_TRUE(WaitPlaying());
    Release(Qt::Key_PageDown);
    EXPECT_EQ(Caption(), "Zoravel 3/3 tone");
    EXPECT_TRUE(log.Saw("Zoravel 2/3 mpeg1"));
    Tap(Qt::Key_PageUp);
    Tap(Qt::Key_PageUp);
    EXPECT_EQ(Caption(), "Zoravel 1/3 clip");
    ASSERT_TRUE(WaitPlaying());

    // P toggles; held, it toggles once; after the release it toggles again.
    Tap(Qt::Key_P);
    EXPECT_EQ(w->PlayState(), psPaused);
    Hold(Qt::Key_P, 5);
    EXPECT_EQ(w->PlayState(), psPlaying);
    EXPECT_EQ(w->KeyLatch, 1);
    Release(Qt::Key_P);
    EXPECT_EQ(w->KeyLatch, 0);
    Tap(Qt::Key_P);
    EXPECT_EQ(w->PlayState(), psPaused);

    // Space steps one frame of the paused video.
    const REFERENCE_TIME before = Position();
    const quint64 shown = w->Graph()->FramesShown();
    Tap(Qt::Key_Space);
    EXPECT_TRUE(testutil::WaitUntil([&] { return w->Graph()->FramesShown() > shown && Position() > before; }, 10000));
    EXPECT_FALSE(w->Probe().HeldButtons().StepFrame);

    // Loop, continuous play and shuffle from their keys, kept at exit.
    const bool loop = ui()->NLoop->isChecked(), continuous = ui()->NContinuousPlay->isChecked(),
               shuffle = ui()->MShuffle->isChecked();
    Tap(Qt::Key_L, Qt::ControlModifier);
    Tap(Qt::Key_S, Qt::ControlModifier);
    Tap(Qt::Key_H, Qt::ControlModifier);
    EXPECT_NE(ui()->NLoop->isChecked(), loop);
    EXPECT_NE(ui()->NContinuousPlay->isChecked(), continuous);
    EXPECT_NE(ui()->MShuffle->isChecked(), shuffle);
    Close();
    EXPECT_EQ(MainDword("Loop"), std::optional<DWORD>(!loop));
    EXPECT_EQ(MainDword("ContinuousPlay"), std::optional<DWORD>(!continuous));
    EXPECT_EQ(MainDword("Shuffle"), std::optional<DWORD>(!shuffle));
}

// PgDn held while each entry switch holds the event loop: the repeats made
// meanwhile come as one more switch, and none after the release, whether they
// reach the window during the switch (a nested loop) or queued behind it.
TEST_F(KeysWindow, RepeatsPiledUpDuringAnEntrySwitchComeOnceAndNeverAfterTheRelease)
{
    QStringList list;
    for (const char* name : {"a", "b", "c", "d", "e"}) list << SilentClip(QString::fromLatin1(name) + ".wav", 20000);
    Open(list);
    ASSERT_TRUE(WaitPlaying());
    ui()->TrackBarForSeek->setFocus();
    CaptionLog log(w.get());
    const auto burst = [&](quint64 from, quint64 to) {
        for (quint64 i = 0; i < 4; ++i) {
            Release(Qt::Key_PageDown, Qt::NoModifier, true, from + (to - from) * i / 4);
            Press(Qt::Key_PageDown, Qt::NoModifier, true, from + (to - from) * i / 4);
        }
    };
    const auto settled = [&] {
        EXPECT_TRUE(WaitPlaying());
        QCoreApplication::sendPostedEvents();
    };

    // Four repeats delivered while the switch to b is still running.
    bool sent = false;
    QObject context;
    QObject::connect(w.get(), &QWidget::windowTitleChanged, &context, [&] {
        if (!std::exchange(sent, true)) burst(0, 0);
    });
    Press(Qt::Key_PageDown);
    ASSERT_TRUE(sent);
    EXPECT_TRUE(testutil::WaitUntil([&] { return Caption() == "Zoravel 3/5 c"; }, 10000)) << Caption();
    settled();
    EXPECT_FALSE(log.Saw("Zoravel 4/5 d"));
    Release(Qt::Key_PageDown);

    // Pressed again; four repeats and the release were made while the switch
    // to d held the loop, and come after it.
    const quint64 start = 1000000;
    QElapsedTimer took;
    took.start();
    Press(Qt::Key_PageDown, Qt::NoModifier, false, start);
    const quint64 held = static_cast<quint64>(took.elapsed());
    ASSERT_GE(held, 2u);
    burst(start, start + held / 2);
    Release(Qt::Key_PageDown, Qt::NoModifier, false, start + held / 2);
    settled();
    EXPECT_EQ(Caption(), "Zoravel 4/5 d");
    EXPECT_FALSE(log.Saw("Zoravel 5/5 e"));
}

TEST_F(KeysWindow, SkipAndHeldFastForwardFromTheArrowKeys)
{
    SetMainDword("SkipLength", 7);
    SetMainDword("FastForwardLength", 2);
    SetMainDword("SeekInterval", 50);
    Open({LongClip()});
    ASSERT_TRUE(WaitPlaying());
    ASSERT_TRUE(SUCCEEDED(w->SeekTo(10 * kUnitsPerSecond)));
    ASSERT_TRUE(WaitAt(10, 0.5));
    Tap(Qt::Key_P);
    ASSERT_TRUE(WaitAt(Seconds(), 0.01));
    const double at = Seconds();
    Tap(Qt::Key_Right);
    EXPECT_TRUE(WaitAt(at + 7)) << Seconds();
    Tap(Qt::Key_Left);
    EXPECT_TRUE(WaitAt(at)) << Seconds();
    // Down held: the fast forward runs through the repeats until the release.
    // Each repeat comes after a tick of the held command's timer, as the
    // keyboard's repeats and the timer interleave while a key is held.
    Hold(Qt::Key_Down, 3, [&] {
        const int ticks = TimerTicks(kHeldRepeatTimer);
        EXPECT_TRUE(testutil::WaitUntil([&] { return TimerTicks(kHeldRepeatTimer) > ticks; }, 5000));
    });
    EXPECT_TRUE(w->Probe().HeldButtons().FastForward);
    EXPECT_TRUE(testutil::WaitUntil([&] { return Seconds() > at + 6; }, 10000)) << Seconds();
    EXPECT_TRUE(w->Probe().HeldButtons().FastForward);
    Release(Qt::Key_Down);
    EXPECT_FALSE(w->Probe().HeldButtons().FastForward);
    EXPECT_FALSE(w->IsTimerSet(kHeldRepeatTimer));
}

TEST_F(KeysWindow, UserKeysReplaceEveryBuiltInKeyOnlyWithModifyKey)
{
    {
        RegKey key = RegKey::Create(HKEY_CURRENT_USER, kShortcutKeyKey, KEY_ALL_ACCESS);
        ASSERT_TRUE(key);
        RegWriteDword(key.get(), "Next", 'N');
        RegWriteDword(key.get(), "Loop", 0x4000 | 'Q');
    }
    for (const bool modify : {false, true}) {
        SetMainDword("ModifyKey", modify);
        Open({Fixture("clip.avi"), Fixture("mpeg1.mpg")});
        ASSERT_TRUE(WaitPlaying());
        const bool loop = ui()->NLoop->isChecked();
        Tap(Qt::Key_PageDown);
        Tap(Qt::Key_L, Qt::ControlModifier);
        if (modify) {
            // The user's keys only: the built-in ones are gone.
            EXPECT_EQ(Caption(), "Zoravel 1/2 clip");
            EXPECT_EQ(ui()->NLoop->isChecked(), loop);
            Tap(Qt::Key_N);
            Tap(Qt::Key_Q, Qt::ControlModifier);
            EXPECT_EQ(Caption(), "Zoravel 2/2 mpeg1");
            EXPECT_NE(ui()->NLoop->isChecked(), loop);
            EXPECT_EQ(ui()->NLoop->text(), "繰り返し再生(&L)\tCtrl+Q");
            EXPECT_EQ(ui()->MShuffle->text(), "シャッフル");
        } else {
            EXPECT_EQ(Caption(), "Zoravel 2/2 mpeg1");
            EXPECT_NE(ui()->NLoop->isChecked(), loop);
            EXPECT_EQ(ui()->NLoop->text(), "繰り返し再生(&L)\tCtrl+L");
        }
        Close();
    }
}

TEST_F(KeysWindow, GesturesRunTheirBindingsAndADvdHasItsOwnSet)
{
    SetMainDword("MouseCtlLength", 3);
    SetMainDword("MouseMiddle", 2);                 // stop
    SetMainDword("MouseX1", 3);                     // fast forward, held until the release
    SetMainDword("MouseX2", 64);                    // no command
    Open({LongClip()});
    ASSERT_TRUE(WaitPlaying());
    ASSERT_TRUE(SUCCEEDED(w->SeekTo(20 * kUnitsPerSecond)));
    ASSERT_TRUE(WaitAt(20, 0.5));

    // A double click (on the view panel too) plays and pauses.
    ui()->ViewPanel->setGeometry(2, 2, 200, 100);
    Button(ui()->ViewPanel, QEvent::MouseButtonDblClick, Qt::LeftButton);
    EXPECT_EQ(w->PlayState(), psPaused);
    Button(w.get(), QEvent::MouseButtonDblClick, Qt::LeftButton);
    EXPECT_EQ(w->PlayState(), psPlaying);
    Button(ui()->ViewPanel, QEvent::MouseButtonDblClick, Qt::LeftButton);
    ASSERT_EQ(w->PlayState(), psPaused);

    // The wheel: one command per notch, parts of notches add up; down skips
    // forward by MouseCtlLength, up back.
    const double at = Seconds();
    const QPoint top(20, 10);
    Wheel(-60, top);
    // The wheel is handled inside its event, and a skip reads as its target
    // at once: nothing later can move the position.
    Spin();
    EXPECT_NEAR(Seconds(), at, 0.05);
    Wheel(-60, top);
    EXPECT_TRUE(WaitAt(at + 3)) << Seconds();
    Wheel(240, top);
    EXPECT_TRUE(WaitAt(at - 3)) << Seconds();
    // With the volume bar shown, the bottom band moves it by 2 a notch.
    w->taTimeClick();
    const int volume = ui()->TrackBarVolume->value();
    Wheel(-120, QPoint(20, w->height() - 10));
    EXPECT_EQ(ui()->TrackBarVolume->value(), volume - 2);
    EXPECT_TRUE(WaitAt(at - 3)) << Seconds();

    // Extra button 1 holds fast forward until it is let go; button 2's 64 does nothing.
    Button(w.get(), QEvent::MouseButtonPress, Qt::BackButton);
    EXPECT_TRUE(w->Probe().HeldButtons().FastForward);
    Button(w.get(), QEvent::MouseButtonRelease, Qt::BackButton);
    EXPECT_FALSE(w->Probe().HeldButtons().FastForward);
    w->KeyLatch = 1;
    Button(w.get(), QEvent::MouseButtonPress, Qt::ForwardButton);
    EXPECT_EQ(w->KeyLatch, 0);   // a number without a command ends like a finished one
    // -1 does nothing and keeps the latch.
    TMouseActions none = w->MouseActions();
    none.MouseDouble = -1;
    w->SetMouseActions(none);
    w->KeyLatch = 1;
    Button(w.get(), QEvent::MouseButtonDblClick, Qt::LeftButton);
    EXPECT_EQ(w->PlayState(), psPaused);
    EXPECT_EQ(w->KeyLatch, 1);
    // The mouse skips refuse a DVD, a CD and a RealMedia clip and keep the latch.
    for (const auto& [dvd, cd, rm] : {std::tuple{true, false, false}, {false, true, false}, {false, false, true}}) {
        w->Probe().SetMediaKind(dvd, cd, rm);
        const double before = Seconds();
        w->DoMouseAction(11);
        Spin();
        EXPECT_NEAR(Seconds(), before, 0.05);
        EXPECT_EQ(w->KeyLatch, 1);
    }
    w->Probe().SetMediaKind(false, false, false);
    // The middle button stops (its item is latched: not while a key is held).
    w->KeyLatch = 0;
    Button(w.get(), QEvent::MouseButtonPress, Qt::MiddleButton);
    EXPECT_EQ(w->PlayState(), psStopped);

    // A DVD start takes its own set; a second start keeps the file set; the
    // next file puts it back.
    SetMainDword("DVDMouseDouble", 29);
    const TMouseActions file = w->MouseActions();
    w->LoadMouseActions();
    EXPECT_EQ(w->MouseActions(), (TMouseActions{29, -1, -1, -1, 12, 11}));
    w->LoadMouseActions();
    w->UpdateControlsForMedia(false);
    EXPECT_EQ(w->MouseActions(), file);
    EXPECT_FALSE(w->Probe().HasSavedMouseActions());
    // Leaving a mode that saved nothing leaves the bindings alone.
    w->UpdateControlsForMedia(false);
    EXPECT_EQ(w->MouseActions(), file);
}

TEST_F(KeysWindow, LatchTableOfTheKeyItems)
{
    Open({LongClip()});
    ASSERT_TRUE(WaitPlaying());
    // latched: runs only while clear, then sets it; sets latch: runs anyway.
    w->KeyLatch = 1;
    ui()->miPlay->trigger();
    EXPECT_EQ(w->PlayState(), psPlaying);
    ui()->miStop->trigger();
    EXPECT_EQ(w->PlayState(), psPlaying);
    const int volume = ui()->TrackBarVolume->value();
    ui()->miVolumeMute->trigger();
    EXPECT_EQ(ui()->TrackBarVolume->value(), volume);
    w->KeyLatch = 0;
    ui()->miVolumeMute->trigger();
    EXPECT_EQ(ui()->TrackBarVolume->value(), 0);
    ui()->miVolumeMute->trigger();   // held: once
    EXPECT_EQ(ui()->TrackBarVolume->value(), 0);
    w->KeyLatch = 0;
    ui()->miVolumeMute->trigger();
    EXPECT_EQ(ui()->TrackBarVolume->value(), volume);
    for (QAction* item : {ui()->miShowPlayList, ui()->miShowLibViewer, ui()->miFoldeLib, ui()->miPlayNext,
                          ui()->miShowBrowser, ui()->miStop}) {
        w->KeyLatch = 0;
        item->trigger();
        EXPECT_EQ(w->KeyLatch, 1) << item->objectName();
    }
    EXPECT_EQ(w->PlayState(), psStopped);
    // No latch of their own: the menu moves, the window switch, the volume steps.
    for (QAction* item : {ui()->miDVDMenuU, ui()->miChangeWindow, ui()->miVolumeUp}) {
        w->KeyLatch = 0;
        item->trigger();
        EXPECT_EQ(w->KeyLatch, 0) << item->objectName();
    }
}

TEST_F(KeysWindow, SmallControlsOpenTheirOwnMenusAndTheTimeShowsTheVolume)
{
    Open();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    const auto shown = [](QMenu* m) { return testutil::WaitUntil([m] { return m->isVisible(); }); };
    // The right button on the library buttons: the library menu with only
    // the one editor item, and not the window's menu.
    const std::tuple<QToolButton*, QAction*, QAction*> library[] = {
        {ui()->TBtnShowFolder1, ui()->MiShowLibrary, ui()->N24},
        {ui()->TBtnShowLibrary, ui()->N24, ui()->MiShowLibrary}};
    for (const auto& [button, only, hidden] : library) {
        QContextMenuEvent menuKey(QContextMenuEvent::Mouse, QPoint(4, 4), button->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(button, &menuKey);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_FALSE(ui()->PopupLib->isVisible());
        QTest::mouseClick(button, Qt::RightButton);
        ASSERT_TRUE(shown(ui()->PopupLib)) << button->objectName().toStdString();
        EXPECT_TRUE(only->isVisible());
        EXPECT_FALSE(hidden->isVisible());
        EXPECT_FALSE(ui()->MainPopupMenu->isVisible());
        ui()->PopupLib->hide();
    }
    // The window button opens the window menu with either button.
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton}) {
        QTest::mouseClick(ui()->BtnList, b);
        ASSERT_TRUE(shown(ui()->PmWindow));
        EXPECT_FALSE(ui()->MainPopupMenu->isVisible());
        ui()->PmWindow->hide();
    }
    // A click on either time label shows the volume bar; a press that
    // leaves the label first is no click.
    for (QLabel* time : {ui()->tnTime, ui()->taTime}) {
        ui()->TrackBarVolume->hide();
        QTest::mousePress(time, Qt::LeftButton);
        QTest::mouseRelease(time, Qt::LeftButton, {}, QPoint(-5, -5));
        EXPECT_FALSE(ui()->TrackBarVolume->isVisible());
        QTest::mouseClick(time, Qt::LeftButton);
        EXPECT_TRUE(ui()->TrackBarVolume->isVisible()) << time->objectName().toStdString();
    }
}

TEST_F(KeysWindow, AudioStreamMenuNamesTheStreamsAndSwitchesThem)
{
    Open({Fixture("twoaudio.mkv")});
    ASSERT_TRUE(WaitPlaying());
    QMenu* menu = ui()->miAudio;
    EXPECT_TRUE(menu->menuAction()->isVisible());
    // Opened from the pop-up menu, the captions carry the tagged languages.
    emit ui()->MainPopupMenu->aboutToShow();
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(Tag(menu->menuAction()), -2);
    EXPECT_EQ(menu->actions()[0]->text(), "日本語");
    EXPECT_EQ(menu->actions()[1]->text(), "英語");
    EXPECT_TRUE(menu->actions()[0]->isChecked());
    EXPECT_EQ(Tag(menu->actions()[1]), 2);
    menu->actions()[1]->trigger();
    EXPECT_TRUE(menu->actions()[1]->isChecked());
    EXPECT_FALSE(menu->actions()[0]->isChecked());
    EXPECT_EQ(Tag(ui()->miCurrentAudio), 2);
    EXPECT_TRUE(testutil::WaitUntil([&] { return w->Graph()->CurrentAudioStream() == 1; }, 5000));
    // Built again, the items do not pile up; without tags the number is the caption.
    w->BuildAudioStreamMenu(3);
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions()[2]->text(), "オーディオ 3");
}

TEST(Languages, DvdLanguageIndexesAndJapaneseNames)
{
    const std::tuple<int, DWORD, const char*> table[] = {
        {0, 0, ""},       {1, 1031, "de"}, {2, 1033, "en"}, {3, 1034, "es"},  {4, 1036, "fr"},
        {5, 1040, "it"},  {6, 1041, "ja"}, {7, 1042, "ko"}, {8, 1043, "nl"},  {9, 1049, "ru"},
        {10, 1053, "sv"}, {11, 2052, "zh"}, {12, 2070, "pt"}, {13, 0, ""},    {-1, 0, ""},
    };
    for (const auto& [index, lcid, iso] : table) {
        EXPECT_EQ(LanguageIndexToLcid(index).Lcid, lcid) << index;
        EXPECT_STREQ(LanguageIndexToLcid(index).Iso639, iso) << index;
    }
    EXPECT_EQ(JapaneseLanguageName("jpn"), "日本語");
    EXPECT_EQ(JapaneseLanguageName("JA"), "日本語");
    EXPECT_EQ(JapaneseLanguageName("ger"), "ドイツ語");
    EXPECT_EQ(JapaneseLanguageName("deu"), "ドイツ語");
    EXPECT_EQ(JapaneseLanguageName("xx"), "");
    EXPECT_EQ(JapaneseLanguageName(""), "");
}

// The main window's keys and mouse gestures on real media: shortcut items
// matched before the controls, held keys with the keyboard's repeat, the
// user's keys from ShortcutKey, the gesture bindings and their DVD set, the
// window's own keys and the audio-stream menu.
#include "platform/keys/keys.h"
#include "player/units/Shortcuts.h"
#include "window_test_util.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QSlider>
#include <QTest>
#include <QToolButton>

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
    void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier, bool repeat = false)
    {
        QKeyEvent e(QEvent::KeyPress, key, mods, QString(), repeat);
        QApplication::sendEvent(Target(), &e);
    }
    void Release(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier, bool repeat = false)
    {
        QKeyEvent e(QEvent::KeyRelease, key, mods, QString(), repeat);
        QApplication::sendEvent(Target(), &e);
    }
    void Tap(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        Press(key, mods);
        Release(key, mods);
    }
};

}  // namespace

TEST_F(KeysWindow, PageKeysStepThroughTheListAndHeldRepeatSteps)
{
    Open({Fixture("clip.avi"), Fixture("mpeg1.mpg"), Fixture("tone.wav")});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(Caption(), "Zoravel 1/3 clip");
    Tap(Qt::Key_PageDown);
    EXPECT_EQ(Caption(), "Zoravel 2/3 mpeg1");
}

// A window's stored place and client size come back as they were, inside a
// monitor's work area, and its menu bar is not counted in the client size.
#include "player/tools/WindowPlacement.h"
#include "common/Reghelp.h"
#include "support/test_util.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>

#include <gtest/gtest.h>

namespace {

constexpr char kKey[] = "Software\\Bruvo\\ZoDVD\\PlacementTest";

void Store(int left, int top, int width, int height)
{
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kKey, KEY_WRITE);
    ASSERT_TRUE(key);
    RegWriteDword(key.get(), "Left", static_cast<DWORD>(left));
    RegWriteDword(key.get(), "Top", static_cast<DWORD>(top));
    RegWriteDword(key.get(), "Width", static_cast<DWORD>(width));
    RegWriteDword(key.get(), "Height", static_cast<DWORD>(height));
}

TEST(WindowPlacement, StoredPlaceComesBackInsideTheWorkAreaWithoutTheMenuBar)
{
    testutil::IsolatedHome home;
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("表示"));
    const TWindowPlacement placement(kKey, QRect(100, 100, 462, 324));

    // Nothing stored: the defaults.
    EXPECT_EQ(placement.Load(), QRect(100, 100, 462, 324));
    placement.Restore(&window);
    EXPECT_EQ(TWindowPlacement::ClientSize(&window), QSize(462, 324));
    EXPECT_GT(window.height(), 324);   // the menu bar comes on top of the client area

    // What is saved is what comes back.
    window.move(area.left() + 30, area.top() + 40);
    TWindowPlacement::SetClientSize(&window, QSize(300, 200));
    ASSERT_TRUE(placement.Save(&window));
    EXPECT_EQ(placement.Load(), QRect(area.left() + 30, area.top() + 40, 300, 200));
    QMainWindow again;
    again.menuBar()->addMenu(QStringLiteral("表示"));
    placement.Restore(&again);
    EXPECT_EQ(again.pos(), QPoint(area.left() + 30, area.top() + 40));
    EXPECT_EQ(TWindowPlacement::ClientSize(&again), QSize(300, 200));

    // Off every monitor (a negative place is stored signed): pulled inside.
    Store(-5000, -4000, 300, 200);
    placement.Restore(&again);
    EXPECT_TRUE(area.contains(again.frameGeometry().topLeft()));

    // Larger than the work area: it shrinks to it, the menu bar included.
    Store(area.left(), area.top(), area.width() * 2, area.height() * 2);
    placement.Restore(&again);
    EXPECT_LE(again.height(), area.height());
    EXPECT_LE(again.width(), area.width());
    EXPECT_EQ(again.pos(), area.topLeft());
}

TEST(WindowPlacement, CentredOverItsOwnerAndKeptInside)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget owner;
    owner.setGeometry(area.left() + 100, area.top() + 100, 401, 301);
    QWidget dialog;
    dialog.resize(200, 100);
    TWindowPlacement::CentreOver(&dialog, &owner);
    // Halves toward zero: (401 - 200) / 2 = 100, (301 - 100) / 2 = 100.
    EXPECT_EQ(dialog.pos(), QPoint(area.left() + 200, area.top() + 200));

    // An owner at the edge: the dialog stays inside the work area.
    owner.move(area.left() - 300, area.top() - 250);
    TWindowPlacement::CentreOver(&dialog, &owner);
    EXPECT_EQ(dialog.pos(), area.topLeft());
}

}  // namespace

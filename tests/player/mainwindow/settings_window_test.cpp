// Settings through the window: read at construction into check marks,
// visibilities and the window's place; the 24 values written at destruction
// and read back by the next window.
#include "window_test_util.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSlider>
#include <QToolButton>

using namespace mwtest;

namespace {

const char* const kWrittenValues[] = {
    "Left",        "Top",         "InitialDir",     "Volume",       "PowerState",  "WindowSize",
    "SelectedSize", "LastSelectedFolder", "Loop",   "AspectRatio",  "ContinuousPlay", "PowerControl",
    "Shuffle",     "AdjustWindowSize", "KeepSize",  "LastHeight",   "LastWidth",   "LibrarySort",
    "FolderSort",  "ListSort",    "SetTopItem",     "KeepSortType", "DefaultSort", "AlwaysOnTop"};

class SettingsWindow : public WindowTest {};

TEST_F(SettingsWindow, FreshRegistryGivesTheDefaultsAndAnEmptyMainKey)
{
    ASSERT_EQ(MainValueCount(), -1);
    Open();
    // The key exists from the constructor on, still empty.
    EXPECT_EQ(MainValueCount(), 0);

    const TMainSettings& s = w->Settings();
    const TMainSettings d;
    EXPECT_EQ(s.Volume, 100u);
    EXPECT_EQ(s.Renderer, d.Renderer);
    EXPECT_EQ(s.ShowPictureLength, 5u);
    EXPECT_EQ(s.MouseMiddle, -1);
    EXPECT_EQ(s.WheelUp, 12);
    EXPECT_EQ(s.SelectedSize, 1327404u);
    EXPECT_EQ(s.IndexFontColor, 33023u);
    EXPECT_TRUE(s.ResumeFile);
    EXPECT_FALSE(s.MakeNewWindow);
    EXPECT_TRUE(s.InitialDir.isEmpty());

    // Check marks, visibilities and the empty window.
    EXPECT_FALSE(ui()->NLoop->isChecked());
    EXPECT_FALSE(ui()->NContinuousPlay->isChecked());
    EXPECT_FALSE(ui()->MShuffle->isChecked());
    EXPECT_TRUE(ui()->miWindowFix->isChecked());
    EXPECT_TRUE(ui()->NSouce->isChecked());
    EXPECT_TRUE(ui()->MIOriginalAspect->isChecked());
    EXPECT_FALSE(ui()->PMForeground->isChecked());
    EXPECT_FALSE(ui()->TBPowerState->isHidden());
    EXPECT_FALSE(ui()->TBPowerState->isChecked());
    EXPECT_FALSE(ui()->TBtnShowLibrary->isHidden());
    EXPECT_EQ(ui()->TrackBarVolume->value(), 100);
    EXPECT_EQ(w->pos(), QPoint(100, 100));
    EXPECT_EQ(w->width(), 290);
    EXPECT_EQ(w->height(), 60);
    EXPECT_EQ(Caption(), "Zoravel");
}

TEST_F(SettingsWindow, DestructionWritesTheTwentyFourValuesAndTheNextWindowReadsThemBack)
{
    Open();
    w->move(150, 120);
    ui()->NLoop->setChecked(true);
    ui()->NContinuousPlay->setChecked(true);
    ui()->MShuffle->setChecked(true);
    ui()->TBPowerState->setChecked(true);
    ui()->miWindowFix->setChecked(false);
    ui()->TrackBarVolume->setValue(40);
    w->MutableSettings().InitialDir = home->Path();
    Close();

    EXPECT_EQ(MainValueCount(), 24);
    for (const char* name : kWrittenValues) {
        if (std::string(name) == "InitialDir")
            EXPECT_TRUE(MainString(name).has_value()) << name;
        else
            EXPECT_TRUE(MainDword(name).has_value()) << name;
    }
    EXPECT_EQ(MainDword("Left"), 150u);
    EXPECT_EQ(MainDword("Top"), 120u);
    EXPECT_EQ(MainDword("Loop"), 1u);
    EXPECT_EQ(MainDword("ContinuousPlay"), 1u);
    EXPECT_EQ(MainDword("Shuffle"), 1u);
    EXPECT_EQ(MainDword("PowerControl"), 1u);
    EXPECT_EQ(MainDword("AdjustWindowSize"), 0u);
    EXPECT_EQ(MainDword("Volume"), 40u);
    EXPECT_EQ(MainString("InitialDir"), home->Path());
    // Values the window only reads stay unwritten.
    EXPECT_FALSE(MainDword("SkipLength").has_value());
    EXPECT_FALSE(MainDword("MakeNewWindow").has_value());

    Open();
    EXPECT_EQ(w->pos(), QPoint(150, 120));
    EXPECT_TRUE(ui()->NLoop->isChecked());
    EXPECT_TRUE(ui()->NContinuousPlay->isChecked());
    EXPECT_TRUE(ui()->MShuffle->isChecked());
    EXPECT_TRUE(ui()->TBPowerState->isChecked());
    EXPECT_FALSE(ui()->miWindowFix->isChecked());
    EXPECT_EQ(ui()->TrackBarVolume->value(), 40);
    EXPECT_EQ(w->InitialDir(), home->Path());
}

TEST_F(SettingsWindow, StoreThatCannotBeOpenedGivesTheDefaultsAndWritesNothing)
{
    // The store's folder is a file: no key can be opened or created.
    ASSERT_TRUE(testutil::WriteFile(Home("blocked"), "a file"));
    qputenv("ZORAVEL_REGISTRY", Home("blocked/registry.reg").toUtf8());
    Open();
    const TMainSettings& s = w->Settings();
    EXPECT_EQ(s.Volume, 100u);
    EXPECT_EQ(s.MouseDouble, 1);
    EXPECT_EQ(s.MouseMiddle, -1);
    EXPECT_EQ(s.WheelDown, 11);
    EXPECT_EQ(s.ShowPictureLength, 5u);
    EXPECT_TRUE(ui()->miWindowFix->isChecked());
    EXPECT_EQ(ui()->TrackBarVolume->value(), 100);
    EXPECT_EQ(w->pos(), QPoint(100, 100));
    Close();
    EXPECT_EQ(testutil::ReadFile(Home("blocked")), QByteArray("a file"));
}

TEST_F(SettingsWindow, EmptyInitialDirIsNotWritten)
{
    Open();
    Close();
    EXPECT_EQ(MainValueCount(), 23);
    EXPECT_FALSE(MainString("InitialDir").has_value());
}

TEST_F(SettingsWindow, MaximisedWindowLeavesTheStoredPosition)
{
    SetMainDword("Left", 123);
    SetMainDword("Top", 77);
    Open();
    w->showMaximized();
    ASSERT_TRUE(testutil::WaitUntil([this] { return w->isMaximized(); }));
    Close();
    EXPECT_EQ(MainDword("Left"), 123u);
    EXPECT_EQ(MainDword("Top"), 77u);
    // The 21 others are written; the two stored before stay as they were.
    EXPECT_EQ(MainValueCount(), 23);
}

// A stored position past the right and bottom edges is pulled into the work
// area frame and all: the window is placed again once it has its frame.
TEST_F(SettingsWindow, StoredPositionFarRightIsPulledIntoTheWorkArea)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    SetMainDword("Left", 5000);
    SetMainDword("Top", 4000);
    Open();
    ASSERT_TRUE(testutil::WaitUntil([this] { return w->isVisible(); }));
    EXPECT_EQ(w->frameGeometry().right(), area.right()) << w->frameGeometry();
    EXPECT_EQ(w->frameGeometry().bottom(), area.bottom()) << w->frameGeometry();
}

TEST_F(SettingsWindow, StoredPositionFarRightStaysOnTheScreen)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    SetMainDword("Left", 5000);
    SetMainDword("Top", 4000);
    Open();
    // Within the frame's margins of the edges (the strict form is above).
    const QRect frame = w->frameGeometry();
    EXPECT_LE(frame.right(), area.right() + (frame.width() - w->width()));
    EXPECT_GE(frame.right(), area.right() - 1);
    EXPECT_LE(frame.bottom(), area.bottom() + (frame.height() - w->height()));
    EXPECT_GE(frame.bottom(), area.bottom() - 1);
}

TEST_F(SettingsWindow, NegativeStoredPositionStopsAtTheWorkAreaEdges)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    SetMainDword("Left", static_cast<DWORD>(-300));
    SetMainDword("Top", static_cast<DWORD>(-40));
    Open();
    EXPECT_EQ(w->frameGeometry().left(), area.left());
    EXPECT_EQ(w->frameGeometry().top(), area.top());
}

TEST_F(SettingsWindow, OddStoredValuesAreReadAsTheirDefaultsAndWrittenBackClean)
{
    SetMainDword("Loop", 2);
    SetMainDword("WindowSize", 7);
    SetMainDword("AspectRatio", 9);
    SetMainDword("KeepSortType", 0);
    SetMainDword("ListSort", 5);
    SetMainDword("DefaultSort", 2);
    Open();
    EXPECT_TRUE(ui()->NLoop->isChecked());
    EXPECT_TRUE(ui()->NSouce->isChecked());
    EXPECT_TRUE(ui()->MIOriginalAspect->isChecked());
    Close();
    EXPECT_EQ(MainDword("Loop"), 1u);
    EXPECT_EQ(MainDword("WindowSize"), 3u);
    EXPECT_EQ(MainDword("AspectRatio"), 0u);
    EXPECT_EQ(MainDword("ListSort"), 2u);
}

TEST_F(SettingsWindow, AspectAndSizeChoicesSurviveARoundTrip)
{
    SetMainDword("AspectRatio", 3);
    SetMainDword("WindowSize", 1);
    Open();
    EXPECT_TRUE(ui()->miAspect169->isChecked());
    EXPECT_TRUE(ui()->N640->isChecked());
    Close();
    EXPECT_EQ(MainDword("AspectRatio"), 3u);
    EXPECT_EQ(MainDword("WindowSize"), 1u);

    // With KeepSize on no size item is checked.
    SetMainDword("KeepSize", 1);
    Open();
    EXPECT_TRUE(ui()->miKeepSize->isChecked());
    for (QAction* a : {ui()->NSelectedSize, ui()->N640, ui()->N320, ui()->NSouce}) EXPECT_FALSE(a->isChecked());
}

TEST_F(SettingsWindow, HiddenButtonsFollowTheirSettings)
{
    SetMainDword("ShowPowerState", 0);
    SetMainDword("UseViewer", 0);
    SetMainDword("UseBookmark", 0);
    Open();
    EXPECT_TRUE(ui()->TBPowerState->isHidden());
    EXPECT_TRUE(ui()->TBtnShowFolder1->isHidden());
    EXPECT_TRUE(ui()->TBtnShowLibrary->isHidden());
    EXPECT_TRUE(ui()->ToolBarPower->isHidden());
    EXPECT_FALSE(ui()->miBookmark2->isVisible());
    EXPECT_FALSE(ui()->miChainSections->isVisible());
}

}  // namespace

// The numbered command table run on a recording stand-in of the window,
// the DVD gesture set read from Main, and the shortcut items of the main
// window's form: built-in and stored codes, twins, the first match of a key
// in menu order, the DVD copies and the status text of menu toggles.
#include "platform/forms/forms.h"
#include "player/units/Commands.h"
#include "player/units/Imagelist.h"
#include "common/Reghelp.h"
#include "player/units/Shortcuts.h"
#include "support/test_util.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QMenu>
#include <QSet>

#include <gtest/gtest.h>

#include <ostream>

#include <map>
#include <string>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// Records which operation ran; the guards answer as told.
class Recorder : public TCommandTarget {
public:
    std::vector<std::string> ran;
    bool mouseSkip = true, library = true, folder = true;
#define ZO_RECORD(name) \
    void name() override { ran.push_back(#name); }
    ZO_COMMAND_OPERATIONS(ZO_RECORD)
#undef ZO_RECORD
    bool MouseSkipAllowed() const override { return mouseSkip; }
    bool LibraryButtonShown() const override { return library; }
    bool FolderButtonShown() const override { return folder; }
};

}  // namespace

TEST(CommandTable, EveryNumberReachesItsOperationAndEndsAsTheLatchRulesSay)
{
    // number -> operation; "" for the rows that do nothing.
    const std::map<int, std::string> expected = {
        {0, "BtnOpenClick"}, {1, "BtnStartClick"}, {2, "miStopClick"}, {3, "miForwardClick"},
        {4, "miRewindClick"}, {5, "miPlayNextClick"}, {6, "miPlayPreviousClick"}, {7, "FrameStepForward"},
        {8, "FrameStepBackward"}, {9, "SkipCommand"}, {10, "SkipBackCommand"}, {11, "SkipSmallCommand"},
        {12, "SkipBackSmallCommand"}, {13, "TBtnShowComboClick"}, {14, "SelectedSizeCommand"},
        {15, "Size640Command"}, {16, "Size320Command"}, {17, "SourceSizeCommand"}, {18, "KeepSizeCommand"},
        {19, "FitWindowCommand"}, {20, "NSelectCurrentSizeClick"}, {21, "SourceAspectCommand"},
        {22, "Aspect43Command"}, {23, "Aspect169Command"}, {24, "UnlockAspectCommand"},
        {25, "NContinuousPlayClick"}, {26, "LoopCommand"}, {27, "MShuffleClick"}, {28, "PMForegroundClick"},
        {29, "NPropertyClick"}, {30, "miVolumeUpClick"}, {31, "miVolumeDnClick"}, {32, "miVolumeMuteClick"},
        {33, "miShowCapDlgClick"}, {34, "miShowEditListClick"}, {35, "miShowBrowserClick"},
        {36, "miChangeWindowClick"}, {37, "TBtnShowLibraryClick"}, {38, "TBtnShowFolder1Click"},
        {39, "MIColorClick"}, {40, "SelTrackSClick"}, {41, "SelTrackEClick"}, {42, "SelTrackCClick"},
        {43, "NFullScreenClick"}, {44, "miDVDForwardClick"}, {45, "miDVDRewindClick"}, {46, "miMakeBkmrkClick"},
        {47, "miShowBkmrkDlgClick"}, {48, "NRootMenuClick"}, {49, "NTitleMenuClick"}, {50, "NDisplaySPClick"},
        {51, "miDVDMenuUClick"}, {52, "miDVDMenuDClick"}, {53, "miDVDMenuLClick"}, {54, "miDVDMenuRClick"},
        {55, ""}, {56, ""}, {57, ""}, {58, ""}, {59, ""}, {60, "miPreviousBmkClick"}, {61, "miNextBmkClick"},
        {62, ""}, {63, ""}, {64, ""}, {65, ""}, {66, "SizeRatioAspectCommand"}, {67, ""}, {1000, ""},
    };
    for (const auto& [number, operation] : expected) {
        Recorder r;
        EXPECT_TRUE(RunCommand(r, number)) << number;   // every run ends: KeyLatch is cleared
        if (operation.empty())
            EXPECT_TRUE(r.ran.empty()) << number;
        else
            EXPECT_EQ(r.ran, std::vector<std::string>{operation}) << number;
    }
    // None: nothing runs and KeyLatch stays.
    for (int number : {-1, -2, -100}) {
        Recorder r;
        EXPECT_FALSE(RunCommand(r, number));
        EXPECT_TRUE(r.ran.empty());
    }
    // The mouse skips refused (DVD, CD, RealMedia) keep the latch; the hidden
    // library buttons refuse their rows as a finished command.
    Recorder r;
    r.mouseSkip = r.library = r.folder = false;
    EXPECT_FALSE(RunCommand(r, 11));
    EXPECT_FALSE(RunCommand(r, 12));
    EXPECT_TRUE(RunCommand(r, 37));
    EXPECT_TRUE(RunCommand(r, 38));
    EXPECT_TRUE(RunCommand(r, 9));
    EXPECT_EQ(r.ran, std::vector<std::string>{"SkipCommand"});

    // The stored names and the dialog's rows.
    EXPECT_EQ(Commands().size(), 65u);
    QSet<QString> names;
    for (const TCommand& c : Commands()) names.insert(QString::fromLatin1(c.ValueName));
    EXPECT_EQ(names.size(), 65);
    EXPECT_STREQ(FindCommand(66)->ValueName, "VideoSizeRatio");
    EXPECT_STREQ(FindCommand(49)->ValueName, "TitleMunu");
    EXPECT_STREQ(FindCommand(5)->Caption, "次のファイル(チャプター)");
    EXPECT_TRUE(FindCommand(11)->NoKey && !FindCommand(11)->NoMouse);
    EXPECT_TRUE(FindCommand(30)->NoMouse && FindCommand(62)->NoMouse && FindCommand(57)->NoMouse);
    EXPECT_EQ(FindCommand(64), nullptr);
    const auto order = DialogCommandOrder();
    ASSERT_EQ(order.size(), 65u);
    EXPECT_EQ(order[21], 21);
    EXPECT_EQ(order[22], 66);
    EXPECT_EQ(order[23], 22);
    EXPECT_EQ(order[64], 63);
}

TEST(CommandTable, DvdGestureSetReadFromMainWithItsDefaults)
{
    testutil::IsolatedHome home;
    TMouseActions a;
    a.MouseDouble = 7;
    // Without the key nothing is read.
    EXPECT_FALSE(ReadDvdMouseActions(&a));
    EXPECT_EQ(a.MouseDouble, 7);
    RegKey key = RegKey::Create(HKEY_CURRENT_USER, kMainKey, KEY_ALL_ACCESS);
    ASSERT_TRUE(key);
    ASSERT_TRUE(ReadDvdMouseActions(&a));
    EXPECT_EQ(a, (TMouseActions{1, -1, -1, -1, 12, 11}));
    RegWriteDword(key.get(), "DVDMouseMiddle", 43);
    RegWriteDword(key.get(), "DVDWheelUp", static_cast<DWORD>(-1));
    RegWriteDword(key.get(), "DVDMouseX2", 60);
    RegWriteDword(key.get(), "MouseDouble", 29);   // the file-mode value is not the DVD's
    ASSERT_TRUE(ReadDvdMouseActions(&a));
    EXPECT_EQ(a, (TMouseActions{1, 43, -1, 60, -1, 11}));
}

namespace {

struct Form {
    TForm window;
    Ui::TZoMain ui;
    Form()
    {
        ui.setupUi(&window);
        ApplyFormDesign(&window);
        ShowItemShortCuts(&window);
    }
    QAction* Item(const char* name) const { return window.findChild<QAction*>(QLatin1String(name)); }
    // Counts the clicks of every item by name.
    std::map<std::string, int> clicks;
    void CountClicks()
    {
        for (QAction* a : window.findChildren<QAction*>())
            QObject::connect(a, &QAction::triggered, [this, a] { ++clicks[a->objectName().toStdString()]; });
    }
};

}  // namespace

TEST(ShortcutItems, LoadTableBuiltInCodesTwinsAndStoredKeys)
{
    Form f;
    const auto rows = ShortcutRows();
    ASSERT_EQ(rows.size(), 60u);
    int browser = 0, listDialog = 0;
    for (const TShortcutRow& row : rows) {
        QAction* item = f.Item(row.Item);
        ASSERT_NE(item, nullptr) << row.Item;
        // The form's own codes are the built-in ones, and every value names a command.
        EXPECT_EQ(ItemShortCut(item), row.BuiltIn) << row.Item;
        bool named = false;
        for (const TCommand& c : Commands()) named |= QLatin1String(c.ValueName) == QLatin1String(row.ValueName);
        EXPECT_TRUE(named) << row.ValueName;
        browser += QLatin1String(row.ValueName) == QLatin1String("FileBrowser");
        listDialog += QLatin1String(row.ValueName) == QLatin1String("ListDialog");
    }
    EXPECT_EQ(browser, 2);
    EXPECT_EQ(listDialog, 2);
    // Menus show the key after the caption; Qt holds no shortcut of its own.
    EXPECT_EQ(f.Item("NLoop")->text(), "繰り返し再生(&L)\tCtrl+L");
    EXPECT_EQ(ItemCaption(f.Item("NLoop")), "繰り返し再生(&L)");
    EXPECT_EQ(f.Item("miPlayNext")->text(), "次のファイル(チャプター)\tPgDn");
    EXPECT_EQ(f.Item("PMForeground")->text(), "常に手前に表示");
    for (QAction* a : f.window.findChildren<QAction*>()) EXPECT_TRUE(a->shortcut().isEmpty()) << a->objectName().toStdString();

    // The user's keys: each value sets its item and twins, a missing value
    // takes the key away, codes are 16 bits.
    testutil::IsolatedHome home;
    RegKey key = RegKey::Create(HKEY_CURRENT_USER, kShortcutKeyKey, KEY_ALL_ACCESS);
    ASSERT_TRUE(key);
    RegWriteDword(key.get(), "Play", 'K');
    RegWriteDword(key.get(), "FitWindow", 0x4000 | 'W');
    RegWriteDword(key.get(), "BookmarkDialog", 0x2000 | 'M');
    RegWriteDword(key.get(), "FileBrowser", 0x10000 | 113);   // only the low 16 bits count
    RegWriteDword(key.get(), "Loop", 0x4000 | 255);            // a key the table does not know
    LoadShortcutValues(&f.window, key.get());
    EXPECT_EQ(ItemShortCut(f.Item("miPlay")), 'K');
    EXPECT_EQ(ItemShortCut(f.Item("MiDVDWindowSize")), 0x4000 | 'W');
    for (const char* name : {"miShowBkmrkDlg", "N18", "miBookmark2"})
        EXPECT_EQ(ItemShortCut(f.Item(name)), 0x2000 | 'M') << name;
    EXPECT_EQ(ItemShortCut(f.Item("MiFileBrowser")), 113);
    EXPECT_EQ(ItemShortCut(f.Item("miShowBrowser")), 113);
    EXPECT_EQ(ItemShortCut(f.Item("NLoop")), 0x4000 | 255);
    EXPECT_EQ(f.Item("NLoop")->text(), "繰り返し再生(&L)");   // no text for an unknown key
    for (const char* name : {"miStop", "miPlayNext", "NContinuousPlay", "MIColor", "MIDVDColor", "miForward"})
        EXPECT_EQ(ItemShortCut(f.Item(name)), 0) << name;
    EXPECT_EQ(f.Item("miPlay")->text(), "再生/一時停止\tK");
    EXPECT_EQ(f.Item("miStop")->text(), "停止");
}

TEST(ShortcutItems, FirstMatchInMenuOrderHiddenItemsDisabledMatchesAndTheDvdCopies)
{
    Form f;
    f.CountClicks();
    QMenu* const file[] = {f.ui.MainPopupMenu};
    QMenu* const dvd[] = {f.ui.DVDPopupMenu};
    QMenu* const seekBar[] = {f.ui.TrackBarPopupMenu, f.ui.MainPopupMenu};

    // Hidden items of the hidden key menu take their keys.
    EXPECT_TRUE(DispatchShortCut(file, 34));
    EXPECT_EQ(f.clicks["miPlayNext"], 1);
    // Two items with one key: the first in menu order (the pop-up's file
    // browser item comes before the key item in PmWindow's order only when
    // that menu is asked first).
    QMenu* const windowFirst[] = {f.ui.PmWindow, f.ui.MainPopupMenu};
    EXPECT_TRUE(DispatchShortCut(windowFirst, 113));
    EXPECT_EQ(f.clicks["MiFileBrowser"], 1);
    EXPECT_EQ(f.clicks["miShowBrowser"], 0);
    EXPECT_TRUE(DispatchShortCut(file, 113));
    EXPECT_EQ(f.clicks["miShowBrowser"], 1);
    // A disabled match takes the key without a click; so does an item under a disabled sub-menu.
    f.Item("miPlay")->setEnabled(false);
    EXPECT_TRUE(DispatchShortCut(file, 80));
    EXPECT_EQ(f.clicks["miPlay"], 0);
    f.Item("miPlay")->setEnabled(true);
    f.ui.mikey->setEnabled(false);
    EXPECT_TRUE(DispatchShortCut(file, 80));
    EXPECT_EQ(f.clicks["miPlay"], 0);
    f.ui.mikey->setEnabled(true);
    EXPECT_TRUE(DispatchShortCut(file, 80));
    EXPECT_EQ(f.clicks["miPlay"], 1);
    // No item, an unknown key, no key.
    EXPECT_FALSE(DispatchShortCut(file, 'Q'));
    EXPECT_FALSE(DispatchShortCut(file, 0));
    EXPECT_FALSE(DispatchShortCut(file, 0x4000 | 255));
    // The seek bar's own menu comes first: Home is its section start.
    EXPECT_TRUE(DispatchShortCut(seekBar, 36));
    EXPECT_EQ(f.clicks["SelTrackS"], 1);
    EXPECT_FALSE(DispatchShortCut(file, 36));

    // The DVD menu: the arrows are its own, the other file keys come as
    // copies, any number of times over.
    for (int round = 0; round < 2; ++round) AddHiddenShortcutItems(f.ui.mikey, f.ui.miDVDShortCut);
    EXPECT_EQ(f.ui.miDVDShortCut->actions().size(), 6 + f.ui.mikey->actions().size() - 5);
    EXPECT_TRUE(DispatchShortCut(dvd, 39));
    EXPECT_EQ(f.clicks["miDVDForward"], 1);
    EXPECT_EQ(f.clicks["miSkip"], 0);
    EXPECT_TRUE(DispatchShortCut(dvd, 37));
    EXPECT_EQ(f.clicks["miDVDRewind"], 1);
    EXPECT_FALSE(DispatchShortCut(dvd, 40));   // fast forward's Down is not copied
    EXPECT_TRUE(DispatchShortCut(dvd, 32));     // Space: the copy runs the frame step's handlers
    EXPECT_EQ(f.clicks["miStepFrame"], 1);
    EXPECT_TRUE(DispatchShortCut(dvd, 83));
    EXPECT_EQ(f.clicks["miStop"], 1);
    for (QAction* a : f.ui.miDVDShortCut->actions().mid(6)) {
        EXPECT_FALSE(a->isVisible());
        EXPECT_TRUE(ItemCaption(a).isEmpty());
    }
    // Open, the bookmark steps and the section keys are the pop-up menus'
    // own hidden items: their keys work for files and DVDs without copies.
    const std::pair<const char*, WORD> beside[] = {
        {"miOpen", 79}, {"miPreviousBmk", 0x4000 | 'J'}, {"miNextBmk", 0x4000 | 'K'},
        {"miSaveSection", 0x2000 | 'A'}, {"miChainABSC", 0x2000 | 'C'}};
    for (const auto& [name, code] : beside) {
        if (code != 79) SetItemShortCut(f.Item(name), code);
        EXPECT_TRUE(DispatchShortCut(file, code)) << name;
        EXPECT_TRUE(DispatchShortCut(dvd, code)) << name;
        EXPECT_EQ(f.clicks[name], 2) << name;
    }
    DeleteMenuItemsFrom(f.ui.miDVDShortCut, 6);
    EXPECT_EQ(f.ui.miDVDShortCut->actions().size(), 6);
    DeleteMenuItemsFrom(f.ui.miDVDShortCut, 10);   // nothing beyond the end
    EXPECT_EQ(f.ui.miDVDShortCut->actions().size(), 6);
    EXPECT_NE(f.Item("miDVDRewind"), nullptr);      // the form's own items stay
}

TEST(ShortcutItems, StatusTextOfMenuToggles)
{
    const std::tuple<const char*, bool, bool, const char*> cases[] = {
        {"繰り返し再生(&L)", true, true, "繰り返し再生: ON"},
        {"繰り返し再生(&L)", true, false, "繰り返し再生: OFF"},
        {"タイトルメニュー(&T)", false, false, "タイトルメニュー"},
        {"次のファイル(チャプター)", false, false, "次のファイル(チャプター)"},
        {"アスペクト比(4:3)", true, true, "アスペクト比(4:3): ON"},
        {"&Open (x)", false, false, "Open (x)"},
        {"A(&B)C(D)", false, false, "AC(D)"},
        {"シャッフル", true, true, "シャッフル: ON"},
        {"", false, false, ""},
    };
    for (const auto& [caption, withState, checked, text] : cases)
        EXPECT_EQ(MenuStatusText(QString::fromUtf8(caption), withState, checked), QString::fromUtf8(text)) << caption;
}

// The main window's form resource on a plain form: every component the
// handlers name, the built-in shortcut table, radio groups and tags, the
// control strip's fit in the empty window, the button images and the
// extended open dialog.
#include "platform/forms/forms.h"
#include "ui_ZoMain.h"
#include "player/units/Imagelist.h"
#include "player/units/Opendialogex.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

struct Form {
    TForm window;
    Ui::TZoMain ui;
    Form()
    {
        ui.setupUi(&window);
        ApplyFormDesign(&window);
    }
    QAction* Item(const char* name) const { return window.findChild<QAction*>(QLatin1String(name)); }
    template <class T> T* Widget(const char* name) const { return window.findChild<T*>(QLatin1String(name)); }
};

QString ShotPath(const QString& name) { return QCoreApplication::applicationDirPath() + "/" + name; }

// Shortcut code (virtual key, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt) as a key sequence.
QKeySequence FromCode(int code)
{
    static const QHash<int, int> keys = {
        {32, Qt::Key_Space}, {33, Qt::Key_PageUp}, {34, Qt::Key_PageDown}, {35, Qt::Key_End},
        {36, Qt::Key_Home},  {37, Qt::Key_Left},   {38, Qt::Key_Up},       {39, Qt::Key_Right},
        {40, Qt::Key_Down},  {46, Qt::Key_Delete},
    };
    const int vk = code & 0xFF;
    int key = 0;
    if (keys.contains(vk)) key = keys.value(vk);
    else if (vk >= 'A' && vk <= 'Z') key = Qt::Key_A + (vk - 'A');
    else if (vk >= 112 && vk <= 123) key = Qt::Key_F1 + (vk - 112);
    int mods = 0;
    if (code & 0x2000) mods |= Qt::SHIFT;
    if (code & 0x4000) mods |= Qt::CTRL;
    if (code & 0x8000) mods |= Qt::ALT;
    return key ? QKeySequence(key | mods) : QKeySequence();
}

TEST(MainForm, EveryNamedComponentExists)
{
    Form f;
    EXPECT_EQ(f.window.windowTitle(), "Zoravel");

    for (const char* name :
         {"ViewPanel", "ControlPanel", "TrackBarForSeek", "TrackBarVolume", "ToolBarMain", "ToolBarSub",
          "ToolBarPower", "BtnOpen", "BtnStart", "BtnStop", "TBtnFastforward", "TBtnRewind", "BtnSkip",
          "TBtnNextTrack", "TBtnPreviousTrack", "BtnStepFrame", "BtnSound", "BtnList", "TBtnShowCombo",
          "TBtnShowLibrary", "TBtnShowFolder1", "TBPowerState", "LblTitle", "LblArtist", "tnTime", "taTime",
          "STxtbai", "TxtInfo", "MainMenuHolder"}) {
        EXPECT_NE(f.Widget<QWidget>(name), nullptr) << name;
    }
    for (const char* name :
         {"MainPopupMenu", "DVDPopupMenu", "TrackBarPopupMenu", "PmWindow", "PopupLib", "mikey", "miDVDShortCut",
          "miAudio", "MiBookMrk", "miSaveAB", "colorset1", "DVDColorSet", "MIDVDBookmark", "NDVDTitle",
          "NDVDAudio", "NDVDSubPic", "MIAngle", "NExtraMenu", "NClosedCaption", "MIKaraoke", "MIPanscan",
          "MenuDVDFlip", "MenuFlipVideo", "N19", "CDDB1", "MenuItem22"}) {
        EXPECT_NE(f.Widget<QMenu>(name), nullptr) << name;
        EXPECT_NE(f.Item(name), nullptr) << name << " (sub-menu item)";
    }
    for (const char* name :
         {"NFullScreen", "MIFullScr", "NClose", "MDVDClose", "NSelectedSize", "N640", "N320", "NSouce",
          "NSelectCurrentSize", "miKeepSize", "miWindowFix", "MiDVDWindowSize", "MiDVDSouceSize", "NPictureSize",
          "MIOriginalAspect", "miSizeRatio", "MIAspect43", "miAspect169", "MIUnlockAspect", "miAspectX",
          "miAspectY", "miAspectRatio", "miVideoWidth", "miVideoHeight", "miStretchW", "miStretchH",
          "NContinuousPlay", "NLoop", "MShuffle", "PMForeground", "NDVDForeground", "NProperty", "MIDVDSetup",
          "MIColor", "MIDVDColor", "miIsVMRMixerMode", "N17", "N18", "miBookmark2", "miMakeBkmrk",
          "miShowBkmrkDlg", "miSavePoints", "miChainSections", "miSaveSection", "miChainABSC", "SelTrackS",
          "SelTrackE", "SelTrackC", "miSelStart", "miSelEnd", "miSelClear", "NRootMenu", "NTitleMenu",
          "NAudioMenu", "NSPMenu", "NChapterMenu", "NAngleMenu", "NDisplaySP", "MiCcOn", "MiCcRightBottom",
          "MenuKaraoke1", "MenuKaraoke2", "MenuKaraoke3", "PanOff", "MenuPanscan", "MiVista", "MiResume",
          "MIStartClip", "MIPause", "MIStopClip", "MIFastForward", "MIBack", "MINext", "MIPrevious",
          "MiFlipDefault", "MiFlipV", "MiFlipH", "MiFlipHV", "MiDVDFlipDefault", "MiDVDFlipV", "MiDVDFlipH",
          "MiDVDFlipVH", "miCurrentAudio", "mibMorgan", "miOnePlay", "miConnectCDDB", "miSaveToCDIni",
          "MiFileBrowser", "MiListEdit", "MiCapture", "MiShowLibrary", "N24", "NShowFilter", "MIDVDFilter",
          "InputURL1", "miFolderSerch", "miDVDMenuR", "miDVDMenuL", "miDVDMenuU", "miDVDMenuD", "miDVDForward",
          "miDVDRewind"}) {
        EXPECT_NE(f.Item(name), nullptr) << name;
    }

    // Hidden sub-menus are hidden items; the separators that carry a tag
    // are separators.
    EXPECT_FALSE(f.Item("mikey")->isVisible());
    EXPECT_FALSE(f.Item("miAudio")->isVisible());
    EXPECT_FALSE(f.Item("miAudio")->isEnabled());
    EXPECT_TRUE(f.Item("NClosedCaption")->isVisible());
    for (const char* name : {"miAspectX", "miAspectY", "miAspectRatio", "miIsVMRMixerMode"})
        EXPECT_TRUE(f.Item(name)->isSeparator()) << name;

    // The key items keep the order the DVD copy relies on: five arrow and
    // step items first in mikey, six fixed items in miDVDShortCut.
    QStringList first;
    for (QAction* a : f.ui.mikey->actions().mid(0, 5)) first << a->objectName();
    EXPECT_EQ(first, QStringList({"miForward", "miRewind", "miSkip", "miStepBack", "miSkipBack"}));
    QStringList dvd;
    for (QAction* a : f.ui.miDVDShortCut->actions()) dvd << a->objectName();
    EXPECT_EQ(dvd, QStringList({"miDVDMenuR", "miDVDMenuL", "miDVDMenuU", "miDVDMenuD", "miDVDForward",
                                "miDVDRewind"}));
    for (QAction* a : f.ui.mikey->actions()) EXPECT_FALSE(a->isVisible()) << a->objectName().toStdString();
    // The rest of mikey in the order of the shortcut table: the key items
    // that are not the DVD's (the DVD start copies them from index 5 on).
    QStringList keyItems;
    for (QAction* a : f.ui.mikey->actions()) keyItems << a->objectName();
    EXPECT_EQ(keyItems, QStringList({"miForward", "miRewind", "miSkip", "miStepBack", "miSkipBack", "miStepFrame",
                                     "miShowPlayList", "miShowLibViewer", "miFoldeLib", "miPlay", "miStop",
                                     "miPlayNext", "miPlayPrevious", "miVolumeUp", "miVolumeDn", "miVolumeMute",
                                     "miShowBrowser", "miShowEditList", "miShowCapDlg", "miChangeWindow"}));
    // Open, the bookmark steps and the section keys are hidden items beside
    // the visible items they belong with, in both pop-up menus, so that
    // their keys work for files and DVDs alike.
    for (QMenu* popup : {f.ui.MainPopupMenu, f.ui.DVDPopupMenu}) {
        const QList<QAction*> items = popup->actions();
        const auto after = [&](QAction* item, QAction* before) {
            const int at = items.indexOf(item);
            return at > 0 && items.at(at - 1) == before;
        };
        QAction* bookmarks = (popup == f.ui.MainPopupMenu ? f.ui.MiBookMrk : f.ui.MIDVDBookmark)->menuAction();
        QAction* fullScreen = popup == f.ui.MainPopupMenu ? f.ui.NFullScreen : f.ui.MIFullScr;
        const std::string menu = popup->objectName().toStdString();
        EXPECT_TRUE(after(f.ui.miOpen, fullScreen)) << menu;
        EXPECT_TRUE(after(f.ui.miPreviousBmk, bookmarks)) << menu;
        EXPECT_TRUE(after(f.ui.miNextBmk, f.ui.miPreviousBmk)) << menu;
        EXPECT_TRUE(after(f.ui.miSaveSection, f.ui.miSaveAB->menuAction())) << menu;
        EXPECT_TRUE(after(f.ui.miChainABSC, f.ui.miChainSections)) << menu;
    }
    for (QAction* a : {f.ui.miOpen, f.ui.miPreviousBmk, f.ui.miNextBmk, f.ui.miSaveSection, f.ui.miChainABSC})
        EXPECT_FALSE(a->isVisible()) << a->objectName().toStdString();
    // Bookmark and section menus start with their three fixed items.
    EXPECT_EQ(f.ui.MiBookMrk->actions().size(), 3);
    EXPECT_EQ(f.ui.miSaveAB->actions().size(), 3);
    EXPECT_EQ(f.ui.MIDVDBookmark->actions().size(), 3);
    // The section menu serves files and DVDs alike.
    EXPECT_TRUE(f.ui.DVDPopupMenu->actions().contains(f.ui.miSaveAB->menuAction()));
}

TEST(MainForm, BuiltInShortcutsAreRecordedButNeverFiredByQt)
{
    Form f;
    const QList<QPair<const char*, int>> table = {
        {"NSelectedSize", 116}, {"N640", 117}, {"N320", 118}, {"NSouce", 119}, {"miKeepSize", 8308},
        {"miWindowFix", 8309}, {"MiDVDWindowSize", 8309}, {"NSelectCurrentSize", 8310}, {"MIAspect43", 16502},
        {"MIOriginalAspect", 16500}, {"miSizeRatio", 16501}, {"MIUnlockAspect", 16504}, {"miAspect169", 16503},
        {"NContinuousPlay", 16467}, {"NLoop", 16460}, {"MShuffle", 16456}, {"NFullScreen", 70},
        {"MIFullScr", 70}, {"PMForeground", 0}, {"NDVDForeground", 0}, {"NProperty", 0}, {"MIDVDSetup", 0},
        {"MIColor", 16451}, {"MIDVDColor", 16451}, {"NRootMenu", 16466}, {"NTitleMenu", 16468},
        {"miMakeBkmrk", 16450}, {"N17", 16450}, {"miShowBkmrkDlg", 8258}, {"N18", 8258}, {"miBookmark2", 8258},
        {"NDisplaySP", 0}, {"MiFileBrowser", 113}, {"MiListEdit", 114}, {"SelTrackS", 36}, {"miSelStart", 36},
        {"SelTrackE", 35}, {"miSelEnd", 35}, {"SelTrackC", 46}, {"miSelClear", 46}, {"miStepFrame", 32},
        {"miStepBack", 16416}, {"miSkip", 39}, {"miForward", 40}, {"miRewind", 38}, {"miSkipBack", 37},
        {"miShowPlayList", 76}, {"miShowLibViewer", 8268}, {"miFoldeLib", 8262}, {"miPlay", 80},
        {"miOpen", 79}, {"miStop", 83}, {"miPlayNext", 34}, {"miPlayPrevious", 33}, {"miVolumeUp", 121},
        {"miVolumeDn", 120}, {"miVolumeMute", 122}, {"miShowBrowser", 113}, {"miShowEditList", 114},
        {"miShowCapDlg", 115}, {"MiCapture", 115}, {"miDVDMenuR", 16423}, {"miDVDMenuL", 16421},
        {"miDVDMenuU", 16422}, {"miDVDMenuD", 16424}, {"miChangeWindow", 123}, {"miDVDForward", 39},
        {"miDVDRewind", 37}, {"miPreviousBmk", 0}, {"miNextBmk", 0}, {"miSaveSection", 0},
        {"miSavePoints", 0}, {"miChainABSC", 0}, {"miChainSections", 0},
    };
    for (const auto& [name, code] : table) {
        QAction* item = f.Item(name);
        ASSERT_NE(item, nullptr) << name;
        EXPECT_EQ(item->property("ShortCut").toInt(), code) << name;
        EXPECT_EQ(item->shortcut(), FromCode(code)) << name;
        EXPECT_EQ(item->shortcutContext(), Qt::WidgetShortcut) << name;
    }

    // Keys reach the form, not the items: the form's own dispatcher decides.
    // A window shortcut of the same kind fires, so the key path is live.
    // On an X server a window shortcut fires only once the window is active.
    f.window.show();
    f.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.window));
    int fired = 0, probe = 0;
    for (QAction* item : f.window.findChildren<QAction*>())
        QObject::connect(item, &QAction::triggered, [&fired] { ++fired; });
    QAction control(&f.window);
    control.setShortcut(QKeySequence(Qt::Key_Q));
    f.window.addAction(&control);
    QObject::connect(&control, &QAction::triggered, [&probe] { ++probe; });
    f.Item("mikey")->setVisible(true);
    for (QAction* item : f.ui.mikey->actions()) item->setVisible(true);   // visibility aside
    QTest::keyClick(&f.window, Qt::Key_Q);
    ASSERT_EQ(probe, 1);
    const QList<QPair<Qt::Key, Qt::KeyboardModifiers>> keys = {
        {Qt::Key_F, Qt::NoModifier}, {Qt::Key_R, Qt::ControlModifier}, {Qt::Key_P, Qt::NoModifier},
        {Qt::Key_Space, Qt::NoModifier}, {Qt::Key_F5, Qt::ShiftModifier}, {Qt::Key_Home, Qt::NoModifier}};
    for (const auto& [key, mods] : keys) QTest::keyClick(&f.window, key, mods);
    // Also while a pop-up menu is open.
    f.ui.MainPopupMenu->popup(f.window.mapToGlobal(QPoint(0, 0)));
    QCoreApplication::processEvents();
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : f.ui.MainPopupMenu;
    QTest::keyClick(target, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_F5);
    f.ui.MainPopupMenu->hide();
    EXPECT_EQ(fired, 0);
}

TEST(MainForm, RadioGroupsTagsAndInitialStates)
{
    Form f;
    // Size presets: tags 0..3, the video size checked; one of them at a time.
    const char* sizes[] = {"NSelectedSize", "N640", "N320", "NSouce"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(f.Item(sizes[i])->property("Tag").toInt(), i) << sizes[i];
    EXPECT_TRUE(f.Item("NSouce")->isChecked());
    f.Item("N640")->trigger();
    EXPECT_TRUE(f.Item("N640")->isChecked());
    EXPECT_FALSE(f.Item("NSouce")->isChecked());

    const char* aspects[] = {"MIOriginalAspect", "miSizeRatio", "MIAspect43", "miAspect169", "MIUnlockAspect"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(f.Item(aspects[i])->property("Tag").toInt(), i) << aspects[i];
    EXPECT_TRUE(f.Item("MIOriginalAspect")->isChecked());
    f.Item("MIUnlockAspect")->trigger();
    EXPECT_FALSE(f.Item("MIOriginalAspect")->isChecked());

    const char* flips[] = {"MiFlipDefault", "MiFlipV", "MiFlipH", "MiFlipHV"};
    const char* dvdFlips[] = {"MiDVDFlipDefault", "MiDVDFlipV", "MiDVDFlipH", "MiDVDFlipVH"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(f.Item(flips[i])->property("Tag").toInt(), i);
        EXPECT_EQ(f.Item(dvdFlips[i])->property("Tag").toInt(), i);
    }
    // The file and DVD flip groups are apart.
    f.Item("MiFlipV")->trigger();
    EXPECT_TRUE(f.Item("MiDVDFlipDefault")->isChecked());
    EXPECT_TRUE(f.Item("PanOff")->isChecked());

    // Tags that the handlers read.
    EXPECT_EQ(f.ui.BtnSkip->property("Tag").toInt(), 25);
    EXPECT_EQ(f.ui.TrackBarVolume->property("Tag").toInt(), 100);
    EXPECT_EQ(f.ui.BtnSound->property("Tag").toInt(), 0);
    EXPECT_EQ(f.ui.taTime->property("Tag").toInt(), 0);
    EXPECT_EQ(f.Item("MiBookMrk")->property("Tag").toInt(), 1);
    EXPECT_EQ(f.Item("miFolderSerch")->property("Tag").toInt(), 0);
    EXPECT_FALSE(f.ui.MiBookMrk->property("Tag").isValid());   // the item holds it, not the menu

    // Controls at rest.
    EXPECT_FALSE(f.ui.TrackBarForSeek->isEnabled());
    EXPECT_EQ(f.ui.TrackBarForSeek->maximum(), 0);
    EXPECT_EQ(f.ui.TrackBarVolume->maximum(), 100);
    EXPECT_TRUE(f.ui.TBPowerState->isCheckable());
    EXPECT_EQ(f.ui.tnTime->text(), "0:00:00");
    EXPECT_EQ(f.ui.taTime->text(), "0:00:00");
    EXPECT_EQ(f.ui.STxtbai->text(), "1x");
    EXPECT_EQ(f.ui.BtnStart->toolTip(), "再生");
    EXPECT_EQ(f.ui.BtnSound->text(), "vol.");
}

// Visible controls of the strip, in the strip's coordinates.
QList<QPair<QString, QRect>> VisibleControls(const Form& f)
{
    QList<QPair<QString, QRect>> out;
    for (QWidget* w : f.ui.ControlPanel->findChildren<QWidget*>()) {
        // The tool bars only hold buttons; the buttons are checked themselves.
        if (!w->isVisible() || w->objectName().startsWith("ToolBar")) continue;
        out.append({w->objectName(), QRect(w->mapTo(f.ui.ControlPanel, QPoint(0, 0)), w->size())});
    }
    return out;
}

TEST(MainForm, ControlStripFitsTheEmptyWindowAndShotsAreReadable)
{
    Form f;
    f.window.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(f.ui.ClientArea->size(), QSize(290, 60));
    EXPECT_EQ(f.ui.ControlPanel->geometry(), QRect(0, 2, 290, 58));
    EXPECT_EQ(f.ui.ViewPanel->geometry(), QRect(2, 2, 286, 0));
    EXPECT_EQ(f.ui.ToolBarPower->x(), 290 - 50);

    auto check = [&](const char* when) {
        const auto controls = VisibleControls(f);
        EXPECT_GE(controls.size(), 10) << when;
        for (int i = 0; i < controls.size(); ++i) {
            EXPECT_TRUE(QRect(0, 0, 290, 58).contains(controls[i].second))
                << when << ": " << controls[i].first.toStdString();
            for (int j = i + 1; j < controls.size(); ++j) {
                EXPECT_FALSE(controls[i].second.intersects(controls[j].second))
                    << when << ": " << controls[i].first.toStdString() << " overlaps "
                    << controls[j].first.toStdString();
            }
        }
    };
    check("at rest");
    EXPECT_TRUE(f.window.grab().save(ShotPath("mainform_empty.png")));

    // The volume area shown and a sound-only item (290 x 99) with its texts.
    f.ui.TrackBarVolume->show();
    f.ui.BtnSound->show();
    f.window.resize(290, 99);
    f.ui.ViewPanel->setGeometry(2, 2, 286, 39);
    f.ui.ControlPanel->move(0, 99 - 58);
    f.ui.LblTitle->setText("恋のうた - 山田花子");
    f.ui.LblArtist->setText("山田花子    はじめてのアルバム");
    f.ui.TxtInfo->setText("ボリューム 50");
    f.ui.TxtInfo->show();
    f.ui.taTime->setText("1:02:03");
    SetButtonImage(f.ui.BtnStart, StartImage::Pause);
    f.ui.TBPowerState->setChecked(true);
    QCoreApplication::processEvents();
    check("sound only");
    EXPECT_TRUE(f.window.grab().save(ShotPath("mainform_audio.png")));

    // The menus, to look at their captions.
    const QPoint at = f.window.mapToGlobal(QPoint(0, 0));
    int n = 0;
    for (QMenu* menu : {f.ui.MainPopupMenu, f.ui.DVDPopupMenu}) {
        for (QAction* a : menu->actions()) a->setVisible(true);
        menu->popup(at);
        QCoreApplication::processEvents();
        EXPECT_TRUE(menu->grab().save(ShotPath(QString("mainform_menu%1.png").arg(++n))));
        menu->hide();
    }
}

TEST(ImageList, ButtonImagesFollowTheButtonsList)
{
    Form f;
    // The form's own images after ApplyFormDesign.
    EXPECT_EQ(ButtonImageIndex(f.ui.BtnStart), StartImage::Play);
    EXPECT_EQ(ButtonImageIndex(f.ui.BtnSkip), ToolImage::SkipForward);
    EXPECT_EQ(ButtonImageIndex(f.ui.BtnStepFrame), ToolImage::StepForward);
    EXPECT_FALSE(f.ui.BtnStart->icon().isNull());
    EXPECT_EQ(ButtonImageList(f.ui.BtnStart), TImageList::Start);
    EXPECT_EQ(ButtonImageList(f.ui.BtnSkip), TImageList::Tool);

    SetButtonImage(f.ui.BtnStart, StartImage::Resume);
    EXPECT_EQ(ButtonImageIndex(f.ui.BtnStart), 5);
    // Index 6 exists in the shared list only.
    SetButtonImage(f.ui.BtnSkip, ToolImage::SkipBackward);
    EXPECT_EQ(ButtonImageIndex(f.ui.BtnSkip), 6);
    SetButtonImage(f.ui.BtnStart, 6);
    EXPECT_EQ(ButtonImageIndex(f.ui.BtnStart), -1);
    EXPECT_TRUE(f.ui.BtnStart->icon().isNull());
    SetButtonImage(nullptr, 0);   // nothing happens

    // Every image draws something, at any size and greyed when disabled.
    for (TImageList list : {TImageList::Start, TImageList::Tool}) {
        for (int i = 0; i < ImageCount(list); ++i) {
            const QImage normal = ListImage(list, i).pixmap(QSize(16, 16)).toImage();
            const QImage big = ListImage(list, i).pixmap(QSize(48, 48), QIcon::Disabled).toImage();
            auto inked = [](const QImage& img) {
                int n = 0;
                for (int y = 0; y < img.height(); ++y)
                    for (int x = 0; x < img.width(); ++x) n += qAlpha(img.pixel(x, y)) > 0;
                return n;
            };
            EXPECT_GT(inked(normal), 10) << int(list) << "/" << i;
            EXPECT_EQ(big.size(), QSize(48, 48));
            EXPECT_GT(inked(big), 90) << int(list) << "/" << i;
        }
        EXPECT_TRUE(ListImage(list, -1).isNull());
        EXPECT_TRUE(ListImage(list, ImageCount(list)).isNull());
    }
}

const QString kMediaFilter =
    "メディア ファイル|*.avi;*.mpg;*.MP3|Windows Media ファイル|*.asf;*.wma;*.wmv;*wm|"
    "ビデオ ファイル|*.avi;*.mpg;*.mpeg;*.m2p;*.m1v;*.mpa|IFO ファイル|*.ifo|すべてのファイル|*.*";

TEST(OpenDialogEx, FilterTextBecomesCaseBlindNameFilters)
{
    const QStringList filters = TOpenDialogEx::ToNameFilters(kMediaFilter);
    ASSERT_EQ(filters.size(), 5);
    EXPECT_EQ(filters[0], "メディア ファイル (*.[aA][vV][iI] *.[mM][pP][gG] *.[mM][pP]3)");
    EXPECT_EQ(filters[1], "Windows Media ファイル (*.[aA][sS][fF] *.[wW][mM][aA] *.[wW][mM][vV] *[wW][mM])");
    EXPECT_EQ(filters[4], "すべてのファイル (*)");

    // Patterns match upper and lower case as the file dialog matches them.
    const QRegularExpression mp3(QRegularExpression::wildcardToRegularExpression(
        TOpenDialogEx::CaseBlindPattern("*.mp3")));
    EXPECT_TRUE(mp3.match("SONG.MP3").hasMatch());
    EXPECT_TRUE(mp3.match("song.mp3").hasMatch());
    EXPECT_FALSE(mp3.match("song.mp4").hasMatch());

    // A name without patterns, empty patterns and unusable ones are left out.
    EXPECT_EQ(TOpenDialogEx::ToNameFilters("A|*.a|B||C|;;|D|*.(x)|E"), QStringList({"A (*.[aA])"}));
    EXPECT_TRUE(TOpenDialogEx::ToNameFilters("").isEmpty());
    // Name filters that Qt's dialog parses back into the same patterns.
    QFileDialog probe;
    probe.setOption(QFileDialog::DontUseNativeDialog, true);
    probe.setNameFilters(filters);
    EXPECT_EQ(probe.nameFilters(), filters);
}

TEST(OpenDialogEx, AnswererSeesTheRequestAndAnswers)
{
    TOpenDialogEx::Request seen;
    TOpenDialogEx::SetAnswerer([&](const TOpenDialogEx::Request& r) {
        seen = r;
        return TOpenDialogEx::Answer{true, {"/m/a.mp3", "/m/b.mp3"}, true, false};
    });
    TOpenDialogEx dialog(nullptr);
    dialog.SetFilter(kMediaFilter);
    dialog.SetInitialDir("/no/such/folder");
    dialog.SetFolderChecked(true);
    dialog.SetAppendVisible(false);
    dialog.SetAppendChecked(true);
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(seen.nameFilters.size(), 5);
    EXPECT_EQ(seen.initialDir, "/no/such/folder");
    EXPECT_TRUE(seen.folderChecked);
    EXPECT_FALSE(seen.appendVisible);
    EXPECT_TRUE(seen.multiSelect);
    EXPECT_FALSE(seen.folderCaption.isEmpty());
    EXPECT_FALSE(seen.appendCaption.isEmpty());
    EXPECT_EQ(dialog.Files(), QStringList({"/m/a.mp3", "/m/b.mp3"}));
    EXPECT_EQ(dialog.FileName(), "/m/a.mp3");
    EXPECT_TRUE(dialog.FolderChecked());
    EXPECT_FALSE(dialog.AppendChecked());

    // Cancel keeps the previous choice; accepting without a file is a cancel.
    TOpenDialogEx::SetAnswerer([](const TOpenDialogEx::Request&) { return TOpenDialogEx::Answer{}; });
    EXPECT_FALSE(dialog.Execute());
    TOpenDialogEx::SetAnswerer(
        [](const TOpenDialogEx::Request&) { return TOpenDialogEx::Answer{true, {}, false, true}; });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.Files().size(), 2);
    EXPECT_TRUE(dialog.FolderChecked());
    TOpenDialogEx::SetAnswerer(nullptr);
}

TEST(OpenDialogEx, QtDialogCarriesTheTwoBoxes)
{
    QTemporaryDir dir;
    const QString song = dir.filePath("SONG.MP3");
    QFile(song).open(QIODevice::WriteOnly);

    TOpenDialogEx dialog(nullptr);
    dialog.SetTitle("ライブラリに登録");
    dialog.SetFilter(kMediaFilter);
    dialog.SetFilterIndex(3);
    dialog.SetInitialDir(dir.path());
    dialog.SetFolderCaption("フォルダを登録(ファイルを一つ選択してください。)");
    dialog.SetAppendVisible(false);

    QString title, folder, filter, caption;
    bool appendShown = true, sawBoxes = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!box) return;
        title = box->windowTitle();
        folder = box->directory().path();
        filter = box->selectedNameFilter();
        auto* folderBox = box->findChild<QCheckBox*>("FolderCheck");
        auto* appendBox = box->findChild<QCheckBox*>("AppendCheck");
        sawBoxes = folderBox && appendBox;
        if (folderBox) {
            caption = folderBox->text();
            folderBox->setChecked(true);
        }
        if (appendBox) appendShown = appendBox->isVisible();
        box->selectFile(song);
        static_cast<QDialog*>(box)->accept();   // QFileDialog::accept, reached through the base
    });
    ASSERT_TRUE(dialog.Execute());
    EXPECT_TRUE(sawBoxes);
    EXPECT_EQ(title, "ライブラリに登録");
    EXPECT_EQ(QDir(folder).canonicalPath(), QDir(dir.path()).canonicalPath());
    EXPECT_TRUE(filter.startsWith("ビデオ ファイル"));
    EXPECT_EQ(caption, "フォルダを登録(ファイルを一つ選択してください。)");
    EXPECT_FALSE(appendShown);
    ASSERT_EQ(dialog.Files().size(), 1);
    EXPECT_EQ(QFileInfo(dialog.FileName()).canonicalFilePath(), QFileInfo(song).canonicalFilePath());
    EXPECT_TRUE(dialog.FolderChecked());
    EXPECT_EQ(dialog.FilterIndex(), 3);
}

}  // namespace

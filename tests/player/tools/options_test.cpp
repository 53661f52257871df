// The options dialog against a fake main window: every sheet loads what the
// window and the registry hold and writes back what the user changed, only
// the sheets that were shown; the drive speeds, the viewer size and the
// capture key's defaults; the bookmark clean-up beside a symbolic link; the
// decoder lists on the real GStreamer registry.
#include "common/Reghelp.h"
#include "platform/dialogs/dialogs.h"
#include "platform/media/catalogue.h"
#include "platform/media/graph.h"
#include "player/tools/DecoderLists.h"
#include "player/tools/OptionSheets.h"
#include "player/tools/TOKBottomDlg.h"
#include "player/units/Settings.h"
#include "support/test_util.h"
#include "ui_TOKBottomDlg.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <map>
#include <optional>
#include <variant>

namespace {

class FakeWindow : public IOptionsHost {
public:
    TMainSettings settings;
    TWindowOptions view;
    int applied = 0;
    TShownSheets shown;
    TWindowOptions chosen;
    int cacheCleared = 0;
    int bookmarksDeleted = 0;

    TMainSettings& MutableSettings() override { return settings; }
    TWindowOptions WindowOptions() const override { return view; }
    void ApplyOptions(const TMainSettings&, const TWindowOptions& c, TShownSheets s) override
    {
        ++applied;
        chosen = c;
        shown = s;
    }
    QString ReadExtensionList() override { return QStringLiteral("*.mpg;*.avi"); }
    void ClearExtensionListCache() override { ++cacheCleared; }
    void BookmarksDeleted() override { ++bookmarksDeleted; }
};

// The names of the values stored under a key.
QStringList ValueNames(const char* path)
{
    QStringList names;
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, path, KEY_READ);
    if (!key) return names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumValue(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names << QString::fromUtf8(name);
    }
    names.sort();
    return names;
}

std::optional<DWORD> Dword(const char* path, const char* name)
{
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, path, KEY_READ);
    DWORD type = 0, size = 0;
    if (!key || RegQueryValueEx(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    return RegReadDword(key.get(), name, 0xDEAD);
}

QString Text(const char* path, const char* name)
{
    QString text;
    if (const RegKey key = RegKey::Open(HKEY_CURRENT_USER, path, KEY_READ)) RegReadString(key.get(), name, &text, 260);
    return text;
}

QByteArray Id(const char* name)
{
    BYTE id[16] = {};
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kFiltersKey, KEY_READ);
    if (!key || RegReadBinary16(key.get(), name, id, nullptr) != ERROR_SUCCESS) return {};
    return QByteArray(reinterpret_cast<const char*>(id), 16);
}

class Options : public ::testing::Test {
protected:
    void SetUp() override
    {
        // OK only opens Main: the window made it when it started.
        RegKey::Create(HKEY_CURRENT_USER, kMainKey, KEY_WRITE);
    }
    void TearDown() override { dialogs::SetMessageBoxAnswerer({}); }
    TOKBottomDlg& Dialog()
    {
        if (!dialog) dialog = std::make_unique<TOKBottomDlg>(nullptr, nullptr, window);
        return *dialog;
    }
    Ui::TOKBottomDlg& F() { return *Dialog().Form(); }
    template <class T> T* Control(const char* name) { return Dialog().findChild<T*>(QString::fromLatin1(name)); }

    testutil::IsolatedHome home;
    FakeWindow window;
    std::unique_ptr<TOKBottomDlg> dialog;
};

// One row: a control of a sheet, the value the window's settings give it,
// the value the user sets, and the stored value OK writes.
struct Row {
    TOptionSheet sheet;
    const char* control;
    std::variant<bool, int> shown;
    std::variant<bool, int> set;
    const char* stored;
    DWORD written;
};

TEST_F(Options, EverySheetShowsTheWindowsSettingsAndWritesWhatTheUserChanged)
{
    using S = TOptionSheet;
    TMainSettings& s = window.settings;
    s.ShowExtension = false, s.ShowStatus = true, s.AspectRatio = 3, s.WindowSize = 1;
    s.MakeNewWindow = false, s.ShowPictureLength = 7, s.AdjustVBR = true;
    s.SkipLength = 30, s.SeekInterval = 300, s.WindowMousePos = 2, s.UseBookmark = true;
    s.IndexFontBold = true, s.DefaultSort = 4;
    s.PowerState = 1, s.ScreenSaver = true;
    s.Renderer = 0, s.Mpeg2OverlayMixer = true;
    s.DVDStretchVideo = false;
    s.Mpeg2Splitter = false;
    window.view.hints = false;
    const Row rows[] = {
        {S::Display, "CbShowExtension", false, true, "ShowExtension", 1},
        {S::Display, "CBHint", false, true, "ShowHint", 1},
        {S::Display, "ComboBox1", 3, 4, "AspectRatio", 4},
        {S::Display, "RbtnW3", false, true, "WindowSize", 2},
        {S::Play, "CbNewWindow", false, true, "MakeNewWindow", 1},
        {S::Play, "UpDownPicTime", 7, 60, "ShowPictureLength", 60},
        {S::Play, "chAdjustVBR", true, false, "AdjustVBR", 0},
        {S::Operation, "UpDown2", 30, 45, "SkipLength", 45},
        {S::Operation, "UpDnSeekInterval", 300, 2000, "SeekInterval", 2000},
        {S::Operation, "CmbShowDlg", 2, 4, "WindowMousePos", 4},
        {S::Operation, "ChUseBookmrk", true, false, "UseBookmark", 0},
        {S::Viewer, "ChBold", true, false, "IndexFontBold", 0},
        {S::Viewer, "UpDnWidth", 25, 100, "ViewerMax", 100 * 256 + 40},
        {S::Power, "RBtnShutDown", false, true, "PowerState", 2},
        {S::Power, "CbSSOff", true, false, "ScreenSaver", 0},
        {S::Output, "RbtnVMR9", false, true, "Renderer", 3},
        {S::Output, "CbMpeg2withOvelay", true, false, "Mpeg2OverlayMixer", 0},
        {S::Output, "ComboDVDRenderer", 0, 0, "DVDRenderer", 0},
        {S::Dvd, "CbDVDStretch", false, true, "DVDStretchVideo", 1},
        {S::Dvd, "ChbVMRSupported", true, false, "DVDCheckVMRSupport", 0},
        {S::Dvd, "ComboDVDMenu", 0, 6, "DVDMenu", 6},
        {S::Decoder, "CBSplitter", false, true, "MPEG-2 Splitter", 1},
        {S::Cd, "ChReadCDText", true, false, "ReadCDText", 0},
        {S::Cd, "ChSaveToWinFolder", false, true, "SaveINIToWinFolder", 1},
    };
    for (const Row& r : rows) {
        Dialog().ShowSheet(r.sheet);
        SCOPED_TRACE(r.control);
        if (auto* b = Control<QAbstractButton>(r.control)) {
            EXPECT_EQ(b->isChecked(), std::get<bool>(r.shown));
            b->setChecked(std::get<bool>(r.set));
        } else if (auto* n = Control<QSpinBox>(r.control)) {
            EXPECT_EQ(n->value(), std::get<int>(r.shown));
            n->setValue(std::get<int>(r.set));
        } else if (auto* c = Control<QComboBox>(r.control)) {
            EXPECT_EQ(c->currentIndex(), std::get<int>(r.shown));
            c->setCurrentIndex(std::get<int>(r.set));
        } else {
            ADD_FAILURE() << "no control";
        }
    }
    F().OKBtn->click();
    for (const Row& r : rows) EXPECT_EQ(Dword(kMainKey, r.stored), std::optional<DWORD>(r.written)) << r.stored;
    // The window got the values and learnt which sheets were shown.
    EXPECT_EQ(window.applied, 1);
    EXPECT_EQ(s.AspectRatio, 4u);
    EXPECT_EQ(s.WindowSize, 2u);
    EXPECT_TRUE(s.MakeNewWindow);
    EXPECT_EQ(s.Renderer, 3u);
    EXPECT_TRUE(window.chosen.hints);
    EXPECT_FALSE(window.shown[size_t(S::Capture)]);
    EXPECT_FALSE(window.shown[size_t(S::Drive)]);
    EXPECT_TRUE(window.shown[size_t(S::Cd)]);
    // Sheets never shown wrote nothing of theirs.
    EXPECT_FALSE(Dword(kMainKey, "DriveSpeed"));
    EXPECT_TRUE(ValueNames(kCaptureKey).filter(QStringLiteral("Overlay")).isEmpty());
}

TEST_F(Options, OkAfterTheFirstSheetOnlyWritesItsValues)
{
    EXPECT_EQ(F().PageControl1->currentWidget(), F().SheetDisplay);
    EXPECT_EQ(Dialog().windowTitle(), QStringLiteral("設定"));
    F().OKBtn->click();
    EXPECT_EQ(ValueNames(kMainKey), QStringList({"AspectRatio", "GetVideoSize", "ShowExtension", "ShowHint",
                                                 "ShowStatus", "VolumeAuto", "WindowSize"}));
    EXPECT_TRUE(ValueNames(kFiltersKey).isEmpty());
    EXPECT_EQ(Dialog().result(), QDialog::Accepted);
}

TEST_F(Options, CancelWritesNothingAndLeavesTheWindowAlone)
{
    Dialog().ShowSheet(TOptionSheet::Play);
    F().CbNewWindow->setChecked(true);
    F().CancelBtn->click();
    EXPECT_EQ(window.applied, 0);
    EXPECT_FALSE(window.settings.MakeNewWindow);
    EXPECT_TRUE(ValueNames(kMainKey).isEmpty());
}

TEST_F(Options, DriveSpeedsRoundTripAndUnknownFactorsFallToTheDefault)
{
    // Limit on, restore off, audio CD 12x, other CD 12x, DVD 6x.
    const DWORD stored = 0x2000000u | 12u << 16 | 12u << 8 | 6u;
    window.settings.DriveSpeed = stored;
    Dialog().ShowSheet(TOptionSheet::Drive);
    EXPECT_TRUE(F().ChSetDriveSpeed->isChecked());
    EXPECT_FALSE(F().CheckBox4->isChecked());
    EXPECT_EQ(F().ComboBox2->currentText(), QStringLiteral("12x"));
    EXPECT_EQ(F().ComboBox3->currentText(), QStringLiteral("12x"));
    EXPECT_EQ(F().ComboBox4->currentText(), QStringLiteral("6x"));
    F().OKBtn->click();
    EXPECT_EQ(Dword(kMainKey, "DriveSpeed"), std::optional<DWORD>(stored));

    // 4x is not offered for other CDs; the restore flag is bit 24.
    const TDriveSpeedChoice odd = DecodeDriveSpeed(0x1000000u | 4u << 8);
    EXPECT_TRUE(odd.restore);
    EXPECT_FALSE(odd.limit);
    EXPECT_EQ(odd.otherCd, 0);
    EXPECT_EQ(EncodeDriveSpeed(odd), 0x1000000u);
}

TEST_F(Options, ViewerSizeSplitsIntoWidthAndHeightAndBitmapFontsTakeSize14)
{
    window.settings.ViewerMax = 6440;
    window.settings.ViewerFontSize = 9;
    Dialog().ShowSheet(TOptionSheet::Viewer);
    EXPECT_EQ(F().UpDnWidth->value(), 25);
    EXPECT_EQ(F().UpDnHeight->value(), 40);
    // The height can never spill into the width.
    EXPECT_EQ(F().UpDnHeight->maximum(), 100);
    F().UpDnHeight->setValue(255);
    F().CBxFont->addItem(QStringLiteral("FixedSys"));
    F().CBxFont->setCurrentIndex(F().CBxFont->count() - 1);
    F().OKBtn->click();
    EXPECT_EQ(window.settings.ViewerMax, 25u * 256 + 100);
    EXPECT_EQ(Dword(kMainKey, "ViewerFontSize"), std::optional<DWORD>(14));
    EXPECT_EQ(Text(kMainKey, "ViewerFont"), QStringLiteral("FixedSys"));
}

TEST_F(Options, TheCaptureSheetOnAFreshProfileKeepsOverlayOffAndItsFolder)
{
    Dialog().ShowSheet(TOptionSheet::Capture);
    EXPECT_TRUE(F().cbOverlayOff->isChecked());
    EXPECT_TRUE(F().RbCapAutoSel->isChecked());
    EXPECT_FALSE(F().EdtPictureFolder->text().isEmpty());
    EXPECT_FALSE(F().WarningText->isVisibleTo(&Dialog()));
    const QString folder = home.File(QStringLiteral("shots"));
    QDir().mkpath(folder);
    F().EdtPictureFolder->setText(folder);
    F().RbFilterCapture->setChecked(true);
    F().ComboCapPos->setCurrentIndex(4);
    F().OKBtn->click();
    EXPECT_EQ(Dword(kCaptureKey, "OverlayOff"), std::optional<DWORD>(1));
    EXPECT_EQ(Dword(kCaptureKey, "CaptureMethod"), std::optional<DWORD>(2));
    EXPECT_EQ(Dword(kCaptureKey, "CaptureWindowPosition"), std::optional<DWORD>(4));
    EXPECT_EQ(Text(kCaptureKey, "CaptureFolder"), folder);
}

TEST_F(Options, OverlayWarningShowsWhileEmulationIsOnAndItsButtonClearsIt)
{
    {
        const RegKey key = RegKey::Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectDraw", KEY_WRITE);
        RegWriteDword(key.get(), "EmulationOnly", 1);
    }
    QStringList said;
    dialogs::SetMessageBoxAnswerer([&](const dialogs::MessageBoxCall& c) {
        said << c.caption + ": " + c.text;
        return IDOK;
    });
    Dialog().ShowSheet(TOptionSheet::Capture);
    EXPECT_TRUE(F().btnEnableOverlay->isVisibleTo(&Dialog()));
    F().btnEnableOverlay->click();
    EXPECT_FALSE(F().btnEnableOverlay->isVisibleTo(&Dialog()));
    EXPECT_FALSE(F().WarningText->isVisibleTo(&Dialog()));
    EXPECT_EQ(said, QStringList({"情報: Overlay を有効にしました。"}));
    const RegKey key = RegKey::Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectDraw", KEY_READ);
    EXPECT_EQ(RegReadDword(key.get(), "EmulationOnly", 9), 0u);
}

TEST_F(Options, DeletingBookmarksLeavesLinksAndOtherFilesAndSaysSo)
{
    const QString root = home.Path() + QStringLiteral("/data/Bookmark/");
    qputenv("ZORAVEL_HOME", (home.Path() + QStringLiteral("/data")).toUtf8());
    const QString outside = home.File(QStringLiteral("outside"));
    ASSERT_TRUE(testutil::WriteFile(outside + QStringLiteral("/keep.rsm"), "x"));
    ASSERT_TRUE(testutil::WriteFile(root + QStringLiteral("DISC1/a.rsm"), "x"));
    ASSERT_TRUE(testutil::WriteFile(root + QStringLiteral("DISC1/b.bmk"), "x"));
    ASSERT_TRUE(testutil::WriteFile(root + QStringLiteral("DISC2/c.BMK"), "x"));
    ASSERT_TRUE(testutil::WriteFile(root + QStringLiteral("DISC2/notes.txt"), "x"));
    ASSERT_TRUE(QFile::link(outside, root + QStringLiteral("LINKED")));

    QStringList said;
    dialogs::SetMessageBoxAnswerer([&](const dialogs::MessageBoxCall& c) {
        said << c.caption;
        return c.caption == QStringLiteral("確認") ? IDYES : IDOK;
    });
    Dialog().ShowSheet(TOptionSheet::Operation);
    F().BtnDelBM->click();

    EXPECT_EQ(said, QStringList({"確認", "情報"}));
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("DISC1")));
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("DISC2/c.BMK")));
    EXPECT_TRUE(QFileInfo::exists(root + QStringLiteral("DISC2/notes.txt")));
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("LINKED")).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(outside + QStringLiteral("/keep.rsm")));
    EXPECT_EQ(window.bookmarksDeleted, 1);

    // "No" touches nothing.
    said.clear();
    dialogs::SetMessageBoxAnswerer([&](const dialogs::MessageBoxCall& c) {
        said << c.caption;
        return IDNO;
    });
    F().BtnDelBM->click();
    EXPECT_EQ(said, QStringList({"確認"}));
    EXPECT_EQ(window.bookmarksDeleted, 1);
    qunsetenv("ZORAVEL_HOME");
}

TEST_F(Options, ResumeChoicesExcludeEachOtherAndDvdDefaultsComeBack)
{
    window.settings.ResumeFile = false;
    window.settings.OpenSpecificFile = false;
    Dialog().ShowSheet(TOptionSheet::Play);
    EXPECT_FALSE(F().CbResumePosition->isEnabled());
    F().CbResumeFile->click();
    EXPECT_TRUE(F().CbResumePosition->isEnabled());
    F().CbOpenSpecificFile->click();
    EXPECT_FALSE(F().CbResumeFile->isChecked());
    F().CbOpenSpecificFile->click();
    EXPECT_FALSE(F().CbResumePosition->isEnabled());

    Dialog().ShowSheet(TOptionSheet::Dvd);
    F().CbDvdGraphBuilder->click();
    EXPECT_FALSE(F().ChVMR9Windowed->isEnabled());
    F().CBAutoresize->setChecked(false);
    F().ChDVDAudioFfRw->setChecked(true);
    F().ComboDVDAudio->setCurrentIndex(6);
    F().BtnDefault->click();
    EXPECT_TRUE(F().CBAutoresize->isChecked());
    EXPECT_FALSE(F().ChDVDAudioFfRw->isChecked());
    EXPECT_FALSE(F().CbDvdGraphBuilder->isChecked());
    EXPECT_TRUE(F().ChVMR9Windowed->isEnabled());
    EXPECT_EQ(F().ComboDVDAudio->currentText(), QStringLiteral("日本語 "));
    EXPECT_EQ(F().ComboDVDMenu->itemText(5), QStringLiteral("イタリア語 "));
}

// ---- the decoder lists, on the GStreamer registry of this machine ----

TEST_F(Options, DecoderListsOfferTheInstalledDecodersAndKeepPairsApart)
{
    const std::vector<media::CatalogueEntry> video = media::MatchingDecoders(2, false);
    if (video.empty()) GTEST_SKIP() << "no MPEG-2 video decoder installed";
    const media::CatalogueEntry& first = video.front();
    // The audio list already holds that name: the video list may not take it.
    window.settings.MPEG2Audio = first.name;
    Dialog().ShowSheet(TOptionSheet::Decoder);
    TDecoderLists& lists = Dialog().Decoders();
    EXPECT_EQ(F().CmbMpeg2V->count(), 1);
    EXPECT_EQ(F().CmbMpeg2V->currentText(), QStringLiteral("初期値"));
    EXPECT_EQ(F().CmbMpeg2A->currentText(), first.name);

    QStringList said;
    dialogs::SetMessageBoxAnswerer([&](const dialogs::MessageBoxCall& c) {
        said << c.caption + ": " + c.text;
        return IDOK;
    });
    lists.DropDown(2);
    ASSERT_EQ(F().CmbMpeg2V->count(), int(video.size()) + 1);
    EXPECT_EQ(F().CmbMpeg2V->itemText(1), first.name);
    F().CmbMpeg2V->setCurrentIndex(1);
    emit F().CmbMpeg2V->activated(1);
    EXPECT_EQ(said, QStringList({"警告: デコーダーが重複します"}));
    EXPECT_EQ(F().CmbMpeg2V->currentIndex(), 0);
    EXPECT_TRUE(lists.Name(2).isEmpty());

    // MPEG-1 video and MPEG-1 capture may share one.
    const std::vector<media::CatalogueEntry> mpeg1 = media::MatchingDecoders(0, false);
    if (!mpeg1.empty()) {
        lists.DropDown(0);
        lists.DropDown(6);
        F().CmbMpeg1V->setCurrentIndex(1);
        emit F().CmbMpeg1V->activated(1);
        F().CmbMpeg1Cap->setCurrentIndex(1);
        emit F().CmbMpeg1Cap->activated(1);
        EXPECT_EQ(lists.Name(0), lists.Name(6));
        EXPECT_EQ(said.size(), 1);
    }

    // A second drop-down shows the same items.
    lists.DropDown(2);
    EXPECT_EQ(F().CmbMpeg2V->count(), int(video.size()) + 1);

    // The audio list lets go: now the video list takes it.
    F().CmbMpeg2A->setCurrentIndex(0);
    lists.DropDown(3);
    F().CmbMpeg2A->setCurrentIndex(0);
    emit F().CmbMpeg2A->activated(0);
    F().CmbMpeg2V->setCurrentIndex(1);
    emit F().CmbMpeg2V->activated(1);
    EXPECT_EQ(lists.Name(2), first.name);

    // "すべて表示" keeps the choice as the one item until the next drop-down.
    F().CheckBox3->click();
    EXPECT_EQ(F().CmbMpeg2V->count(), 1);
    EXPECT_EQ(F().CmbMpeg2V->currentText(), first.name);
    EXPECT_EQ(lists.ChosenId(2), std::optional<QByteArray>(first.classId));

    F().OKBtn->click();
    EXPECT_EQ(window.settings.MPEG2Video, first.name);
    EXPECT_EQ(Id("MPEG2VCLSID"), first.classId);
    EXPECT_EQ(media::FactoryForClassId(Id("MPEG2VCLSID")), first.factory);
    EXPECT_EQ(Id("MPEG2ACLSID"), QByteArray(16, '\0'));
    // Lists never dropped down write no identifier.
    EXPECT_TRUE(Id("DVDVCLSID").isEmpty());
    EXPECT_EQ(Text(kMainKey, "MPEG2Audio"), QString());
}

TEST_F(Options, DecoderNamesAreUniqueInEveryKind)
{
    for (int kind = 0; kind < media::kDecoderKinds; ++kind) {
        for (bool any : {false, true}) {
            QStringList names;
            for (const media::CatalogueEntry& e : media::MatchingDecoders(kind, any)) {
                EXPECT_FALSE(names.contains(e.name)) << e.name.toStdString();
                EXPECT_EQ(e.classId, media::FactoryClassId(e.factory));
                names << e.name;
            }
        }
    }
}

}  // namespace

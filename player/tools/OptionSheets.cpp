#include "player/tools/OptionSheets.h"

#include "common/Reghelp.h"
#include "platform/paths/paths.h"
#include "platform/profile/profile.h"
#include "player/tools/DecoderLists.h"
#include "player/units/Settings.h"
#include "player/units/Verinfo.h"
#include "ui_TOKBottomDlg.h"

#include <gst/gst.h>

#include <QColor>
#include <QDir>
#include <QFontDatabase>
#include <QStandardPaths>

#include <array>

namespace {

const char kSpecificSection[] = "SpecificFile";
const char kSpecificKey[] = "FileName";
// The capture sheet's warning: overlay switched off for every user.
const char kDirectDrawKey[] = "SOFTWARE\\Microsoft\\DirectDraw";

QString ResumeProfile() { return ListFilesFolderPath() + QStringLiteral("Resume.rsm"); }

// The speed factors of the drive lists by item; item 0 sets no limit.
constexpr std::array<int, 5> kAudioCdSpeeds{0, 12, 8, 4, 2};
constexpr std::array<int, 5> kOtherCdSpeeds{0, 24, 16, 12, 8};
constexpr std::array<int, 5> kDvdSpeeds{0, 8, 6, 4, 2};

int ItemOfSpeed(const std::array<int, 5>& speeds, int factor)
{
    for (size_t i = 1; i < speeds.size(); ++i)
        if (speeds[i] == factor) return int(i);
    return 0;
}

int SpeedOfItem(const std::array<int, 5>& speeds, int item)
{
    return item >= 0 && item < int(speeds.size()) ? speeds[item] : 0;
}

// Colours are stored as colour references, 0x00BBGGRR.
QColor ColorOfRef(DWORD ref) { return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF); }

void SetChecked(QAbstractButton* button, bool on) { button->setChecked(on); }

// Selects `index` when the list has such an item.
void SelectIfThere(QComboBox* list, DWORD index)
{
    if (index < DWORD(list->count())) list->setCurrentIndex(int(index));
}

bool FactoryExists(const char* name)
{
    gst_init(nullptr, nullptr);
    GstElementFactory* factory = gst_element_factory_find(name);
    if (factory) gst_object_unref(factory);
    return factory != nullptr;
}

// The Windows Media runtime is GStreamer's ASF demuxer: its plugin's module,
// empty when the demuxer is not installed.
QString WindowsMediaModule()
{
    gst_init(nullptr, nullptr);
    GstElementFactory* factory = gst_element_factory_find("asfdemux");
    if (!factory) return {};
    QString file;
    if (GstPlugin* plugin = gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(factory))) {
        file = QString::fromUtf8(gst_plugin_get_filename(plugin));
        gst_object_unref(plugin);
    }
    gst_object_unref(factory);
    return file;
}

}  // namespace

TDriveSpeedChoice DecodeDriveSpeed(DWORD value)
{
    TDriveSpeedChoice c;
    c.limit = (value >> 25) != 0;
    c.restore = (value & 0x1000000) != 0;
    c.audioCd = ItemOfSpeed(kAudioCdSpeeds, int((value >> 16) & 0xFF));
    c.otherCd = ItemOfSpeed(kOtherCdSpeeds, int((value >> 8) & 0xFF));
    c.dvd = ItemOfSpeed(kDvdSpeeds, int(value & 0xFF));
    return c;
}

DWORD EncodeDriveSpeed(const TDriveSpeedChoice& c)
{
    return DWORD(SpeedOfItem(kAudioCdSpeeds, c.audioCd)) << 16 | DWORD(SpeedOfItem(kOtherCdSpeeds, c.otherCd)) << 8 |
           DWORD(SpeedOfItem(kDvdSpeeds, c.dvd)) | (c.limit ? 0x2000000u : 0u) | (c.restore ? 0x1000000u : 0u);
}

TOptionSheets::TOptionSheets(Ui::TOKBottomDlg& form, IOptionsHost& host, TDecoderLists& decoders, QWidget* dialog)
    : f_(form), host_(host), decoders_(decoders), dialog_(dialog)
{
}

QWidget* TOptionSheets::Sheet(TOptionSheet sheet) const { return f_.PageControl1->widget(int(sheet)); }

bool TOptionSheets::Shown(TOptionSheet sheet) const { return Sheet(sheet)->property("Tag").toInt() == 1; }

void TOptionSheets::Construct()
{
    view_ = host_.WindowOptions();
    f_.CBShowPSBtn->setChecked(view_.powerButtonVisible);
    f_.ChUseViewer->setChecked(view_.viewerButtonsVisible);
    // Renderer 2 draws through the GL sink, Renderer 3 paints the frames of an application sink.
    vmr7_ = FactoryExists("glimagesink");
    vmr9_ = FactoryExists("appsink");
    if (!vmr7_) {
        for (QAbstractButton* b : {static_cast<QAbstractButton*>(f_.RbtnVMR7), static_cast<QAbstractButton*>(f_.RbVMR7Capture),
                                   static_cast<QAbstractButton*>(f_.CbVideoReversal),
                                   static_cast<QAbstractButton*>(f_.ChDeinterlaceCap)}) {
            b->setEnabled(false);
            b->setChecked(false);
        }
    }
    if (!vmr9_) {
        for (QAbstractButton* b : {static_cast<QAbstractButton*>(f_.RbtnVMR9), static_cast<QAbstractButton*>(f_.RbVMR9Capture)}) {
            b->setEnabled(false);
            b->setChecked(false);
        }
    }
}

void TOptionSheets::Show(TOptionSheet sheet)
{
    if (Shown(sheet)) return;
    Sheet(sheet)->setProperty("Tag", 1);
    switch (sheet) {
    case TOptionSheet::Display: LoadDisplay(); break;
    case TOptionSheet::Play: LoadPlay(); break;
    case TOptionSheet::Operation: LoadOperation(); break;
    case TOptionSheet::Viewer: LoadViewer(); break;
    case TOptionSheet::Power: LoadPower(); break;
    case TOptionSheet::Decoder: {
        const TMainSettings& s = host_.MutableSettings();
        f_.CBSplitter->setChecked(s.Mpeg2Splitter);
        QString dvdVideo, dvdAudio, cap1, cap2;
        if (const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_READ)) {
            RegReadString(key.get(), "DVDVideoDecoder", &dvdVideo, 128);
            RegReadString(key.get(), "DVDAudioDecoder", &dvdAudio, 128);
        }
        if (const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kCaptureKey, KEY_READ)) {
            RegReadString(key.get(), "MPEG1CapDecoder", &cap1, 128);
            RegReadString(key.get(), "MPEG2CapDecoder", &cap2, 128);
        }
        decoders_.Fill({s.MPEG1Video, s.MPEG1Audio, s.MPEG2Video, s.MPEG2Audio, dvdVideo, dvdAudio, cap1, cap2});
        break;
    }
    case TOptionSheet::Output: LoadOutput(); break;
    case TOptionSheet::Capture: LoadCapture(); break;
    case TOptionSheet::Dvd: LoadDvd(); break;
    case TOptionSheet::Cd: LoadCd(); break;
    case TOptionSheet::Drive: LoadDrive(); break;
    case TOptionSheet::Count: break;
    }
}

void TOptionSheets::LoadDisplay()
{
    const TMainSettings& s = host_.MutableSettings();
    const std::array<QRadioButton*, 4> sizes{f_.RbtnWf, f_.RbtnW6, f_.RbtnW3, f_.RbtnWa};
    if (s.WindowSize < sizes.size()) sizes[s.WindowSize]->setChecked(true);
    f_.ChKeepSize->setChecked(view_.keepSize);
    f_.CbWidthFix->setChecked(view_.aspectLock);
    f_.CbShowExtension->setChecked(s.ShowExtension);
    f_.CBHint->setChecked(view_.hints);
    f_.CbShowStatus->setChecked(s.ShowStatus);
    f_.CbAutoVolume->setChecked(s.VolumeAuto);
    SelectIfThere(f_.ComboBox1, s.AspectRatio);
    f_.ChGetVideoSize->setChecked(s.GetVideoSize);
}

void TOptionSheets::LoadPlay()
{
    const TMainSettings& s = host_.MutableSettings();
    SetChecked(f_.CbNewWindow, s.MakeNewWindow);
    SetChecked(f_.CbSeekability, s.CheckSeekability);
    SetChecked(f_.CbWMVinfo, s.ReadWmvTag);
    SetChecked(f_.ChID3v2, s.ReadID3v2);
    SetChecked(f_.CbASFReader, s.UseNewASFReader);
    SetChecked(f_.CbUseRMDSF, s.UseRMDSF);
    SetChecked(f_.chAdjustVBR, s.AdjustVBR);
    SetChecked(f_.CBActivateWindow, s.ActivateWindow);
    f_.UpDownPicTime->setValue(int(s.ShowPictureLength));
    SetChecked(f_.CbResumeFile, s.ResumeFile);
    SetChecked(f_.CbResumePosition, s.ResumePosition);
    SetChecked(f_.CbOpenSpecificFile, s.OpenSpecificFile);
    f_.EdtOpenFileName->setText(profile::ReadProfileString(ResumeProfile(), kSpecificSection, kSpecificKey, QString()).left(259));
    // Without the ASF demuxer there is nothing to seek-check or read tags
    // from; a runtime of major version 9 or later brings its own reader.
    const QString module = WindowsMediaModule();
    if (module.isEmpty()) {
        for (QCheckBox* b : {f_.CbSeekability, f_.CbWMVinfo}) {
            b->setChecked(false);
            b->setEnabled(false);
        }
    } else if (CVerInfo(module).GetMajor() >= 9) {
        f_.CbASFReader->setChecked(false);
        f_.CbASFReader->setEnabled(false);
    }
    f_.CbResumePosition->setEnabled(f_.CbResumeFile->isChecked() || f_.CbOpenSpecificFile->isChecked());
}

void TOptionSheets::LoadOperation()
{
    const TMainSettings& s = host_.MutableSettings();
    f_.UpDown1->setValue(int(s.FastForwardLength));
    f_.UpDown2->setValue(int(s.SkipLength));
    f_.UpDnSeekInterval->setValue(int(s.SeekInterval));
    f_.UpDnMouseLen->setValue(int(s.MouseCtlLength));
    f_.ColorWait->setValue(int(s.ColorCtlWait));
    SetChecked(f_.CbStillSeek, s.StillSeek);
    SetChecked(f_.CBSerchFiles, s.SerchFiles);
    SetChecked(f_.ChResetColor, s.ResetColor);
    SetChecked(f_.CbUseColorctl, s.UseColorCtrl);
    SetChecked(f_.CheckBox1, s.ReduceSeekingLoad);
    SelectIfThere(f_.CmbShowDlg, s.WindowMousePos);
    SetChecked(f_.ChUseBookmrk, s.UseBookmark);
}

void TOptionSheets::LoadViewer()
{
    TMainSettings& s = host_.MutableSettings();
    SetChecked(f_.ChShowIcon, s.ShowLibraryIcon);
    SetChecked(f_.ChBold, s.IndexFontBold);
    SetChecked(f_.ChLockMLWidth, s.LockMLWidth);
    SetChecked(f_.ChKeepSort, s.KeepSortType);
    SetChecked(f_.ChSetTop, s.SetTopItem);
    f_.UpDnWidth->setValue(int(s.ViewerMax >> 8));
    f_.UpDnHeight->setValue(int(s.ViewerMax & 0xFF));
    // The fonts that can write Japanese; vertical and symbol variants left out.
    f_.CBxFont->clear();
    for (const QString& family : QFontDatabase::families(QFontDatabase::Japanese))
        if (!family.startsWith(QLatin1Char('@')) && !family.startsWith(QLatin1Char('$'))) f_.CBxFont->addItem(family);
    if (s.ViewerFont.isEmpty()) s.ViewerFont = dialog_->font().family();
    const int font = f_.CBxFont->findText(s.ViewerFont);
    if (font >= 0) f_.CBxFont->setCurrentIndex(font);
    else {
        f_.CBxFont->addItem(s.ViewerFont);
        f_.CBxFont->setCurrentIndex(f_.CBxFont->count() - 1);
    }
    f_.UpDownFont->setValue(int(s.ViewerFontSize));
    f_.Shape1->setProperty("color", ColorOfRef(s.IndexFontColor));
    f_.Shape1->setStyleSheet(QStringLiteral("background: %1;").arg(ColorOfRef(s.IndexFontColor).name()));
    SelectIfThere(f_.ComboSort, s.DefaultSort);
}

void TOptionSheets::LoadPower()
{
    const TMainSettings& s = host_.MutableSettings();
    const std::array<QRadioButton*, 3> states{f_.RBtnSuspend, f_.RBtnClose, f_.RBtnShutDown};
    if (s.PowerState < states.size()) states[s.PowerState]->setChecked(true);
    SetChecked(f_.CBPowerEnable, s.PowerControl);
    f_.CBPowerEnable->setEnabled(!view_.dvdOpen);
    SetChecked(f_.CbSSOff, s.ScreenSaver);
    SetChecked(f_.CbMonitor, s.MonitorPower);
}

void TOptionSheets::LoadOutput()
{
    const TMainSettings& s = host_.MutableSettings();
    switch (s.Renderer) {
    case 0: f_.RbNotWindowless->setChecked(true); break;
    case 1: f_.RbUseOldRenderer->setChecked(true); break;
    case 2: f_.RbtnVMR7->setChecked(vmr7_); break;
    case 3: f_.RbtnVMR9->setChecked(vmr9_); break;
    default: break;
    }
    if (!f_.RbUseOldRenderer->isChecked() && !f_.RbtnVMR7->isChecked() && !f_.RbtnVMR9->isChecked())
        f_.RbNotWindowless->setChecked(true);
    SetChecked(f_.CbMpeg2withOvelay, s.Mpeg2OverlayMixer);
    SetChecked(f_.CbVideoReversal, s.UseVideoReversal && vmr7_);
    SetChecked(f_.CheckBox2, s.ResetAudioMixer);
    DWORD dvdRenderer = 0, mixerDevice = 0;
    QString audioName;
    if (const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_READ)) {
        dvdRenderer = RegReadDword(key.get(), "DVDRenderer", 0);
        mixerDevice = RegReadDword(key.get(), "MixerDevice", 0);
        RegReadString(key.get(), "AudioRendererName", &audioName, 128);
    }
    SelectIfThere(f_.ComboDVDRenderer, dvdRenderer);
    decoders_.FillAudio(audioName);
    f_.ComboMixer->clear();
    for (const QString& name : mixerNames_) f_.ComboMixer->addItem(name);
    if (f_.ComboMixer->count() > 0) SelectIfThere(f_.ComboMixer, mixerDevice);
}

void TOptionSheets::LoadCapture()
{
    DWORD method = 0, position = 0;
    bool priority = false, overlayOff = true, deinterlace = false;
    QString folder;
    if (const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kCaptureKey, KEY_READ)) {
        method = RegReadDword(key.get(), "CaptureMethod", 0);
        priority = RegReadBool(key.get(), "VMRpriority", false);
        // On unless stored off, as the capture window reads it.
        overlayOff = RegReadBool(key.get(), "OverlayOff", true);
        deinterlace = RegReadBool(key.get(), "Deinterlace", false);
        position = RegReadDword(key.get(), "CaptureWindowPosition", 0);
        RegReadString(key.get(), "CaptureFolder", &folder, 260);
    }
    switch (method) {
    case 1: f_.RbCapDefault->setChecked(true); break;
    case 2: f_.RbFilterCapture->setChecked(true); break;
    case 3: f_.RbVMR7Capture->setChecked(vmr7_); break;
    case 4: f_.RbVMR9Capture->setChecked(vmr9_); break;
    default: break;
    }
    if (!f_.RbCapDefault->isChecked() && !f_.RbFilterCapture->isChecked() && !f_.RbVMR7Capture->isChecked() &&
        !f_.RbVMR9Capture->isChecked())
        f_.RbCapAutoSel->setChecked(true);
    SetChecked(f_.CbVMRpriority, priority);
    if (!f_.RbVMR7Capture->isEnabled() && !f_.RbVMR9Capture->isEnabled()) {
        f_.CbVMRpriority->setChecked(false);
        f_.CbVMRpriority->setEnabled(false);
    }
    SetChecked(f_.cbOverlayOff, overlayOff);
    SetChecked(f_.ChDeinterlaceCap, deinterlace && f_.ChDeinterlaceCap->isEnabled());
    SelectIfThere(f_.ComboCapPos, position);
    f_.EdtPictureFolder->setText(folder.isEmpty() ? PicturesFolder() : folder);
    bool emulationOnly = false;
    if (const RegKey key = RegKey::Open(HKEY_LOCAL_MACHINE, kDirectDrawKey, KEY_READ))
        emulationOnly = RegReadDword(key.get(), "EmulationOnly", 0) != 0;
    f_.WarningText->setVisible(emulationOnly);
    f_.btnEnableOverlay->setVisible(emulationOnly);
}

QString TOptionSheets::PicturesFolder()
{
    return QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
}

void TOptionSheets::LoadDvd()
{
    const TMainSettings& s = host_.MutableSettings();
    SetChecked(f_.CBAutoresize, s.DVDAutoResize);
    SetChecked(f_.ChDVDResume, s.DVDResumeEnable);
    SetChecked(f_.CbDVDStretch, s.DVDStretchVideo);
    for (QComboBox* copy : {f_.ComboDVDSubPic, f_.ComboDVDMenu}) {
        copy->clear();
        for (int i = 0; i < f_.ComboDVDAudio->count(); ++i) copy->addItem(f_.ComboDVDAudio->itemText(i));
    }
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_READ);
    const HKEY k = key.get();
    SetChecked(f_.CbDvdGraphBuilder, k && RegReadBool(k, "DvdAutoGraphBuild", false));
    SetChecked(f_.ChbVMRSupported, !k || RegReadBool(k, "DVDCheckVMRSupport", true));
    SetChecked(f_.ChVMR9Windowed, k && RegReadBool(k, "DVDWindowedMode", false));
    SetChecked(f_.CbVMR7Color, !k || RegReadBool(k, "InsertLine21", true));
    SetChecked(f_.ChDVDAudioFfRw, k && RegReadBool(k, "DVDAudioDuringFfRw", false));
    SelectIfThere(f_.ComboDVDAudio, k ? RegReadDword(k, "DVDAudio", 0) : 0);
    SelectIfThere(f_.ComboDVDSubPic, k ? RegReadDword(k, "DVDSubpicture", 0) : 0);
    SelectIfThere(f_.ComboDVDMenu, k ? RegReadDword(k, "DVDMenu", 0) : 0);
    f_.ChbVMRSupported->setEnabled(!f_.CbDvdGraphBuilder->isChecked());
    f_.ChVMR9Windowed->setEnabled(!f_.CbDvdGraphBuilder->isChecked());
    f_.CbVMR7Color->setEnabled(!f_.CbDvdGraphBuilder->isChecked());
}

void TOptionSheets::LoadCd()
{
    const std::array<QCheckBox*, 5> flags{f_.Chfreedb, f_.ChReadCDText, f_.ChSerchCDIni, f_.ChCDIniAutoSave, f_.ChHalfChar};
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_READ);
    const HKEY k = key.get();
    if (view_.audioCdOpen) {
        for (size_t i = 0; i < flags.size(); ++i) flags[i]->setChecked(view_.cdFlags[i]);
    } else {
        static const char* const kNames[] = {"CDDBAutoConnect", "ReadCDText", "SerchCDIni", "CDIniAutoSave", "ConvertToHalf"};
        static const bool kDefaults[] = {false, true, false, false, true};
        for (size_t i = 0; i < flags.size(); ++i)
            flags[i]->setChecked(k ? RegReadBool(k, kNames[i], kDefaults[i]) : kDefaults[i]);
    }
    f_.ChSaveToWinFolder->setChecked(k && RegReadBool(k, "SaveINIToWinFolder", false));
}

void TOptionSheets::LoadDrive()
{
    const TDriveSpeedChoice c = DecodeDriveSpeed(host_.MutableSettings().DriveSpeed);
    f_.ChSetDriveSpeed->setChecked(c.limit);
    f_.CheckBox4->setChecked(c.restore);
    f_.ComboBox2->setCurrentIndex(c.audioCd);
    f_.ComboBox3->setCurrentIndex(c.otherCd);
    f_.ComboBox4->setCurrentIndex(c.dvd);
}

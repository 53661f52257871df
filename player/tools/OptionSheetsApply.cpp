// OK of the options dialog: the shown sheets go into the main window, then
// into the registry.
#include "player/tools/OptionSheets.h"

#include "common/Reghelp.h"
#include "platform/paths/paths.h"
#include "platform/profile/profile.h"
#include "player/tools/DecoderLists.h"
#include "player/units/Settings.h"
#include "ui_TOKBottomDlg.h"

#include <QColor>
#include <QDir>

#include <array>
#include <initializer_list>

namespace {

DWORD CheckedIndex(std::initializer_list<QAbstractButton*> buttons, DWORD otherwise)
{
    DWORD i = 0;
    for (QAbstractButton* b : buttons) {
        if (b->isChecked()) return i;
        ++i;
    }
    return otherwise;
}

void WriteAll(HKEY key, const TMainSettings& s, std::initializer_list<const char*> names)
{
    for (const char* name : names) WriteMainSetting(key, s, name);
}

}  // namespace

void TOptionSheets::Apply(TMainSettings& s, TWindowOptions& view)
{
    using S = TOptionSheet;
    if (Shown(S::Power)) {
        s.PowerState = CheckedIndex({f_.RBtnSuspend, f_.RBtnClose, f_.RBtnShutDown}, s.PowerState);
        s.PowerControl = f_.CBPowerEnable->isChecked();
        s.ScreenSaver = f_.CbSSOff->isChecked();
        s.MonitorPower = f_.CbMonitor->isChecked();
    }
    // The power button and the viewer buttons are set up at construction, so
    // they count whichever sheets were shown.
    s.ShowPowerState = f_.CBShowPSBtn->isChecked();
    view.powerButtonVisible = f_.CBShowPSBtn->isChecked();
    view.viewerButtonsVisible = f_.ChUseViewer->isChecked();
    if (Shown(S::Display)) {
        s.WindowSize = CheckedIndex({f_.RbtnWf, f_.RbtnW6, f_.RbtnW3, f_.RbtnWa}, s.WindowSize);
        view.keepSize = f_.ChKeepSize->isChecked();
        view.aspectLock = f_.CbWidthFix->isChecked();
        s.ShowExtension = f_.CbShowExtension->isChecked();
        view.hints = s.ShowHint = f_.CBHint->isChecked();
        s.ShowStatus = f_.CbShowStatus->isChecked();
        s.VolumeAuto = f_.CbAutoVolume->isChecked();
        s.AspectRatio = DWORD(std::max(0, f_.ComboBox1->currentIndex()));
        s.GetVideoSize = f_.ChGetVideoSize->isChecked();
    }
    if (Shown(S::Play)) {
        s.MakeNewWindow = f_.CbNewWindow->isChecked();
        s.CheckSeekability = f_.CbSeekability->isChecked();
        s.ReadWmvTag = f_.CbWMVinfo->isChecked();
        s.ReadID3v2 = f_.ChID3v2->isChecked();
        s.UseNewASFReader = f_.CbASFReader->isChecked();
        s.UseRMDSF = f_.CbUseRMDSF->isChecked();
        s.AdjustVBR = f_.chAdjustVBR->isChecked();
        s.ActivateWindow = f_.CBActivateWindow->isChecked();
        s.ShowPictureLength = DWORD(f_.UpDownPicTime->value());
        s.ResumeFile = f_.CbResumeFile->isChecked();
        s.ResumePosition = f_.CbResumePosition->isChecked();
        s.OpenSpecificFile = f_.CbOpenSpecificFile->isChecked();
        const QString file = f_.EdtOpenFileName->text();
        if (!file.isEmpty() && IsExistingFile(file)) {
            QDir().mkpath(ListFilesFolderPath());
            profile::WriteProfileString(ListFilesFolderPath() + QStringLiteral("Resume.rsm"), QStringLiteral("SpecificFile"),
                               QStringLiteral("FileName"), file);
        }
    }
    if (Shown(S::Viewer)) {
        s.UseViewer = f_.ChUseViewer->isChecked();
        s.ShowLibraryIcon = f_.ChShowIcon->isChecked();
        s.IndexFontBold = f_.ChBold->isChecked();
        s.LockMLWidth = f_.ChLockMLWidth->isChecked();
        s.KeepSortType = f_.ChKeepSort->isChecked();
        s.SetTopItem = f_.ChSetTop->isChecked();
        s.ViewerMax = DWORD(f_.UpDnWidth->value()) << 8 | DWORD(f_.UpDnHeight->value());
        s.ViewerFont = f_.CBxFont->currentText();
        s.ViewerFontSize = DWORD(f_.UpDownFont->value());
        // Bitmap system fonts have one usable size.
        if (s.ViewerFont.compare(QLatin1String("System"), Qt::CaseInsensitive) == 0 ||
            s.ViewerFont.compare(QLatin1String("FixedSys"), Qt::CaseInsensitive) == 0)
            s.ViewerFontSize = 14;
        const QColor c = f_.Shape1->property("color").value<QColor>();
        s.IndexFontColor = DWORD(c.red()) | DWORD(c.green()) << 8 | DWORD(c.blue()) << 16;
        s.DefaultSort = DWORD(std::max(0, f_.ComboSort->currentIndex()));
    }
    if (Shown(S::Output)) {
        s.Renderer = f_.RbNotWindowless->isChecked() ? 0 : f_.RbtnVMR7->isChecked() ? 2 : f_.RbtnVMR9->isChecked() ? 3 : 1;
        s.Mpeg2OverlayMixer = f_.CbMpeg2withOvelay->isChecked();
        s.UseVideoReversal = f_.CbVideoReversal->isChecked();
        s.ResetAudioMixer = f_.CheckBox2->isChecked();
        if (decoders_.AudioFilled()) s.UseSelectedAudioRenderer = f_.ComboAudio->currentIndex() > 0;
    }
    if (Shown(S::Operation)) {
        s.FastForwardLength = DWORD(f_.UpDown1->value());
        s.SkipLength = DWORD(f_.UpDown2->value());
        s.SeekInterval = DWORD(f_.UpDnSeekInterval->value());
        s.MouseCtlLength = DWORD(f_.UpDnMouseLen->value());
        s.ColorCtlWait = DWORD(f_.ColorWait->value());
        s.StillSeek = f_.CbStillSeek->isChecked();
        s.SerchFiles = f_.CBSerchFiles->isChecked();
        s.ResetColor = f_.ChResetColor->isChecked();
        s.UseColorCtrl = f_.CbUseColorctl->isChecked();
        s.ReduceSeekingLoad = f_.CheckBox1->isChecked();
        s.WindowMousePos = DWORD(std::max(0, f_.CmbShowDlg->currentIndex()));
        s.UseBookmark = f_.ChUseBookmrk->isChecked();
    }
    if (Shown(S::Dvd)) {
        s.DVDAutoResize = f_.CBAutoresize->isChecked();
        s.DVDResumeEnable = f_.ChDVDResume->isChecked();
        s.DVDStretchVideo = f_.CbDVDStretch->isChecked();
    }
    if (Shown(S::Decoder)) {
        s.Mpeg2Splitter = f_.CBSplitter->isChecked();
        s.MPEG1Video = decoders_.Name(0);
        s.MPEG1Audio = decoders_.Name(1);
        s.MPEG2Video = decoders_.Name(2);
        s.MPEG2Audio = decoders_.Name(3);
    }
    if (Shown(S::Cd) && view.audioCdOpen) {
        const std::array<QCheckBox*, 5> flags{f_.Chfreedb, f_.ChReadCDText, f_.ChSerchCDIni, f_.ChCDIniAutoSave,
                                              f_.ChHalfChar};
        for (size_t i = 0; i < flags.size(); ++i) view.cdFlags[i] = flags[i]->isChecked();
    }
    if (Shown(S::Drive)) {
        TDriveSpeedChoice c;
        c.limit = f_.ChSetDriveSpeed->isChecked();
        c.restore = f_.CheckBox4->isChecked();
        c.audioCd = f_.ComboBox2->currentIndex();
        c.otherCd = f_.ComboBox3->currentIndex();
        c.dvd = f_.ComboBox4->currentIndex();
        s.DriveSpeed = EncodeDriveSpeed(c);
    }
}

void TOptionSheets::WriteMain(const TMainSettings& s)
{
    using S = TOptionSheet;
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_WRITE);
    if (!key) return;
    const HKEY k = key.get();
    if (Shown(S::Play))
        WriteAll(k, s, {"MakeNewWindow", "CheckSeekability", "UseNewASFReader", "ResumeFile", "ResumePosition",
                        "OpenSpecificFile", "ReadWmvTag", "ReadID3v2", "UseRMDSF", "ShowPictureLength",
                        "ActivateWindow", "AdjustVBR"});
    if (Shown(S::Viewer))
        WriteAll(k, s, {"UseViewer", "ShowLibraryIcon", "ViewerMax", "ViewerFont", "ViewerFontSize", "IndexFontColor",
                        "IndexFontBold", "LockMLWidth"});
    if (Shown(S::Output)) {
        WriteAll(k, s, {"Renderer", "Mpeg2OverlayMixer", "UseVideoReversal"});
        RegWriteDword(k, "DVDRenderer", DWORD(std::max(0, f_.ComboDVDRenderer->currentIndex())));
        if (decoders_.AudioFilled()) RegWriteString(k, "AudioRendererName", f_.ComboAudio->currentText());
        if (f_.ComboMixer->currentIndex() >= 0) RegWriteDword(k, "MixerDevice", DWORD(f_.ComboMixer->currentIndex()));
        if (decoders_.AudioFilled()) WriteMainSetting(k, s, "UseSelectedAudioRenderer");
        WriteMainSetting(k, s, "ResetAudioMixer");
    }
    if (Shown(S::Operation))
        WriteAll(k, s, {"WindowMousePos", "SkipLength", "FastForwardLength", "SeekInterval", "MouseCtlLength",
                        "StillSeek", "SerchFiles", "ResetColor", "UseColorCtrl", "ColorCtlWait", "UseBookmark",
                        "ReduceSeekingLoad"});
    if (Shown(S::Power)) WriteAll(k, s, {"PowerState", "ScreenSaver", "MonitorPower", "ShowPowerState"});
    if (Shown(S::Display))
        WriteAll(k, s, {"AspectRatio", "ShowHint", "ShowExtension", "ShowStatus", "VolumeAuto", "GetVideoSize",
                        "WindowSize"});
    if (Shown(S::Decoder)) {
        WriteAll(k, s, {"MPEG-2 Splitter", "MPEG1Video", "MPEG1Audio", "MPEG2Video", "MPEG2Audio"});
        RegWriteString(k, "DVDVideoDecoder", decoders_.Name(4));
        RegWriteString(k, "DVDAudioDecoder", decoders_.Name(5));
    }
    if (Shown(S::Dvd)) {
        WriteAll(k, s, {"DVDAutoResize", "DVDResumeEnable", "DVDStretchVideo"});
        RegWriteBool(k, "DVDWindowedMode", f_.ChVMR9Windowed->isChecked());
        RegWriteBool(k, "DVDCheckVMRSupport", f_.ChbVMRSupported->isChecked());
        RegWriteBool(k, "DVDAudioDuringFfRw", f_.ChDVDAudioFfRw->isChecked());
        RegWriteBool(k, "InsertLine21", f_.CbVMR7Color->isChecked());
        RegWriteBool(k, "DvdAutoGraphBuild", f_.CbDvdGraphBuilder->isChecked());
        RegWriteDword(k, "DVDAudio", DWORD(std::max(0, f_.ComboDVDAudio->currentIndex())));
        RegWriteDword(k, "DVDSubpicture", DWORD(std::max(0, f_.ComboDVDSubPic->currentIndex())));
        RegWriteDword(k, "DVDMenu", DWORD(std::max(0, f_.ComboDVDMenu->currentIndex())));
    }
    if (Shown(S::Cd)) {
        RegWriteBool(k, "CDDBAutoConnect", f_.Chfreedb->isChecked());
        RegWriteBool(k, "ReadCDText", f_.ChReadCDText->isChecked());
        RegWriteBool(k, "SerchCDIni", f_.ChSerchCDIni->isChecked());
        RegWriteBool(k, "CDIniAutoSave", f_.ChCDIniAutoSave->isChecked());
        RegWriteBool(k, "ConvertToHalf", f_.ChHalfChar->isChecked());
        RegWriteBool(k, "SaveINIToWinFolder", f_.ChSaveToWinFolder->isChecked());
    }
    if (Shown(S::Drive)) WriteMainSetting(k, s, "DriveSpeed");
}

void TOptionSheets::WriteCapture()
{
    using S = TOptionSheet;
    if (!Shown(S::Capture) && !Shown(S::Decoder)) return;
    if (Shown(S::Capture) && f_.EdtPictureFolder->text().isEmpty()) f_.EdtPictureFolder->setText(PicturesFolder());
    // Created when missing, as Filters is: a fresh profile keeps its choices.
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kCaptureKey, KEY_WRITE);
    if (!key) return;
    const HKEY k = key.get();
    if (Shown(S::Capture)) {
        RegWriteBool(k, "OverlayOff", f_.cbOverlayOff->isChecked());
        RegWriteBool(k, "VMRpriority", f_.CbVMRpriority->isChecked());
        RegWriteBool(k, "Deinterlace", f_.ChDeinterlaceCap->isChecked());
        const DWORD method = f_.RbCapAutoSel->isChecked() ? 0 : f_.RbCapDefault->isChecked() ? 1
                           : f_.RbVMR7Capture->isChecked() ? 3 : f_.RbVMR9Capture->isChecked() ? 4 : 2;
        RegWriteDword(k, "CaptureMethod", method);
        RegWriteDword(k, "CaptureWindowPosition", DWORD(std::max(0, f_.ComboCapPos->currentIndex())));
        const QString folder = QDir::fromNativeSeparators(f_.EdtPictureFolder->text());
        if (IsExistingFolder(folder)) RegWriteString(k, "CaptureFolder", f_.EdtPictureFolder->text());
    }
    if (Shown(S::Decoder)) {
        RegWriteString(k, "MPEG1CapDecoder", decoders_.Name(6));
        RegWriteString(k, "MPEG2CapDecoder", decoders_.Name(7));
    }
}

void TOptionSheets::WriteFilters()
{
    const bool decoders = Shown(TOptionSheet::Decoder);
    if (!decoders && !decoders_.AudioFilled()) return;
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kFiltersKey, KEY_WRITE);
    if (!key) return;
    static const char* const kIdNames[] = {"MPEG1VCLSID", "MPEG1ACLSID", "MPEG2VCLSID", "MPEG2ACLSID",
                                           "DVDVCLSID",   "DVDACLSID",   "MPEG1CCLSID", "MPEG2CCLSID"};
    if (decoders) {
        for (int kind = 0; kind < TDecoderLists::kKinds; ++kind) {
            const std::optional<QByteArray> id = decoders_.ChosenId(kind);
            if (id && id->size() == 16) RegWriteBinary16(key.get(), kIdNames[kind], reinterpret_cast<const BYTE*>(id->constData()));
        }
    }
    if (decoders_.AudioFilled()) {
        const QByteArray id = decoders_.AudioId();
        RegWriteBinary16(key.get(), "AudioRenderer", reinterpret_cast<const BYTE*>(id.constData()));
    }
}

void TOptionSheets::Ok()
{
    TMainSettings& s = host_.MutableSettings();
    const TMainSettings before = s;
    TWindowOptions chosen = view_;
    Apply(s, chosen);
    TShownSheets shown;
    for (int i = 0; i < int(TOptionSheet::Count); ++i) shown[size_t(i)] = Shown(TOptionSheet(i));
    host_.ApplyOptions(before, chosen, shown);
    WriteMain(s);
    WriteCapture();
    WriteFilters();
}

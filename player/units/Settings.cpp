#include "Settings.h"

#include "Reghelp.h"

const char* const kDefaultExtensionList =
    "*.asf;*.wm;*.wma;*.wmv;*.avi;*.mpg;*.mpeg;*.m2p;*.m1v;*.wav;*.mpa;*.mp2;*.mp3;*.au;*.aif;*.aiff;*.snd;"
    "*.rm;*.ra;*.rmvb;*.mid;*.midi;*.rmi;*.jpg;*.jpeg;*.bmp;*.gif;*.tga;*.dib;*.zol;*.m3u;*.ifo;*.wpl";

namespace {

int ReadInt(HKEY key, const char* name, int def)
{
    return static_cast<int>(RegReadDword(key, name, static_cast<DWORD>(def)));
}

// A decoder choice: read only when the stored value is larger than one byte,
// into a buffer of exactly its size.
QString ReadDecoderName(HKEY key, const char* name)
{
    DWORD size = 0;
    QString text;
    if (RegQueryValueEx(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size > 1)
        RegReadString(key, name, &text, size);
    return text;
}

}  // namespace

bool LoadMainSettings(TMainSettings* s)
{
    *s = TMainSettings();
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, kMainKey, 0, "", REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &key,
                       &disposition) != ERROR_SUCCESS)
        return false;

    s->Left = ReadInt(key, "Left", s->Left);
    s->Top = ReadInt(key, "Top", s->Top);
    s->Volume = RegReadDword(key, "Volume", s->Volume);
    s->SkipLength = RegReadDword(key, "SkipLength", s->SkipLength);
    s->SeekInterval = RegReadDword(key, "SeekInterval", s->SeekInterval);
    s->DVDAutoResize = RegReadBool(key, "DVDAutoResize", s->DVDAutoResize);
    s->DVDResumeEnable = RegReadBool(key, "DVDResumeEnable", s->DVDResumeEnable);
    s->DVDStretchVideo = RegReadBool(key, "DVDStretchVideo", s->DVDStretchVideo);
    s->Renderer = RegReadDword(key, "Renderer", s->Renderer);
    s->ColorCtlWait = RegReadDword(key, "ColorCtlWait", s->ColorCtlWait);
    s->ShowPictureLength = RegReadDword(key, "ShowPictureLength", s->ShowPictureLength);
    s->FastForwardLength = RegReadDword(key, "FastForwardLength", s->FastForwardLength);
    s->MouseCtlLength = RegReadDword(key, "MouseCtlLength", s->MouseCtlLength);
    s->UseNewASFReader = RegReadBool(key, "UseNewASFReader", s->UseNewASFReader);
    s->Mpeg2Splitter = RegReadBool(key, "MPEG-2 Splitter", s->Mpeg2Splitter);
    s->UseSelectedAudioRenderer = RegReadBool(key, "UseSelectedAudioRenderer", s->UseSelectedAudioRenderer);
    s->LastSelectedFolder = RegReadDword(key, "LastSelectedFolder", s->LastSelectedFolder);
    s->ViewerFontSize = RegReadDword(key, "ViewerFontSize", s->ViewerFontSize);
    s->ViewerMax = RegReadDword(key, "ViewerMax", s->ViewerMax);
    s->Loop = RegReadBool(key, "Loop", s->Loop);
    s->ScreenSaver = RegReadBool(key, "ScreenSaver", s->ScreenSaver);
    s->MonitorPower = RegReadBool(key, "MonitorPower", s->MonitorPower);
    s->ShowPowerState = RegReadBool(key, "ShowPowerState", s->ShowPowerState);
    s->PowerControl = RegReadBool(key, "PowerControl", s->PowerControl);
    s->PowerState = RegReadDword(key, "PowerState", s->PowerState);
    s->ShowHint = RegReadBool(key, "ShowHint", s->ShowHint);
    s->MakeNewWindow = RegReadBool(key, "MakeNewWindow", s->MakeNewWindow);
    s->SerchFiles = RegReadBool(key, "SerchFiles", s->SerchFiles);
    s->ContinuousPlay = RegReadBool(key, "ContinuousPlay", s->ContinuousPlay);
    s->ActivateWindow = RegReadBool(key, "ActivateWindow", s->ActivateWindow);
    s->StillSeek = RegReadBool(key, "StillSeek", s->StillSeek);
    s->Shuffle = RegReadBool(key, "Shuffle", s->Shuffle);
    s->ResumeFile = RegReadBool(key, "ResumeFile", s->ResumeFile);
    s->ResumePosition = RegReadBool(key, "ResumePosition", s->ResumePosition);
    s->OpenSpecificFile = RegReadBool(key, "OpenSpecificFile", s->OpenSpecificFile);
    s->ReadWmvTag = RegReadBool(key, "ReadWmvTag", s->ReadWmvTag);
    s->ShowExtension = RegReadBool(key, "ShowExtension", s->ShowExtension);
    s->ShowStatus = RegReadBool(key, "ShowStatus", s->ShowStatus);
    s->VolumeAuto = RegReadBool(key, "VolumeAuto", s->VolumeAuto);
    s->UseColorCtrl = RegReadBool(key, "UseColorCtrl", s->UseColorCtrl);
    s->Mpeg2OverlayMixer = RegReadBool(key, "Mpeg2OverlayMixer", s->Mpeg2OverlayMixer);
    s->UseRMDSF = RegReadBool(key, "UseRMDSF", s->UseRMDSF);
    s->UseVideoReversal = RegReadBool(key, "UseVideoReversal", s->UseVideoReversal);
    s->CheckSeekability = RegReadBool(key, "CheckSeekability", s->CheckSeekability);
    s->ShowLibraryIcon = RegReadBool(key, "ShowLibraryIcon", s->ShowLibraryIcon);
    s->IndexFontBold = RegReadBool(key, "IndexFontBold", s->IndexFontBold);
    s->LockMLWidth = RegReadBool(key, "LockMLWidth", s->LockMLWidth);
    s->ResetColor = RegReadBool(key, "ResetColor", s->ResetColor);
    s->KeepSize = RegReadBool(key, "KeepSize", s->KeepSize);
    s->LastHeight = RegReadDword(key, "LastHeight", s->LastHeight);
    s->LastWidth = RegReadDword(key, "LastWidth", s->LastWidth);
    s->AspectRatio = RegReadDword(key, "AspectRatio", s->AspectRatio);
    if (s->AspectRatio > 4) s->AspectRatio = 0;
    s->AdjustWindowSize = RegReadBool(key, "AdjustWindowSize", s->AdjustWindowSize);
    s->GetVideoSize = RegReadBool(key, "GetVideoSize", s->GetVideoSize);
    s->WindowSize = RegReadDword(key, "WindowSize", s->WindowSize);
    if (s->WindowSize > 3) s->WindowSize = 3;
    s->SelectedSize = RegReadDword(key, "SelectedSize", s->SelectedSize);
    s->ReadID3v2 = RegReadBool(key, "ReadID3v2", s->ReadID3v2);
    s->UseBookmark = RegReadBool(key, "UseBookmark", s->UseBookmark);
    s->UseViewer = RegReadBool(key, "UseViewer", s->UseViewer);
    s->IndexFontColor = RegReadDword(key, "IndexFontColor", s->IndexFontColor);
    s->WindowMousePos = RegReadDword(key, "WindowMousePos", s->WindowMousePos);
    s->ResetAudioMixer = RegReadBool(key, "ResetAudioMixer", s->ResetAudioMixer);
    s->MouseDouble = ReadInt(key, "MouseDouble", s->MouseDouble);
    s->MouseMiddle = ReadInt(key, "MouseMiddle", s->MouseMiddle);
    s->WheelUp = ReadInt(key, "WheelUp", s->WheelUp);
    s->WheelDown = ReadInt(key, "WheelDown", s->WheelDown);
    s->MouseX1 = ReadInt(key, "MouseX1", s->MouseX1);
    s->MouseX2 = ReadInt(key, "MouseX2", s->MouseX2);
    s->LibrarySort = RegReadDword(key, "LibrarySort", s->LibrarySort);
    s->FolderSort = RegReadDword(key, "FolderSort", s->FolderSort);
    s->SetTopItem = RegReadBool(key, "SetTopItem", s->SetTopItem);
    s->KeepSortType = RegReadBool(key, "KeepSortType", s->KeepSortType);
    s->DefaultSort = RegReadDword(key, "DefaultSort", s->DefaultSort);
    s->ReduceSeekingLoad = RegReadBool(key, "ReduceSeekingLoad", s->ReduceSeekingLoad);
    s->AdjustVBR = RegReadBool(key, "AdjustVBR", s->AdjustVBR);
    s->AlwaysOnTop = RegReadBool(key, "AlwaysOnTop", s->AlwaysOnTop);
    s->DriveSpeed = RegReadDword(key, "DriveSpeed", s->DriveSpeed);
    s->ListSort = s->KeepSortType ? RegReadDword(key, "ListSort", s->ListSort) : s->DefaultSort;
    s->MPEG1Video = ReadDecoderName(key, "MPEG1Video");
    s->MPEG1Audio = ReadDecoderName(key, "MPEG1Audio");
    s->MPEG2Video = ReadDecoderName(key, "MPEG2Video");
    s->MPEG2Audio = ReadDecoderName(key, "MPEG2Audio");
    RegReadString(key, "InitialDir", &s->InitialDir, 260);
    RegReadString(key, "ViewerFont", &s->ViewerFont, 32);
    s->ModifyKey = RegReadBool(key, "ModifyKey", s->ModifyKey);
    s->UseArrowKeyInMenu = RegReadBool(key, "UseArrowKeyInMenu", s->UseArrowKeyInMenu);

    RegCloseKey(key);
    return true;
}

void SaveMainSettings(const TMainSettings& s, bool writePosition)
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, kMainKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
    {
        // One write of the store for the whole set.
        registry::WriteBatch batch;
        if (writePosition) {
            RegWriteDword(key, "Left", static_cast<DWORD>(s.Left));
            RegWriteDword(key, "Top", static_cast<DWORD>(s.Top));
        }
        if (!s.InitialDir.isEmpty()) RegWriteString(key, "InitialDir", s.InitialDir);
        RegWriteDword(key, "Volume", s.Volume);
        RegWriteDword(key, "PowerState", s.PowerState);
        RegWriteDword(key, "WindowSize", s.WindowSize);
        RegWriteDword(key, "SelectedSize", s.SelectedSize);
        RegWriteDword(key, "LastSelectedFolder", s.LastSelectedFolder);
        RegWriteBool(key, "Loop", s.Loop);
        RegWriteDword(key, "AspectRatio", s.AspectRatio);
        RegWriteBool(key, "ContinuousPlay", s.ContinuousPlay);
        RegWriteBool(key, "PowerControl", s.PowerControl);
        RegWriteBool(key, "Shuffle", s.Shuffle);
        RegWriteBool(key, "AdjustWindowSize", s.AdjustWindowSize);
        RegWriteBool(key, "KeepSize", s.KeepSize);
        RegWriteDword(key, "LastHeight", s.LastHeight);
        RegWriteDword(key, "LastWidth", s.LastWidth);
        RegWriteDword(key, "LibrarySort", s.LibrarySort);
        RegWriteDword(key, "FolderSort", s.FolderSort);
        RegWriteDword(key, "ListSort", s.ListSort);
        RegWriteBool(key, "SetTopItem", s.SetTopItem);
        RegWriteBool(key, "KeepSortType", s.KeepSortType);
        RegWriteDword(key, "DefaultSort", s.DefaultSort);
        RegWriteBool(key, "AlwaysOnTop", s.AlwaysOnTop);
    }
    RegCloseKey(key);
}

QString ReadExtensionListValue()
{
    QString list;
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, kMainKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD size = 0;
        if (RegQueryValueEx(key, "Extension", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size >= 2)
            RegReadString(key, "Extension", &list, size);
        RegCloseKey(key);
    }
    if (list.isEmpty()) list = QString::fromLatin1(kDefaultExtensionList);
    return list;
}

#include "Settings.h"

#include "common/Reghelp.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

using K = TSettingField::Kind;
using S = TSettingField::Save;
using M = TMainSettings;

constexpr TSettingField D(const char* name, DWORD M::*member, S save = S::No, int order = 0)
{
    return {name, K::Dword, member, 0, save, order};
}
constexpr TSettingField I(const char* name, int M::*member, S save = S::No, int order = 0)
{
    return {name, K::Int, member, 0, save, order};
}
constexpr TSettingField B(const char* name, bool M::*member, S save = S::No, int order = 0)
{
    return {name, K::Bool, member, 0, save, order};
}

const TSettingField kFields[] = {
    I("Left", &M::Left, S::WithPosition, 1),
    I("Top", &M::Top, S::WithPosition, 2),
    D("Volume", &M::Volume, S::Always, 4),
    D("SkipLength", &M::SkipLength),
    D("SeekInterval", &M::SeekInterval),
    B("DVDAutoResize", &M::DVDAutoResize),
    B("DVDResumeEnable", &M::DVDResumeEnable),
    B("DVDStretchVideo", &M::DVDStretchVideo),
    D("Renderer", &M::Renderer),
    D("ColorCtlWait", &M::ColorCtlWait),
    D("ShowPictureLength", &M::ShowPictureLength),
    D("FastForwardLength", &M::FastForwardLength),
    D("MouseCtlLength", &M::MouseCtlLength),
    B("UseNewASFReader", &M::UseNewASFReader),
    B("MPEG-2 Splitter", &M::Mpeg2Splitter),
    B("UseSelectedAudioRenderer", &M::UseSelectedAudioRenderer),
    D("LastSelectedFolder", &M::LastSelectedFolder, S::Always, 8),
    D("ViewerFontSize", &M::ViewerFontSize),
    D("ViewerMax", &M::ViewerMax),
    B("Loop", &M::Loop, S::Always, 9),
    B("ScreenSaver", &M::ScreenSaver),
    B("MonitorPower", &M::MonitorPower),
    B("ShowPowerState", &M::ShowPowerState),
    B("PowerControl", &M::PowerControl, S::Always, 12),
    D("PowerState", &M::PowerState, S::Always, 5),
    B("ShowHint", &M::ShowHint),
    B("MakeNewWindow", &M::MakeNewWindow),
    B("SerchFiles", &M::SerchFiles),
    B("ContinuousPlay", &M::ContinuousPlay, S::Always, 11),
    B("ActivateWindow", &M::ActivateWindow),
    B("StillSeek", &M::StillSeek),
    B("Shuffle", &M::Shuffle, S::Always, 13),
    B("ResumeFile", &M::ResumeFile),
    B("ResumePosition", &M::ResumePosition),
    B("OpenSpecificFile", &M::OpenSpecificFile),
    B("ReadWmvTag", &M::ReadWmvTag),
    B("ShowExtension", &M::ShowExtension),
    B("ShowStatus", &M::ShowStatus),
    B("VolumeAuto", &M::VolumeAuto),
    B("UseColorCtrl", &M::UseColorCtrl),
    B("Mpeg2OverlayMixer", &M::Mpeg2OverlayMixer),
    B("UseRMDSF", &M::UseRMDSF),
    B("UseVideoReversal", &M::UseVideoReversal),
    B("CheckSeekability", &M::CheckSeekability),
    B("ShowLibraryIcon", &M::ShowLibraryIcon),
    B("IndexFontBold", &M::IndexFontBold),
    B("LockMLWidth", &M::LockMLWidth),
    B("ResetColor", &M::ResetColor),
    B("KeepSize", &M::KeepSize, S::Always, 15),
    D("LastHeight", &M::LastHeight, S::Always, 16),
    D("LastWidth", &M::LastWidth, S::Always, 17),
    D("AspectRatio", &M::AspectRatio, S::Always, 10),
    B("AdjustWindowSize", &M::AdjustWindowSize, S::Always, 14),
    B("GetVideoSize", &M::GetVideoSize),
    D("WindowSize", &M::WindowSize, S::Always, 6),
    D("SelectedSize", &M::SelectedSize, S::Always, 7),
    B("ReadID3v2", &M::ReadID3v2),
    B("UseBookmark", &M::UseBookmark),
    B("UseViewer", &M::UseViewer),
    D("IndexFontColor", &M::IndexFontColor),
    D("WindowMousePos", &M::WindowMousePos),
    B("ResetAudioMixer", &M::ResetAudioMixer),
    I("MouseDouble", &M::MouseDouble),
    I("MouseMiddle", &M::MouseMiddle),
    I("WheelUp", &M::WheelUp),
    I("WheelDown", &M::WheelDown),
    I("MouseX1", &M::MouseX1),
    I("MouseX2", &M::MouseX2),
    D("LibrarySort", &M::LibrarySort, S::Always, 18),
    D("FolderSort", &M::FolderSort, S::Always, 19),
    B("SetTopItem", &M::SetTopItem, S::Always, 21),
    B("KeepSortType", &M::KeepSortType, S::Always, 22),
    D("DefaultSort", &M::DefaultSort, S::Always, 23),
    B("ReduceSeekingLoad", &M::ReduceSeekingLoad),
    B("AdjustVBR", &M::AdjustVBR),
    B("AlwaysOnTop", &M::AlwaysOnTop, S::Always, 24),
    D("DriveSpeed", &M::DriveSpeed),
    D("ListSort", &M::ListSort, S::Always, 20),
    {"MPEG1Video", K::DecoderName, &M::MPEG1Video},
    {"MPEG1Audio", K::DecoderName, &M::MPEG1Audio},
    {"MPEG2Video", K::DecoderName, &M::MPEG2Video},
    {"MPEG2Audio", K::DecoderName, &M::MPEG2Audio},
    {"InitialDir", K::Text, &M::InitialDir, 260, S::WhenNotEmpty, 3},
    {"ViewerFont", K::Text, &M::ViewerFont, 32},
    B("ModifyKey", &M::ModifyKey),
    B("UseArrowKeyInMenu", &M::UseArrowKeyInMenu),
};
static_assert(std::size(kFields) == 86, "the Main key holds 86 values");

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

void ReadField(HKEY key, const TSettingField& f, TMainSettings* s)
{
    switch (f.kind) {
    case K::Dword: {
        DWORD& v = s->*std::get<DWORD M::*>(f.Member);
        v = RegReadDword(key, f.Name, v);
        break;
    }
    case K::Int: {
        int& v = s->*std::get<int M::*>(f.Member);
        v = static_cast<int>(RegReadDword(key, f.Name, static_cast<DWORD>(v)));
        break;
    }
    case K::Bool: {
        bool& v = s->*std::get<bool M::*>(f.Member);
        v = RegReadBool(key, f.Name, v);
        break;
    }
    case K::Text:
        RegReadString(key, f.Name, &(s->*std::get<QString M::*>(f.Member)), f.TextLimit);
        break;
    case K::DecoderName:
        s->*std::get<QString M::*>(f.Member) = ReadDecoderName(key, f.Name);
        break;
    }
}

void WriteField(HKEY key, const TSettingField& f, const TMainSettings& s)
{
    switch (f.kind) {
    case K::Dword: RegWriteDword(key, f.Name, s.*std::get<DWORD M::*>(f.Member)); break;
    case K::Int: RegWriteDword(key, f.Name, static_cast<DWORD>(s.*std::get<int M::*>(f.Member))); break;
    case K::Bool: RegWriteBool(key, f.Name, s.*std::get<bool M::*>(f.Member)); break;
    case K::Text:
    case K::DecoderName: RegWriteString(key, f.Name, s.*std::get<QString M::*>(f.Member)); break;
    }
}

bool SameField(const TSettingField& f, const TMainSettings& a, const TMainSettings& b)
{
    return std::visit([&](auto member) { return a.*member == b.*member; }, f.Member);
}

// Whether the store holds the field as it would be written from `s`.
bool StoredClean(HKEY key, const TSettingField& f, const TMainSettings& s)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueEx(key, f.Name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    switch (f.kind) {
    case K::Dword: return type == REG_DWORD && RegReadDword(key, f.Name, 0) == s.*std::get<DWORD M::*>(f.Member);
    case K::Int:
        return type == REG_DWORD &&
               RegReadDword(key, f.Name, 0) == static_cast<DWORD>(s.*std::get<int M::*>(f.Member));
    case K::Bool:
        return type == REG_DWORD && RegReadDword(key, f.Name, 2) == (s.*std::get<bool M::*>(f.Member) ? 1u : 0u);
    case K::Text:
    case K::DecoderName: {
        QString stored;
        return type == REG_SZ && RegReadString(key, f.Name, &stored, size) == ERROR_SUCCESS &&
               stored == s.*std::get<QString M::*>(f.Member);
    }
    }
    return false;
}

}  // namespace

std::span<const TSettingField> MainSettingFields() { return kFields; }

bool WriteMainSetting(HKEY key, const TMainSettings& s, const char* name)
{
    for (const TSettingField& f : kFields) {
        if (std::strcmp(f.Name, name) != 0) continue;
        WriteField(key, f, s);
        return true;
    }
    return false;
}

bool LoadMainSettings(TMainSettings* s, TMainSettingsRead* read)
{
    *s = TMainSettings();
    if (read) *read = {*s, std::vector<bool>(std::size(kFields), true)};
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kMainKey, KEY_READ);
    if (!key) return false;
    for (const TSettingField& f : kFields) ReadField(key.get(), f, s);
    // Out-of-range choices take their defaults; the list's sort follows the
    // default sort unless the kept one is wanted.
    if (s->AspectRatio > 4) s->AspectRatio = 0;
    if (s->WindowSize > 3) s->WindowSize = 3;
    if (!s->KeepSortType) s->ListSort = s->DefaultSort;
    if (read) {
        read->values = *s;
        for (size_t i = 0; i < std::size(kFields); ++i)
            read->unclean[i] = kFields[i].SaveOrder > 0 && !StoredClean(key.get(), kFields[i], *s);
    }
    return true;
}

void SaveMainSettings(const TMainSettings& s, bool writePosition, const TMainSettingsRead* asRead)
{
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_WRITE);
    if (!key) return;
    const TSettingField* ordered[std::size(kFields)] = {};
    int count = 0;
    for (const TSettingField& f : kFields) {
        if (f.SaveOrder > 0) {
            ordered[f.SaveOrder - 1] = &f;
            count = std::max(count, f.SaveOrder);
        }
    }
    // One write of the store for the whole set.
    registry::WriteBatch batch;
    for (int i = 0; i < count; ++i) {
        const TSettingField& f = *ordered[i];
        if (f.save == S::WithPosition && !writePosition) continue;
        if (f.save == S::WhenNotEmpty && (s.*std::get<QString M::*>(f.Member)).isEmpty()) continue;
        if (asRead && SameField(f, s, asRead->values) && !asRead->unclean[static_cast<size_t>(&f - kFields)])
            continue;
        WriteField(key.get(), f, s);
    }
}

QString ReadExtensionListValue()
{
    QString list;
    if (const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_READ)) {
        DWORD size = 0;
        if (RegQueryValueEx(key.get(), "Extension", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size >= 2)
            RegReadString(key.get(), "Extension", &list, size);
    }
    if (list.isEmpty()) list = QString::fromLatin1(kDefaultExtensionList);
    return list;
}

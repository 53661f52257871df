#include "player/tools/CaptureSettings.h"

#include "common/Reghelp.h"

#include <QDir>
#include <QStandardPaths>

namespace {

constexpr char kDirectDrawKey[] = "SOFTWARE\\Microsoft\\DirectDraw";
constexpr REGSAM kDirectDrawAccess = 0x2001F;

}  // namespace

TCaptureSettings TCaptureSettings::Load()
{
    TCaptureSettings s;
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kCaptureKey, KEY_READ);
    if (!key) return s;
    const HKEY k = key.get();
    RegReadString(k, "MPEG1CapDecoder", &s.MPEG1CapDecoder, 128);
    RegReadString(k, "MPEG2CapDecoder", &s.MPEG2CapDecoder, 128);
    RegReadString(k, "CaptureFolder", &s.CaptureFolder, 260);
    s.Size = RegReadDword(k, "Size", s.Size);
    s.NumberPictures = RegReadBool(k, "NumberPictures", s.NumberPictures);
    s.VMRpriority = RegReadBool(k, "VMRpriority", s.VMRpriority);
    s.SynchronousSave = RegReadBool(k, "SynchronousSave", s.SynchronousSave);
    s.SaveExtension = RegReadBool(k, "SaveExtension", s.SaveExtension);
    s.Deinterlace = RegReadBool(k, "Deinterlace", s.Deinterlace);
    s.OverlayOff = RegReadBool(k, "OverlayOff", s.OverlayOff);
    s.CaptureMethod = RegReadDword(k, "CaptureMethod", s.CaptureMethod);
    s.JpegQuality = RegReadDword(k, "JpegQuality", s.JpegQuality);
    s.CaptureWindowPosition = RegReadDword(k, "CaptureWindowPosition", s.CaptureWindowPosition);
    s.Brightness = int(RegReadDword(k, "Brightness", DWORD(s.Brightness)));
    s.Red = int(RegReadDword(k, "Red", DWORD(s.Red)));
    s.Green = int(RegReadDword(k, "Green", DWORD(s.Green)));
    s.Blue = int(RegReadDword(k, "Blue", DWORD(s.Blue)));
    s.RGBAdjustment = RegReadBool(k, "RGBAdjustment", s.RGBAdjustment);
    s.ColorAdjustment = RegReadBool(k, "ColorAdjustment", s.ColorAdjustment);
    s.DetailOptions = RegReadBool(k, "DetailOptions", s.DetailOptions);
    s.Interpolation = RegReadBool(k, "Interpolation", s.Interpolation);
    s.Bicubic = RegReadDword(k, "Bicubic", s.Bicubic);
    return s;
}

bool TCaptureSettings::Save() const
{
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kCaptureKey, KEY_WRITE);
    if (!key) return false;
    const HKEY k = key.get();
    // One write of the file for the fifteen values.
    registry::WriteBatch batch;
    bool ok = RegWriteBool(k, "NumberPictures", NumberPictures);
    ok = RegWriteBool(k, "SynchronousSave", SynchronousSave) && ok;
    ok = RegWriteBool(k, "SaveExtension", SaveExtension) && ok;
    ok = RegWriteBool(k, "ColorAdjustment", ColorAdjustment) && ok;
    ok = RegWriteBool(k, "RGBAdjustment", RGBAdjustment) && ok;
    ok = RegWriteDword(k, "JpegQuality", JpegQuality) && ok;
    ok = RegWriteDword(k, "Size", Size) && ok;
    ok = RegWriteDword(k, "Brightness", DWORD(Brightness)) && ok;
    ok = RegWriteDword(k, "Red", DWORD(Red)) && ok;
    ok = RegWriteDword(k, "Green", DWORD(Green)) && ok;
    ok = RegWriteDword(k, "Blue", DWORD(Blue)) && ok;
    ok = RegWriteString(k, "CaptureFolder", CaptureFolder) && ok;
    ok = RegWriteBool(k, "DetailOptions", DetailOptions) && ok;
    ok = RegWriteBool(k, "Interpolation", Interpolation) && ok;
    ok = RegWriteDword(k, "Bicubic", Bicubic) && ok;
    return batch.Commit() == ERROR_SUCCESS && ok;
}

QString PicturesFolder()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return pictures.isEmpty() ? QDir::homePath() : pictures;
}

QPoint CaptureWindowPlace(DWORD position, const QRect& m, const QSize& d)
{
    switch (position) {
    case 1: return QPoint(m.left() + m.width(), m.top() + (m.height() - d.height()) / 2);
    case 2: return QPoint(m.left() - d.width(), m.top() + (m.height() - d.height()) / 2);
    case 3: return QPoint(m.left() + (m.width() - d.width()) / 2, m.top() - d.height());
    case 4: return QPoint(m.left() + (m.width() - d.width()) / 2, m.top() + m.height());
    default: return QPoint(m.left() + (m.width() - d.width()) / 2, m.top() + (m.height() - d.height()) / 2);
    }
}

bool SetDirectDrawEmulation()
{
    const RegKey key = RegKey::Open(HKEY_LOCAL_MACHINE, kDirectDrawKey, kDirectDrawAccess);
    if (!key) return false;
    if (RegReadDword(key.get(), "EmulationOnly", 0) == 0) RegWriteDword(key.get(), "EmulationOnly", 1);
    return true;
}

bool ClearDirectDrawEmulation()
{
    const RegKey key = RegKey::Open(HKEY_LOCAL_MACHINE, kDirectDrawKey, kDirectDrawAccess);
    if (!key) return false;
    RegWriteDword(key.get(), "EmulationOnly", 0);
    return true;
}

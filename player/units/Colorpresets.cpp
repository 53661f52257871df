#include "player/units/Colorpresets.h"

#include "common/Reghelp.h"

#include <algorithm>

namespace {

struct OverlayValue {
    const char* name;
    long media::ColorValues::*field;
    LONG low, high;
};
// Defaults come from ColorValues (750, 10000, 0, 10000, 1, 5).
const OverlayValue kOverlayValues[] = {
    {"Brightness", &media::ColorValues::brightness, 0, 10000},
    {"Contrast", &media::ColorValues::contrast, 0, 20000},
    {"Hue", &media::ColorValues::hue, -180, 180},
    {"Saturation", &media::ColorValues::saturation, 0, 20000},
    {"Gamma", &media::ColorValues::gamma, 1, 500},
    {"Sharpness", &media::ColorValues::sharpness, 0, 10},
};

}  // namespace

QString ReadPresetSetNames(const char* keyPath)
{
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, keyPath, KEY_READ);
    if (!key) return {};
    DWORD type = 0, size = 0;
    if (RegQueryValueEx(key.get(), "SetNames", nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size < 2)
        return {};
    QString names;
    RegReadString(key.get(), "SetNames", &names, size + 1);
    return names;
}

QStringList SplitPresetNames(const QString& setNames)
{
    QStringList names;
    QString rest = setNames;
    for (qsizetype at = rest.indexOf(QLatin1Char(';')); at >= 0; at = rest.indexOf(QLatin1Char(';'))) {
        const QString name = rest.left(at);
        rest.remove(0, at + 1);
        if (!name.isEmpty()) names.append(name);
    }
    return names;
}

std::array<DWORD, kPresetShortcuts> ReadPresetShortcuts()
{
    std::array<DWORD, kPresetShortcuts> codes{};
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kShortcutKeyKey, KEY_READ);
    if (!key) return codes;
    for (int i = 0; i < kPresetShortcuts; ++i)
        codes[i] = RegReadDword(key.get(), QStringLiteral("Color%1").arg(i + 1).toLatin1().constData(), 0);
    return codes;
}

bool IsPresetName(const QString& name) { return !name.isEmpty() && !name.contains(QLatin1Char('\\')); }

bool ReadOverlayValues(const QString& keyPath, media::ColorValues* values)
{
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, keyPath.toUtf8().constData(), KEY_READ);
    if (!key) return false;
    const media::ColorValues defaults;
    for (const OverlayValue& v : kOverlayValues) {
        // Stored as signed DWORDs.
        const auto stored = static_cast<LONG>(RegReadDword(key.get(), v.name, static_cast<DWORD>(defaults.*v.field)));
        values->*v.field = std::clamp(stored, v.low, v.high);
    }
    return true;
}

bool WriteOverlayValues(const char* keyPath, const media::ColorValues& values)
{
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, keyPath, KEY_WRITE);
    if (!key) return false;
    bool written = true;
    for (const OverlayValue& v : kOverlayValues)
        written = RegWriteDword(key.get(), v.name, static_cast<DWORD>(static_cast<LONG>(values.*v.field))) && written;
    return written;
}

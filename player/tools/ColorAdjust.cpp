#include "player/tools/ColorAdjust.h"

#include "common/Reghelp.h"
#include "player/tools/ToolHost.h"
#include "player/units/Colorpresets.h"
#include "player/units/Vmr9mixer.h"


namespace {

using P = TColorAdjust;

const char* const kValueNames[P::kProperties] = {"Brightness", "Contrast", "Hue", "Saturation", "Gamma", "Sharpness"};
const DWORD kOverlayFlags[P::kProperties] = {media::DDCOLOR_BRIGHTNESS, media::DDCOLOR_CONTRAST, media::DDCOLOR_HUE,
                                             media::DDCOLOR_SATURATION, media::DDCOLOR_GAMMA,
                                             media::DDCOLOR_SHARPNESS};
// The form's design ranges and line sizes; the VMR-9 path replaces the first four.
const TColorAdjust::Bar kDesign[P::kProperties] = {
    {false, 0, 10000, 100, 0}, {false, 0, 20000, 200, 0}, {false, -180, 180, 3, 0},
    {false, 0, 20000, 200, 0}, {false, 1, 500, 5, 1},     {false, 0, 10, 1, 5}};
const std::array<int, P::kProperties> kOverlayDefaults = {750, 10000, 0, 10000, 1, 5};

LONG& Field(media::DDCOLORCONTROL& c, int p)
{
    switch (p) {
    case P::Brightness: return c.lBrightness;
    case P::Contrast: return c.lContrast;
    case P::Hue: return c.lHue;
    case P::Saturation: return c.lSaturation;
    case P::Gamma: return c.lGamma;
    default: return c.lSharpness;
    }
}

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

}  // namespace

TColorAdjust::TColorAdjust(IToolHost& host) : host_(host)
{
    for (int p = 0; p < kProperties; ++p) bars_[p] = kDesign[p];
}

QString TColorAdjust::ColorKey() const
{
    return QString::fromLatin1(path_ == Path::Vmr9 ? kColorVmr9Key : kColorOverlayKey);
}

QString TColorAdjust::PresetKey(const QString& name) const { return ColorKey() + QLatin1Char('\\') + name; }

bool TColorAdjust::Load()
{
    changed_ = false;
    control_.reset();
    path_ = Path::None;
    for (int p = 0; p < kProperties; ++p) bars_[p] = kDesign[p];
    sharpShown_ = false;

    if (CVMR9MIXER* mixer = host_.Vmr9Mixer()) {
        if (mixer->valid) LoadVmr9();
    } else {
        media::DDCOLORCONTROL c{};
        c.dwSize = sizeof(c);
        std::shared_ptr<media::ColorControl> control = host_.ColorControl();
        if (!control || control->GetColorControls(&c) != S_OK) {
            control.reset();
            if (SUCCEEDED(host_.GetSurfaceColorControl(&control)) && control) {
                c = {};
                c.dwSize = sizeof(c);
                if (control->GetColorControls(&c) != S_OK) control.reset();
            }
        }
        if (control) {
            control_ = std::move(control);
            LoadOverlay(c);
        }
    }
    presets_.clear();
    if (path_ == Path::None) return false;
    presets_ = SplitPresetNames(ReadPresetSetNames(ColorKey().toLatin1().constData()));
    return true;
}

bool TColorAdjust::LoadOverlay(const media::DDCOLORCONTROL& c)
{
    path_ = Path::Overlay;
    sharpShown_ = (c.dwFlags & media::DDCOLOR_SHARPNESS) != 0;
    media::DDCOLORCONTROL values = c;
    for (int p = 0; p < kProperties; ++p) {
        bars_[p].enabled = (c.dwFlags & kOverlayFlags[p]) != 0;
        if (p == Sharpness && !sharpShown_) continue;
        bars_[p].position = static_cast<int>(Field(values, p));
        initial_[p] = bars_[p].position;
    }
    return true;
}

void TColorAdjust::LoadVmr9()
{
    CVMR9MIXER* mixer = host_.Vmr9Mixer();
    path_ = Path::Vmr9;
    for (int p = 0; p < CVMR9MIXER::kProperties; ++p) {
        Bar& b = bars_[p];
        b.enabled = (mixer->current.dwFlags & CVMR9MIXER::Flag(p)) != 0 && mixer->hasRange[p];
        if (!b.enabled) continue;
        b.max = mixer->max[p];
        b.min = mixer->min[p];
        if (b.max - b.min > 100) b.lineSize = (b.max - b.min) / 100;
        b.position = mixer->value[p];
        initial_[p] = b.position;
    }
    bars_[Gamma].enabled = false;
}

bool TColorAdjust::WriteOverlay(DWORD flags, const std::array<int, kProperties>& values)
{
    if (!control_) return false;
    media::DDCOLORCONTROL c{};
    c.dwSize = sizeof(c);
    c.dwFlags = flags;
    for (int p = 0; p < kProperties; ++p) Field(c, p) = values[p];
    return control_->SetColorControls(&c) == S_OK;
}

bool TColorAdjust::WriteVmr9(const std::array<int, kProperties>& positions, const std::array<bool, 4>& useDefault)
{
    CVMR9MIXER* mixer = host_.Vmr9Mixer();
    if (!mixer) return false;
    media::VMR9ProcAmpControl amp = mixer->current;
    for (int p = 0; p < CVMR9MIXER::kProperties; ++p) {
        if (!bars_[p].enabled) continue;
        CVMR9MIXER::Field(amp, p) =
            useDefault[p] ? mixer->default_[p] : static_cast<float>(positions[p]) * mixer->step[p];
    }
    return SUCCEEDED(mixer->ApplyProcAmp(amp));
}

void TColorAdjust::Change(int property, int position)
{
    bars_[property].position = position;
    if (path_ == Path::Overlay) {
        std::array<int, kProperties> values{};
        values[property] = position;
        if (WriteOverlay(kOverlayFlags[property], values)) changed_ = true;
    } else if (path_ == Path::Vmr9 && property < CVMR9MIXER::kProperties) {
        CVMR9MIXER* mixer = host_.Vmr9Mixer();
        if (!mixer) return;
        media::VMR9ProcAmpControl amp = mixer->current;
        CVMR9MIXER::Field(amp, property) = static_cast<float>(position) * mixer->step[property];
        if (SUCCEEDED(mixer->ApplyProcAmp(amp))) changed_ = true;
    }
}

void TColorAdjust::Defaults()
{
    if (path_ == Path::Overlay) {
        DWORD flags = 0;
        for (int p = 0; p < Sharpness; ++p) {
            if (!bars_[p].enabled) continue;
            flags |= kOverlayFlags[p];
            bars_[p].position = kOverlayDefaults[p];
        }
        if (sharpShown_) {
            flags |= media::DDCOLOR_SHARPNESS;
            bars_[Sharpness].position = kOverlayDefaults[Sharpness];
        }
        // OK stores what the picture shows, so a default written counts as a change.
        if (WriteOverlay(flags, kOverlayDefaults)) changed_ = true;
    } else if (path_ == Path::Vmr9) {
        CVMR9MIXER* mixer = host_.Vmr9Mixer();
        for (int p = 0; p < CVMR9MIXER::kProperties; ++p) {
            if (bars_[p].enabled) bars_[p].position = static_cast<int>(mixer->default_[p] / mixer->step[p]);
        }
        if (WriteVmr9({}, {true, true, true, true})) changed_ = true;
    }
}

void TColorAdjust::Cancel()
{
    if (path_ == Path::Overlay) {
        DWORD flags = 0;
        for (int p = 0; p < Sharpness; ++p) flags |= bars_[p].enabled ? kOverlayFlags[p] : 0;
        if (sharpShown_) flags |= media::DDCOLOR_SHARPNESS;
        WriteOverlay(flags, initial_);
    } else if (path_ == Path::Vmr9) {
        WriteVmr9(initial_, {});
    }
    changed_ = false;
}

void TColorAdjust::Restore()
{
    Cancel();
    for (int p = 0; p < kProperties; ++p) {
        if (bars_[p].enabled || (p == Sharpness && sharpShown_)) bars_[p].position = initial_[p];
    }
}

void TColorAdjust::WritePositions(const QString& keyPath, bool createKey) const
{
    const QByteArray path = keyPath.toUtf8();
    const RegKey key = createKey ? RegKey::Create(HKEY_CURRENT_USER, path.constData(), KEY_WRITE)
                                 : RegKey::Open(HKEY_CURRENT_USER, path.constData(), KEY_WRITE);
    if (!key) return;
    const int count = path_ == Path::Overlay ? (sharpShown_ ? kProperties : Sharpness) : Gamma;
    for (int p = 0; p < count; ++p)
        RegWriteDword(key.get(), kValueNames[p], static_cast<DWORD>(bars_[p].position));
}

void TColorAdjust::StoreAtOk()
{
    // The VMR-9 values are stored by the mixer when the renderer goes.
    if (path_ != Path::Overlay || !changed_) return;
    WritePositions(QString::fromLatin1(kColorOverlayKey), true);
    host_.SetColorApplied();
}

bool TColorAdjust::WriteSetNames() const
{
    QString names;
    for (const QString& name : presets_) names += name + QLatin1Char(';');
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, ColorKey().toLatin1().constData(), KEY_WRITE);
    return key && RegWriteString(key.get(), "SetNames", names);
}

TColorAdjust::NameAnswer TColorAdjust::SavePreset(const QString& name, int renameIndex)
{
    if (path_ == Path::None) return NameAnswer::Failed;
    if (name.contains(QLatin1Char(';'))) return NameAnswer::Semicolon;
    // "\" would name a key further down.
    if (name.contains(QLatin1Char('\\'))) return NameAnswer::Backslash;
    const bool rename = renameIndex >= 0 && renameIndex < presets_.size();
    const QString oldName = rename ? presets_[renameIndex] : QString();
    if (rename && name == oldName) return NameAnswer::Unchanged;
    // Key names are compared without regard to case: "Movie" is the key of "movie".
    for (int i = 0; i < presets_.size(); ++i) {
        if (SameName(presets_[i], name) && !(rename && i == renameIndex)) return NameAnswer::Taken;
    }
    const bool inPlace = rename && SameName(name, oldName);
    const RegKey sub = RegKey::Create(HKEY_CURRENT_USER, PresetKey(name).toUtf8().constData(), KEY_WRITE);
    if (!sub) return NameAnswer::Failed;
    if (rename && !inPlace) {
        // A renamed preset keeps its values; the bars' positions only where it has none.
        const RegKey old = RegKey::Open(HKEY_CURRENT_USER, PresetKey(oldName).toUtf8().constData(), KEY_READ);
        if (old) {
            for (const char* value : kValueNames) {
                DWORD type = 0, data = 0, size = sizeof(data);
                if (RegQueryValueEx(old.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) ==
                        ERROR_SUCCESS && type == REG_DWORD && size == sizeof(data))
                    RegWriteDword(sub.get(), value, data);
            }
        } else {
            WritePositions(PresetKey(name), false);
        }
    } else if (!rename) {
        WritePositions(PresetKey(name), false);
    }
    if (rename)
        presets_[renameIndex] = name;
    else
        presets_.append(name);
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, ColorKey().toLatin1().constData(), KEY_WRITE);
    if (key) {
        if (rename && !inPlace) RegDeleteKey(key.get(), oldName.toUtf8().constData());
        WriteSetNames();
    }
    presetsChanged_ = true;
    return NameAnswer::Saved;
}

void TColorAdjust::OverwritePreset(int index)
{
    if (index < 0 || index >= presets_.size()) return;
    WritePositions(PresetKey(presets_[index]), false);
    presetsChanged_ = true;
}

void TColorAdjust::DeletePreset(int index)
{
    if (index < 0 || index >= presets_.size()) return;
    const QString name = presets_.takeAt(index);
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, ColorKey().toLatin1().constData(), KEY_WRITE);
    if (!key) return;
    const LONG status = RegDeleteKey(key.get(), name.toUtf8().constData());
    // A name whose key is gone already is removed all the same: it could never be used.
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return;
    if (WriteSetNames()) presetsChanged_ = true;
}

std::array<std::optional<int>, TColorAdjust::kProperties> TColorAdjust::ReadPreset(int index) const
{
    std::array<std::optional<int>, kProperties> values;
    if (index < 0 || index >= presets_.size()) return values;
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, PresetKey(presets_[index]).toUtf8().constData(), KEY_READ);
    if (!key) return values;
    constexpr DWORD kMissing = 0x80000000u;
    for (int p = 0; p < kProperties; ++p) {
        if (!bars_[p].enabled && !(p == Sharpness && sharpShown_)) continue;
        if (path_ == Path::Vmr9 && p >= Gamma) continue;
        const DWORD stored = RegReadDword(key.get(), kValueNames[p], kMissing);
        if (stored != kMissing)
            values[p] = static_cast<int>(static_cast<LONG>(stored));
        else if (path_ == Path::Overlay)
            values[p] = kOverlayDefaults[p];
        // On the VMR-9 path the overlay defaults are no renderer steps: the bar stays.
    }
    return values;
}

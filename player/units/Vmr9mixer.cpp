#include "player/units/Vmr9mixer.h"

#include "common/Reghelp.h"

#include <algorithm>
#include <cmath>

namespace {

const char* const kValueNames[CVMR9MIXER::kProperties] = {"Brightness", "Contrast", "Hue", "Saturation"};

// A renderer value in steps, truncated toward zero; a quotient that no
// 32-bit integer holds is limited to the nearest one.
std::int32_t Steps(float renderValue, float stepSize)
{
    const double q = std::trunc(static_cast<double>(renderValue) / static_cast<double>(stepSize));
    if (!std::isfinite(q)) return 0;
    return static_cast<std::int32_t>(std::clamp(q, -2147483648.0, 2147483647.0));
}

}  // namespace

CVMR9MIXER::CVMR9MIXER() = default;

CVMR9MIXER::~CVMR9MIXER()
{
    if (!mixer || !valid || !changed) return;
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kColorVmr9Key, KEY_WRITE);
    if (!key) return;
    for (int i = 0; i < kProperties; ++i)
        if (hasRange[i]) RegWriteDword(key.get(), kValueNames[i], static_cast<DWORD>(value[i]));
}

float& CVMR9MIXER::Field(media::VMR9ProcAmpControl& control, int index)
{
    switch (index) {
    case 0: return control.Brightness;
    case 1: return control.Contrast;
    case 2: return control.Hue;
    default: return control.Saturation;
    }
}

HRESULT CVMR9MIXER::Attach(std::shared_ptr<media::PictureControls> controls)
{
    if (!controls) return E_NOINTERFACE;
    mixer = std::move(controls);
    return S_OK;
}

bool CVMR9MIXER::ReadRanges()
{
    if (!mixer) return valid;
    media::VMR9ProcAmpControl now{};
    now.dwSize = sizeof(now);
    if (FAILED(mixer->GetProcAmpControl(0, &now))) return valid;
    current = now;
    valid = true;
    for (int i = 0; i < kProperties; ++i) {
        if (!(current.dwFlags & Flag(i))) continue;
        media::VMR9ProcAmpControlRange range{};
        range.dwSize = sizeof(range);
        range.dwProperty = Flag(i);
        if (FAILED(mixer->GetProcAmpControlRange(0, &range))) continue;
        // A zero or unusable step gives no steps: nothing is divided by it.
        if (!std::isfinite(range.StepSize) || range.StepSize == 0.0f) {
            hasRange[i] = false;
            continue;
        }
        hasRange[i] = true;
        step[i] = range.StepSize;
        default_[i] = range.DefaultValue;
        value[i] = Steps(Field(current, i), step[i]);
        max[i] = Steps(range.MaxValue, step[i]);
        min[i] = Steps(range.MinValue, step[i]);
        if (min[i] > max[i]) std::swap(min[i], max[i]);   // a negative step turns the range round
    }
    return valid;
}

bool CVMR9MIXER::LoadSettings(const QString& keyPath)
{
    if (!valid) return false;
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, keyPath.toUtf8().constData(), KEY_READ);
    if (!key) return false;
    media::VMR9ProcAmpControl next = current;
    for (int i = 0; i < kProperties; ++i) {
        const auto stored = static_cast<std::int32_t>(
            RegReadDword(key.get(), kValueNames[i], static_cast<DWORD>(kNotStored)));
        if (stored == kNotStored || !(current.dwFlags & Flag(i)) || !hasRange[i]) continue;
        // A value from elsewhere may lie outside what the renderer takes.
        const std::int32_t limited = std::clamp(stored, min[i], max[i]);
        Field(next, i) = static_cast<float>(limited) * step[i];
    }
    return SUCCEEDED(ApplyProcAmp(next));
}

HRESULT CVMR9MIXER::ApplyProcAmp(const media::VMR9ProcAmpControl& control)
{
    if (!mixer) return E_FAIL;
    media::VMR9ProcAmpControl sent = control;
    sent.dwSize = sizeof(sent);
    const HRESULT hr = mixer->SetProcAmpControl(0, &sent);
    if (FAILED(hr)) return hr;
    current = sent;
    changed = true;
    ComputeSteps();
    return hr;
}

void CVMR9MIXER::ComputeSteps()
{
    for (int i = 0; i < kProperties; ++i)
        if (hasRange[i]) value[i] = Steps(Field(current, i), step[i]);
}

HRESULT CVMR9MIXER::SetFlip(int mode)
{
    if (!mixer) return E_FAIL;
    static const media::VMR9NormalizedRect kRects[] = {
        {0, 0, 1, 1},   // as it is
        {0, 1, 1, 0},   // upside down
        {1, 0, 0, 1},   // mirrored left to right
        {1, 1, 0, 0},   // both
    };
    if (mode < 0 || mode > 3) return E_INVALIDARG;
    return mixer->SetOutputRect(0, &kRects[mode]);
}

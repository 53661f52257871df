// CVMR9MIXER: the windowless-9 renderer's picture controls as the colour
// window and the registry see them: integer "steps" (the renderer's floating
// value divided by the property's step size, truncated toward zero) for
// brightness, contrast, hue and saturation (indexes 0 to 3, flags 1, 2, 4, 8).
// The current steps are written to `Color\VMR9` when the object goes, if a
// value was applied. Main thread.
#pragma once

#include "platform/media/picture_controls.h"

#include <QString>

#include <cstdint>
#include <memory>

class CVMR9MIXER {
public:
    // The value under a colour key that means "not stored".
    static constexpr std::int32_t kNotStored = -1000;
    static constexpr int kProperties = 4;

    CVMR9MIXER();
    ~CVMR9MIXER();
    CVMR9MIXER(const CVMR9MIXER&) = delete;
    CVMR9MIXER& operator=(const CVMR9MIXER&) = delete;

    // Takes the renderer's picture controls; E_NOINTERFACE without them.
    HRESULT Attach(std::shared_ptr<media::PictureControls> controls);
    // Reads the current values and, for each property offered, its range.
    // Returns `valid`: whether the current values could ever be read.
    bool ReadRanges();
    // Applies the values stored under `keyPath` (HKEY_CURRENT_USER); values
    // not stored (-1000) or without a range are left as they are. False
    // unless valid, the key opens and the renderer takes the values.
    bool LoadSettings(const QString& keyPath);
    // Sends `control` to the renderer; on success it becomes the current one
    // and the steps are computed again.
    HRESULT ApplyProcAmp(const media::VMR9ProcAmpControl& control);
    // 0 as it is, 1 upside down, 2 mirrored, 3 both; E_FAIL without controls.
    HRESULT SetFlip(int mode);

    // ---- read by the colour window ----
    bool valid = false;
    bool changed = false;
    float step[kProperties] = {};
    float default_[kProperties] = {};
    // Whether the property's range was read with a usable (non-zero) step:
    // only such a property has steps, and only its steps are stored.
    bool hasRange[kProperties] = {};
    media::VMR9ProcAmpControl current = {};
    std::int32_t value[kProperties] = {};
    std::int32_t max[kProperties] = {};
    std::int32_t min[kProperties] = {};

    static DWORD Flag(int index) { return 1u << index; }
    static float& Field(media::VMR9ProcAmpControl& control, int index);

private:
    void ComputeSteps();
    std::shared_ptr<media::PictureControls> mixer;
};

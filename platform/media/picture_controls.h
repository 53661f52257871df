// The colour controls a file or DVD graph hands out for its picture.
//
// ColorControl: the overlay and windowless-7 renderers' colour stage, in the
// DirectDraw colour structure (brightness, contrast, hue, saturation and
// gamma; no sharpness). Its values belong to the display, not to one graph:
// a graph with one of these renderers starts with the values the last one
// left, and the program starts at the defaults.
//
// PictureControls: the painted renderer's own picture controls, as the
// windowless-9 renderer has them: floating values with ranges, and an output
// rectangle that mirrors or turns the picture. A new renderer starts at the
// defaults. An interface, so that what uses it can be tried on a stand-in.
//
// Both are handed out by the graph as shared objects; once the graph is gone
// their calls fail with VFW_E_NOT_CONNECTED. Main thread.
#pragma once

#include "platform/wintypes.h"

#include <functional>

namespace media {

// Colour values of the overlay renderer, in the ranges of the player's
// colour settings (brightness 0..10000, contrast 0..20000, hue -180..180,
// saturation 0..20000, gamma 1..500, sharpness 0..10).
struct ColorValues {
    long brightness = 750;
    long contrast = 10000;
    long hue = 0;
    long saturation = 10000;
    long gamma = 1;
    long sharpness = 5;
};


// ---- the colour structure of the overlay renderers ----
struct DDCOLORCONTROL {
    DWORD dwSize;
    DWORD dwFlags;
    LONG lBrightness;
    LONG lContrast;
    LONG lHue;
    LONG lSaturation;
    LONG lSharpness;
    LONG lGamma;
    LONG lColorEnable;
    DWORD dwReserved1;
};
static_assert(sizeof(DDCOLORCONTROL) == 40);
constexpr DWORD DDCOLOR_BRIGHTNESS = 0x1;
constexpr DWORD DDCOLOR_CONTRAST = 0x2;
constexpr DWORD DDCOLOR_HUE = 0x4;
constexpr DWORD DDCOLOR_SATURATION = 0x8;
constexpr DWORD DDCOLOR_SHARPNESS = 0x10;
constexpr DWORD DDCOLOR_GAMMA = 0x20;
constexpr DWORD DDCOLOR_COLORENABLE = 0x40;

// The six values into their fields of `control` (its size and flags stay).
inline void PutColorValues(DDCOLORCONTROL* control, const ColorValues& v)
{
    control->lBrightness = static_cast<LONG>(v.brightness);
    control->lContrast = static_cast<LONG>(v.contrast);
    control->lHue = static_cast<LONG>(v.hue);
    control->lSaturation = static_cast<LONG>(v.saturation);
    control->lSharpness = static_cast<LONG>(v.sharpness);
    control->lGamma = static_cast<LONG>(v.gamma);
}

// The colour stage of one pipeline's video output, handed out by the
// pipeline (the file graph, the DVD layer). Once the pipeline goes (Detach)
// its calls fail with VFW_E_NOT_CONNECTED.
class ColorControl {
public:
    // What the stage carries: brightness, contrast, hue, saturation, gamma.
    static constexpr DWORD kFlags =
        DDCOLOR_BRIGHTNESS | DDCOLOR_CONTRAST | DDCOLOR_HUE | DDCOLOR_SATURATION | DDCOLOR_GAMMA;
    using Getter = std::function<ColorValues()>;
    using Setter = std::function<void(const ColorValues&)>;

    // `get` reads the stage's values, `set` applies them to the output; the
    // control also makes them the display's (DisplayOverlayColors).
    ColorControl(Getter get, Setter set) : get_(std::move(get)), set_(std::move(set)) {}
    void Detach()
    {
        get_ = nullptr;
        set_ = nullptr;
    }

    // Fills dwSize (40), dwFlags (kFlags) and the current values; the
    // sharpness field holds the stored value, which has no effect.
    HRESULT GetColorControls(DDCOLORCONTROL* control) const;
    // Applies the fields whose flag is set (values are limited to the
    // stage's ranges); S_OK. E_INVALIDARG when dwSize is not 40.
    HRESULT SetColorControls(const DDCOLORCONTROL* control);

private:
    Getter get_;
    Setter set_;
};

// The values the display's overlay holds now: what the next pipeline of an
// overlay or windowless-7 renderer starts with (the defaults at program
// start). Every ColorControl that sets values sets them here too.
const ColorValues& DisplayOverlayColors();
void SetDisplayOverlayColors(const ColorValues& values);

// ---- the painted renderer's picture controls ----
struct VMR9ProcAmpControl {
    DWORD dwSize;   // 24
    DWORD dwFlags;
    float Brightness;
    float Contrast;
    float Hue;
    float Saturation;
};
static_assert(sizeof(VMR9ProcAmpControl) == 24);

struct VMR9ProcAmpControlRange {
    DWORD dwSize;       // 24
    DWORD dwProperty;   // one of the flags below
    float MinValue;
    float MaxValue;
    float DefaultValue;
    float StepSize;
};
static_assert(sizeof(VMR9ProcAmpControlRange) == 24);

struct VMR9NormalizedRect {
    float left;
    float top;
    float right;
    float bottom;
};

constexpr DWORD ProcAmpControl9_Brightness = 0x1;
constexpr DWORD ProcAmpControl9_Contrast = 0x2;
constexpr DWORD ProcAmpControl9_Hue = 0x4;
constexpr DWORD ProcAmpControl9_Saturation = 0x8;
constexpr DWORD ProcAmpControl9_Mask = 0xF;

class PictureControls {
public:
    virtual ~PictureControls() = default;
    // Stream 0 only; dwSize must be 24 (E_INVALIDARG otherwise). Get fills
    // dwFlags with the properties offered. Set applies the properties whose
    // flag is set; a value outside its range is E_INVALIDARG and nothing
    // changes.
    virtual HRESULT GetProcAmpControl(DWORD stream, VMR9ProcAmpControl* control) = 0;
    virtual HRESULT SetProcAmpControl(DWORD stream, VMR9ProcAmpControl* control) = 0;
    // The range of range->dwProperty (one flag).
    virtual HRESULT GetProcAmpControlRange(DWORD stream, VMR9ProcAmpControlRange* range) = 0;
    // Where the picture goes in the video rectangle, in normalised
    // coordinates: (0, 0, 1, 1) as it is; left > right mirrors it, top >
    // bottom turns it upside down. Only the whole rectangle is taken.
    virtual HRESULT SetOutputRect(DWORD stream, const VMR9NormalizedRect* rect) = 0;
};

// The painted renderer's picture controls over one pipeline's output:
// ranges brightness -100..100 (default 0), contrast 0..200 (100), hue
// -180..180 (0), saturation 0..200 (100), step 1 each. The values reach the
// colour stage as videobalance takes them (brightness, contrast and
// saturation / 100, hue / 180); the output rectangle becomes `mirror`
// (left to right, upside down). Starts at the defaults.
class PaintedPictureControls : public PictureControls {
public:
    using Apply = std::function<void(const ColorValues&)>;
    using Mirror = std::function<void(bool horizontal, bool vertical)>;
    PaintedPictureControls(Apply apply, Mirror mirror) : apply_(std::move(apply)), mirror_(std::move(mirror)) {}
    void Detach()
    {
        apply_ = nullptr;
        mirror_ = nullptr;
    }

    HRESULT GetProcAmpControl(DWORD stream, VMR9ProcAmpControl* control) override;
    HRESULT SetProcAmpControl(DWORD stream, VMR9ProcAmpControl* control) override;
    HRESULT GetProcAmpControlRange(DWORD stream, VMR9ProcAmpControlRange* range) override;
    HRESULT SetOutputRect(DWORD stream, const VMR9NormalizedRect* rect) override;
    static VMR9ProcAmpControlRange RangeOf(DWORD property);

private:
    Apply apply_;
    Mirror mirror_;
    VMR9ProcAmpControl current_{sizeof(VMR9ProcAmpControl), ProcAmpControl9_Mask, 0.0f, 100.0f, 0.0f, 100.0f};
};

}  // namespace media

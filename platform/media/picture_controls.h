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

namespace media {

struct ColorValues;

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

class FilterGraph;
class GraphPrivate;

class ColorControl {
public:
    // What the stage carries: brightness, contrast, hue, saturation, gamma.
    static constexpr DWORD kFlags =
        DDCOLOR_BRIGHTNESS | DDCOLOR_CONTRAST | DDCOLOR_HUE | DDCOLOR_SATURATION | DDCOLOR_GAMMA;

    // Fills dwSize (40), dwFlags (kFlags) and the current values; the
    // sharpness field holds the stored value, which has no effect.
    HRESULT GetColorControls(DDCOLORCONTROL* control) const;
    // Applies the fields whose flag is set (values are limited to the
    // stage's ranges); S_OK. E_INVALIDARG when dwSize is not 40.
    HRESULT SetColorControls(const DDCOLORCONTROL* control);

private:
    friend class FilterGraph;
    friend void DetachColourControls(GraphPrivate& graph);
    explicit ColorControl(FilterGraph* graph) : graph_(graph) {}
    FilterGraph* graph_;   // identity; cleared when the graph goes
};

// The values the display's overlay holds now: what the next graph of an
// overlay or windowless-7 renderer starts with.
const ColorValues& DisplayOverlayColors();

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

}  // namespace media

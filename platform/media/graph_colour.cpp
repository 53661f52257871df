// The colour objects a pipeline hands out: the overlay renderers' colour
// stage in the DirectDraw colour structure, whose values live with the
// display, and the painted renderer's picture controls with their ranges and
// output rectangle. Both drive the videobalance and gamma stage in front of
// the sink. The file graph's own hand-out is at the end.
#include "platform/media/graph_private.h"

#include <algorithm>
#include <cmath>

namespace media {

namespace {

ColorValues& DisplayValues()
{
    static ColorValues values;
    return values;
}

long Limit(long value, long low, long high) { return std::clamp(value, low, high); }

}  // namespace

const ColorValues& DisplayOverlayColors() { return DisplayValues(); }

void SetDisplayOverlayColors(const ColorValues& values) { DisplayValues() = values; }

// ---- ColorControl ----

HRESULT ColorControl::GetColorControls(DDCOLORCONTROL* control) const
{
    if (!control) return E_POINTER;
    if (!get_) return VFW_E_NOT_CONNECTED;
    const ColorValues values = get_();
    *control = DDCOLORCONTROL{};
    control->dwSize = sizeof(DDCOLORCONTROL);
    control->dwFlags = kFlags;
    PutColorValues(control, values);
    return S_OK;
}

HRESULT ColorControl::SetColorControls(const DDCOLORCONTROL* control)
{
    if (!control) return E_POINTER;
    if (control->dwSize != sizeof(DDCOLORCONTROL)) return E_INVALIDARG;
    if (!get_ || !set_) return VFW_E_NOT_CONNECTED;
    ColorValues values = get_();
    const DWORD f = control->dwFlags;
    if (f & DDCOLOR_BRIGHTNESS) values.brightness = Limit(control->lBrightness, 0, 10000);
    if (f & DDCOLOR_CONTRAST) values.contrast = Limit(control->lContrast, 0, 20000);
    if (f & DDCOLOR_HUE) values.hue = Limit(control->lHue, -180, 180);
    if (f & DDCOLOR_SATURATION) values.saturation = Limit(control->lSaturation, 0, 20000);
    if (f & DDCOLOR_GAMMA) values.gamma = Limit(control->lGamma, 1, 500);
    // Kept and reported back, but nothing sharpens the picture.
    if (f & DDCOLOR_SHARPNESS) values.sharpness = Limit(control->lSharpness, 0, 10);
    set_(values);
    SetDisplayOverlayColors(values);
    return S_OK;
}

// ---- PaintedPictureControls ----

VMR9ProcAmpControlRange PaintedPictureControls::RangeOf(DWORD property)
{
    VMR9ProcAmpControlRange r{sizeof(VMR9ProcAmpControlRange), property, 0, 0, 0, 1};
    switch (property) {
    case ProcAmpControl9_Brightness:
        r.MinValue = -100, r.MaxValue = 100, r.DefaultValue = 0;
        break;
    case ProcAmpControl9_Hue:
        r.MinValue = -180, r.MaxValue = 180, r.DefaultValue = 0;
        break;
    default:   // contrast, saturation
        r.MinValue = 0, r.MaxValue = 200, r.DefaultValue = 100;
        break;
    }
    return r;
}

HRESULT PaintedPictureControls::GetProcAmpControl(DWORD stream, VMR9ProcAmpControl* control)
{
    if (!control) return E_POINTER;
    if (stream != 0 || control->dwSize != sizeof(VMR9ProcAmpControl)) return E_INVALIDARG;
    if (!apply_) return VFW_E_NOT_CONNECTED;
    *control = current_;
    return S_OK;
}

HRESULT PaintedPictureControls::SetProcAmpControl(DWORD stream, VMR9ProcAmpControl* control)
{
    if (!control) return E_POINTER;
    if (stream != 0 || control->dwSize != sizeof(VMR9ProcAmpControl)) return E_INVALIDARG;
    if (!apply_) return VFW_E_NOT_CONNECTED;
    struct Property {
        DWORD flag;
        const float* from;
        float* to;
    };
    VMR9ProcAmpControl next = current_;
    const Property properties[] = {
        {ProcAmpControl9_Brightness, &control->Brightness, &next.Brightness},
        {ProcAmpControl9_Contrast, &control->Contrast, &next.Contrast},
        {ProcAmpControl9_Hue, &control->Hue, &next.Hue},
        {ProcAmpControl9_Saturation, &control->Saturation, &next.Saturation},
    };
    for (const Property& p : properties) {
        if (!(control->dwFlags & p.flag)) continue;
        const VMR9ProcAmpControlRange range = RangeOf(p.flag);
        if (!std::isfinite(*p.from) || *p.from < range.MinValue || *p.from > range.MaxValue) return E_INVALIDARG;
        *p.to = *p.from;
    }
    current_ = next;
    // In the stage's own terms: videobalance takes brightness, contrast and
    // saturation as value / 100 and hue as value / 180.
    ColorValues values;
    values.brightness = 750 + std::lround(current_.Brightness * 100.0);
    values.contrast = std::lround(current_.Contrast * 100.0);
    values.hue = std::lround(current_.Hue);
    values.saturation = std::lround(current_.Saturation * 100.0);
    apply_(values);
    return S_OK;
}

HRESULT PaintedPictureControls::GetProcAmpControlRange(DWORD stream, VMR9ProcAmpControlRange* range)
{
    if (!range) return E_POINTER;
    if (stream != 0 || range->dwSize != sizeof(VMR9ProcAmpControlRange)) return E_INVALIDARG;
    const DWORD property = range->dwProperty;
    if (property != ProcAmpControl9_Brightness && property != ProcAmpControl9_Contrast &&
        property != ProcAmpControl9_Hue && property != ProcAmpControl9_Saturation)
        return E_INVALIDARG;
    if (!apply_) return VFW_E_NOT_CONNECTED;
    *range = RangeOf(property);
    return S_OK;
}

HRESULT PaintedPictureControls::SetOutputRect(DWORD stream, const VMR9NormalizedRect* rect)
{
    if (!rect) return E_POINTER;
    if (stream != 0) return E_INVALIDARG;
    auto unit = [](float a, float b) { return (a == 0.0f && b == 1.0f) || (a == 1.0f && b == 0.0f); };
    // Only the whole picture, as it is, mirrored or turned.
    if (!unit(rect->left, rect->right) || !unit(rect->top, rect->bottom)) return E_INVALIDARG;
    if (!mirror_) return VFW_E_NOT_CONNECTED;
    mirror_(rect->left > rect->right, rect->top > rect->bottom);
    return S_OK;
}

// ---- the file graph's colour objects ----

void DetachColourControls(GraphPrivate& d)
{
    if (d.colorControl) d.colorControl->Detach();
    if (d.pictureControls) d.pictureControls->Detach();
}

std::shared_ptr<ColorControl> FilterGraph::OverlayColorControl()
{
    if (!d->rendererAdded || !UsesDisplayOverlay(d->renderer)) return nullptr;
    // A built graph without the stage (an element missing) has no control.
    if (d->pipeline && !(d->video && d->video->HasColorControls())) return nullptr;
    if (!d->colorControl) {
        GraphPrivate* p = d.get();
        d->colorControl = std::make_shared<ColorControl>(
            [p] { return p->videoSettings.colors; },
            [p](const ColorValues& values) {
                p->videoSettings.colors = values;
                if (p->video) p->video->SetColors(values);
            });
    }
    return d->colorControl;
}

std::shared_ptr<PictureControls> FilterGraph::GetPictureControls()
{
    if (!d->rendererAdded || d->renderer != RendererWindowless9) return nullptr;
    if (!d->pictureControls) {
        GraphPrivate* p = d.get();
        d->pictureControls = std::make_shared<PaintedPictureControls>(
            [p](const ColorValues& values) {
                p->videoSettings.colors = values;
                if (p->video) p->video->SetColors(values);
            },
            [p](bool horizontal, bool vertical) {
                p->videoSettings.mirrorH = horizontal;
                p->videoSettings.mirrorV = vertical;
                if (p->video) p->video->SetMirrored(horizontal, vertical);
            });
    }
    return d->pictureControls;
}

}  // namespace media

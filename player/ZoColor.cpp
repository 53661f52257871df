// Picture colour: the overlay values applied when playback starts and put
// back at close, the VMR-9 picture controls, and the colour presets of the
// pop-up menus (the first five on the keys `Color1` to `Color5`).
#include "player/ZoMain.h"

#include "player/units/Colorpresets.h"
#include "common/Reghelp.h"
#include "player/units/Shortcuts.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QMenu>

namespace {

// Reads the present values, puts `values` in and writes them back: S_OK or
// the failing call's result.
HRESULT WriteOverlay(media::ColorControl* control, const media::ColorValues& values)
{
    if (!control) return E_FAIL;
    media::DDCOLORCONTROL c{};
    c.dwSize = sizeof(c);
    const HRESULT hr = control->GetColorControls(&c);
    if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
    media::PutColorValues(&c, values);
    return control->SetColorControls(&c);
}

}  // namespace

void TZoMain::CreateVmr9Mixer(std::shared_ptr<media::PictureControls> controls)
{
    vmr9Mixer_.reset();
    auto mixer = std::make_unique<CVMR9MIXER>();
    if (SUCCEEDED(mixer->Attach(std::move(controls)))) vmr9Mixer_ = std::move(mixer);
}

void TZoMain::TakeColorObjects(int renderer, std::shared_ptr<media::ColorControl> stage)
{
    colorRenderer_ = renderer;
    colorControl_.reset();
    surfaceControl_.reset();
    if (renderer == media::RendererOverlay) colorControl_ = std::move(stage);
    if (renderer == media::RendererWindowless7) surfaceControl_ = std::move(stage);
}

std::shared_ptr<media::ColorControl> TZoMain::CurrentOverlayControl()
{
    if (colorControl_) return colorControl_;
    std::shared_ptr<media::ColorControl> surface;
    if (SUCCEEDED(GetSurfaceColorControl(&surface))) return surface;
    return nullptr;
}

HRESULT TZoMain::GetSurfaceColorControl(std::shared_ptr<media::ColorControl>* control)
{
    if (!control) return E_POINTER;
    control->reset();
    // The windowless-7 renderer's stage, handed out as it is: no sample has
    // to be drawn for it, so the graph's state is left alone.
    if (colorRenderer_ != media::RendererWindowless7 || !surfaceControl_) return E_FAIL;
    *control = surfaceControl_;
    return S_OK;
}

bool TZoMain::IsColorControlAvailable()
{
    if (surfaceControl_ && colorRenderer_ == media::RendererWindowless7) return Tag(ui_->miIsVMRMixerMode) == 0;
    if (vmr9Mixer_) return vmr9Mixer_->valid;
    if (colorControl_) return true;
    // The graph's own default renderer has no colour control.
    return false;
}

bool TZoMain::LoadVmr9Color()
{
    return vmr9Mixer_ && vmr9Mixer_->LoadSettings(QString::fromLatin1(kColorVmr9Key));
}

bool TZoMain::LoadOverlayColor()
{
    if (vmr9Mixer_) return false;
    media::ColorValues values;
    if (!ReadOverlayValues(QString::fromLatin1(kColorOverlayKey), &values)) return false;
    const bool ok = WriteOverlay(CurrentOverlayControl().get(), values) == S_OK;
    if (ok) ColorApplied = true;
    return ok;
}

void TZoMain::ResetOverlayColor()
{
    if (vmr9Mixer_ || colorRenderer_ == media::RendererWindowless9) return;
    // The defaults again; the registry keeps the user's values.
    if (WriteOverlay(CurrentOverlayControl().get(), media::ColorValues()) == S_OK) ColorApplied = false;
}

void TZoMain::ClearColorPresetMenus()
{
    for (QMenu* menu : {ui_->colorset1, ui_->DVDColorSet}) {
        if (Tag(menu) == 0) continue;
        DeleteMenuItemsFrom(menu, 0);
        SetTag(menu, 0);
    }
}

void TZoMain::BuildColorPresetMenu()
{
    QMenu* menu = dvd_.Mode ? ui_->DVDColorSet : ui_->colorset1;
    const QStringList names = SplitPresetNames(ReadPresetSetNames(vmr9Mixer_ ? kColorVmr9Key : kColorOverlayKey));
    if (!names.isEmpty()) {
        const auto codes = ReadPresetShortcuts();
        int created = 0;
        for (const QString& name : names) {
            auto* item = new QAction(name, menu);
            SetItemCaption(item, name);
            // The keys go through the window's own dispatcher, never Qt's.
            SetItemShortCut(item, created < kPresetShortcuts ? codes[created] : 0);
            ++created;
            connect(item, &QAction::triggered, this, [this, item] { ApplyColorPreset(item); });
            menu->addAction(item);
        }
    }
    SetTag(menu, 1);
}

void TZoMain::UpdateColorMenus(bool dvd)
{
    QAction* colorItem = dvd ? ui_->MIDVDColor : ui_->MIColor;
    QMenu* presets = dvd ? ui_->DVDColorSet : ui_->colorset1;
    if (!IsColorControlAvailable()) return;
    colorItem->setVisible(true);
    colorItem->setEnabled(true);
    if (settings_.UseColorCtrl) LoadVmr9Color();
    const int isVmr9 = vmr9Mixer_ ? 1 : 0;
    if (Tag(presets) == 0) {
        BuildColorPresetMenu();
    } else if (Tag(colorItem) != isVmr9) {
        // The other renderer kind keeps its presets under the other key.
        ClearColorPresetMenus();
        BuildColorPresetMenu();
    }
    SetTag(colorItem, isVmr9);
    const bool filled = !presets->actions().isEmpty();
    presets->menuAction()->setVisible(filled);
    presets->setEnabled(filled);
}

void TZoMain::ColorPresetsChanged()
{
    ClearColorPresetMenus();
    BuildColorPresetMenu();
    QMenu* presets = dvd_.Mode ? ui_->DVDColorSet : ui_->colorset1;
    QAction* colorItem = dvd_.Mode ? ui_->MIDVDColor : ui_->MIColor;
    if (colorItem->isVisible() && !presets->actions().isEmpty()) {
        presets->menuAction()->setVisible(true);
        presets->setEnabled(true);
    }
}

void TZoMain::ApplyColorPreset(QAction* sender)
{
    const QString name = sender ? ItemCaption(sender) : QString();
    if (name.isEmpty()) return;
    // A name with "\" would name a key below the preset's.
    if (!IsPresetName(name)) return;
    bool ok = false;
    if (vmr9Mixer_) {
        // Stored in Color\VMR9 when the renderer goes.
        ok = vmr9Mixer_->LoadSettings(QString::fromLatin1(kColorVmr9Key) + QLatin1Char('\\') + name);
    } else {
        media::ColorValues values;
        if (!ReadOverlayValues(QString::fromLatin1(kColorOverlayKey) + QLatin1Char('\\') + name, &values)) return;
        if (WriteOverlay(CurrentOverlayControl().get(), values) != S_OK) return;
        ColorApplied = true;
        // The next file starts with the preset.
        WriteOverlayValues(kColorOverlayKey, values);
        ok = true;
    }
    if (ok && settings_.ShowStatus) ShowStatusText(QStringLiteral("カラープリセット: ") + name);
}

void TZoMain::ScheduleOverlayColor()
{
    if (settings_.ColorCtlWait == 0)
        OnWindowTimer(kColorControlsTimer);
    else
        SetTimer(kColorControlsTimer, settings_.ColorCtlWait);
}

void TZoMain::ColorAtDvdStart()
{
    if (vmr9Mixer_) vmr9Mixer_->ReadRanges();
    if (!CurrentOverlayControl()) ui_->MIDVDColor->setEnabled(false);
    UpdateColorMenus(true);
}

void TZoMain::ColorAtDvdRun()
{
    if (ui_->MIDVDColor->isVisible() && settings_.UseColorCtrl && !vmr9Mixer_) ScheduleOverlayColor();
}

// The window's settings: read once at construction into the window's state
// (check marks, visibilities, sizes) and written back at destruction.
#include "player/ZoMain.h"

#include "ui_ZoMain.h"

#include <QAction>
#include <QSlider>
#include <QToolButton>

void TZoMain::LoadSettings()
{
    settingsKeyOpened_ = LoadMainSettings(&settings_, &settingsAsRead_);
}

void TZoMain::ApplySettingsToControls()
{
    ui_->NLoop->setChecked(settings_.Loop);
    ui_->NContinuousPlay->setChecked(settings_.ContinuousPlay);
    ui_->MShuffle->setChecked(settings_.Shuffle);
    ui_->miKeepSize->setChecked(settings_.KeepSize);
    ui_->miWindowFix->setChecked(settings_.AdjustWindowSize);
    ui_->PMForeground->setChecked(settings_.AlwaysOnTop);
    ui_->NDVDForeground->setChecked(settings_.AlwaysOnTop);
    ui_->TBPowerState->setVisible(settings_.ShowPowerState);
    ui_->TBPowerState->setChecked(settings_.PowerControl);
    UpdatePowerCaption();
    ui_->TBtnShowFolder1->setVisible(settings_.UseViewer);
    ui_->TBtnShowLibrary->setVisible(settings_.UseViewer);
    SetTag(ui_->TrackBarVolume, static_cast<int>(std::min<DWORD>(settings_.Volume, 100)));
    ui_->TrackBarVolume->setValue(Tag(ui_->TrackBarVolume));
    SetTag(ui_->BtnSkip, static_cast<int>(settings_.SkipLength));

    QAction* aspects[] = {ui_->MIOriginalAspect, ui_->miSizeRatio, ui_->MIAspect43, ui_->miAspect169,
                          ui_->MIUnlockAspect};
    aspects[settings_.AspectRatio <= 4 ? settings_.AspectRatio : 0]->setChecked(true);
    SetTag(ui_->miAspectRatio, static_cast<int>(settings_.AspectRatio));

    QAction* sizes[] = {ui_->NSelectedSize, ui_->N640, ui_->N320, ui_->NSouce};
    for (QAction* a : sizes) a->setChecked(false);
    if (!settings_.KeepSize) sizes[settings_.WindowSize <= 3 ? settings_.WindowSize : 3]->setChecked(true);
}

void TZoMain::ReadControlsIntoSettings()
{
    settings_.Loop = ui_->NLoop->isChecked();
    settings_.ContinuousPlay = ui_->NContinuousPlay->isChecked();
    settings_.Shuffle = ui_->MShuffle->isChecked();
    settings_.KeepSize = ui_->miKeepSize->isChecked();
    settings_.AdjustWindowSize = ui_->miWindowFix->isChecked();
    settings_.AlwaysOnTop = ui_->PMForeground->isChecked();
    // In DVD mode the button holds the disc's flag; the files' waits in the settings.
    if (!dvd_.Mode) settings_.PowerControl = ui_->TBPowerState->isChecked();
    settings_.Volume = static_cast<DWORD>(std::max(0, VolumeBarValue()));
    settings_.AspectRatio = static_cast<DWORD>(Tag(ui_->miAspectRatio));
    const QPoint p = pos();
    settings_.Left = p.x();
    settings_.Top = p.y();
}

void TZoMain::SaveSettings()
{
    ReadControlsIntoSettings();
    SaveMainSettings(settings_, !isMaximized() && !fullScreen_, &settingsAsRead_);
    // What was written is now what this window last read.
    settingsAsRead_ = {settings_, std::vector<bool>(settingsAsRead_.unclean.size(), false)};
}

QString TZoMain::ReadExtensionList()
{
    if (extensionCache_.isEmpty()) extensionCache_ = ReadExtensionListValue();
    return extensionCache_;
}

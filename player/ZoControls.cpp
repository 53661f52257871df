// The window's controls: their handlers, their places when the window is
// resized, and the pop-up menus.
#include "player/ZoMain.h"

#include "ui_ZoMain.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QProxyStyle>
#include <QSlider>
#include <QToolButton>

namespace {

// A click on the seek bar's channel jumps to the point clicked.
class SeekBarStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == QStyle::SH_Slider_AbsoluteSetButtons) return Qt::LeftButton;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

void TZoMain::ConnectHandlers()
{
    auto* seekStyle = new SeekBarStyle;
    seekStyle->setParent(ui_->TrackBarForSeek);
    ui_->TrackBarForSeek->setStyle(seekStyle);
    connect(ui_->BtnOpen, &QToolButton::clicked, this, [this] { BtnOpenClick(); });
    connect(ui_->BtnStart, &QToolButton::clicked, this, [this] { BtnStartClick(); });
    connect(ui_->BtnStop, &QToolButton::clicked, this, [this] { BtnStopClick(); });
    connect(ui_->TBtnNextTrack, &QToolButton::clicked, this, [this] { TBtnNextTrackClick(); });
    connect(ui_->TBtnPreviousTrack, &QToolButton::clicked, this, [this] { TBtnPreviousTrackClick(); });
    connect(ui_->TrackBarForSeek, &QSlider::valueChanged, this, [this] { TrackBarForSeekChange(); });
    connect(ui_->TrackBarVolume, &QSlider::valueChanged, this, [this](int value) {
        if (SoundMuted()) return;
        SetTag(ui_->TrackBarVolume, value);
        SetAudioVolume();
    });
    connect(Timer, &QTimer::timeout, this, [this] { TimerTimer(); });

    connect(ui_->miOpen, &QAction::triggered, this, [this] { BtnOpenClick(); });
    connect(ui_->miPlay, &QAction::triggered, this, [this] { BtnStartClick(); });
    connect(ui_->miStop, &QAction::triggered, this, [this] { BtnStopClick(); });
    connect(ui_->miPlayNext, &QAction::triggered, this, [this] {
        if (playList_.Count() >= 2 && !item_.Opening) TBtnNextTrackClick();
    });
    connect(ui_->miPlayPrevious, &QAction::triggered, this, [this] {
        if (playList_.Count() >= 2 && !item_.Opening) TBtnPreviousTrackClick();
    });
    // The shuffle item's handler decides the check mark itself.
    connect(ui_->MShuffle, &QAction::triggered, this, [this] {
        ui_->MShuffle->setChecked(!ui_->MShuffle->isChecked());
        MShuffleClick();
    });
    connect(ui_->PMForeground, &QAction::triggered, this, [this](bool on) {
        ui_->NDVDForeground->setChecked(on);
        SetWindowTopmost(on);
    });
    connect(ui_->NDVDForeground, &QAction::triggered, this, [this](bool on) {
        ui_->PMForeground->setChecked(on);
        SetWindowTopmost(on);
    });
    ui_->TrackBarForSeek->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui_->TrackBarForSeek, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { ui_->TrackBarPopupMenu->popup(ui_->TrackBarForSeek->mapToGlobal(p)); });
}

void TZoMain::contextMenuEvent(QContextMenuEvent* e)
{
    QMenu* menu = dvd_.Mode ? ui_->DVDPopupMenu : ui_->MainPopupMenu;
    menu->popup(e->globalPos());
}

void TZoMain::LayoutControls()
{
    if (!ui_) return;
    const int w = ClientWidth();
    const int h = ClientHeight();
    if (!fullScreen_) ui_->ViewPanel->setGeometry(2, 2, std::max(0, w - 4), std::max(0, h - 60));
    ui_->ControlPanel->setGeometry(0, h - 58, w, 58);
    QSlider* seek = ui_->TrackBarForSeek;
    seek->setGeometry(seek->x(), seek->y(), std::max(0, w - 4), seek->height());
    // The power tool bar sits at the right edge, as wide as its visible buttons.
    const bool power = settings_.ShowPowerState;
    const bool folder = settings_.UseViewer;
    QWidget* bar = ui_->ToolBarPower;
    if (!power && !folder) {
        bar->hide();
    } else {
        const int offset = power && folder ? 50 : (power ? 18 : 34);
        bar->move(w - offset, bar->y());
        bar->show();
    }
    const int panelWidth = ui_->ViewPanel->width();
    ui_->LblTitle->resize(panelWidth, ui_->LblTitle->height());
    ui_->LblArtist->resize(panelWidth, ui_->LblArtist->height());
}

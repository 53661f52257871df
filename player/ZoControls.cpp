// The window's controls: their handlers, the presses the transport takes
// from them, their places when the window is resized, and the pop-up menus.
#include "player/ZoMain.h"

#include "player/units/Windowgeometry.h"
#include "player/units/Ccdplay.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolButton>

QRect SliderPart(const QSlider* slider, QStyle::SubControl part)
{
    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.orientation = slider->orientation();
    opt.minimum = slider->minimum();
    opt.maximum = slider->maximum();
    opt.sliderPosition = slider->sliderPosition();
    opt.sliderValue = slider->value();
    opt.singleStep = slider->singleStep();
    opt.pageStep = slider->pageStep();
    opt.upsideDown = slider->invertedAppearance();
    opt.tickPosition = slider->tickPosition();
    opt.tickInterval = slider->tickInterval();
    opt.subControls = QStyle::SC_All;
    return slider->style()->subControlRect(QStyle::CC_Slider, &opt, part, slider);
}

void TZoMain::ConnectHandlers()
{
    // Clicks beside the seek bar's handle, and the right button on the skip
    // and frame-step buttons, go through TransportEvent.
    for (QWidget* w : {static_cast<QWidget*>(ui_->TrackBarForSeek), static_cast<QWidget*>(ui_->BtnSkip),
                       static_cast<QWidget*>(ui_->BtnStepFrame)})
        w->installEventFilter(this);
    for (QWidget* w : {static_cast<QWidget*>(ui_->tnTime), static_cast<QWidget*>(ui_->taTime),
                       static_cast<QWidget*>(ui_->BtnList), static_cast<QWidget*>(ui_->TBtnShowFolder1),
                       static_cast<QWidget*>(ui_->TBtnShowLibrary)})
        w->installEventFilter(this);
    connect(ui_->BtnOpen, &QToolButton::clicked, this, [this] { BtnOpenClick(); });
    // The other ways to open (an address, a folder search) on the open button's right click.
    ui_->BtnOpen->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui_->BtnOpen, &QWidget::customContextMenuRequested, this, [this] { ui_->PmOpen->popup(QCursor::pos()); });
    connect(ui_->BtnStart, &QToolButton::clicked, this, [this] { BtnStartClick(); });
    connect(ui_->BtnStop, &QToolButton::clicked, this, [this] { BtnStopClick(); });
    connect(ui_->TBtnNextTrack, &QToolButton::clicked, this, [this] { TBtnNextTrackClick(); });
    connect(ui_->TBtnPreviousTrack, &QToolButton::clicked, this, [this] { TBtnPreviousTrackClick(); });
    // The held buttons step at the press and repeat until the release; a
    // button that is disabled while held is released too.
    connect(ui_->TBtnFastforward, &QToolButton::pressed, this, [this] { TBtnFastforwardMouseDown(); });
    connect(ui_->TBtnFastforward, &QToolButton::released, this, [this] { TBtnFastforwardMouseUp(); });
    connect(ui_->TBtnRewind, &QToolButton::pressed, this, [this] { TBtnRewindMouseDown(); });
    connect(ui_->TBtnRewind, &QToolButton::released, this, [this] { TBtnRewindMouseUp(); });
    connect(ui_->BtnSkip, &QToolButton::pressed, this, [this] { BtnSkipMouseDown(true); });
    connect(ui_->BtnSkip, &QToolButton::released, this, [this] { BtnSkipMouseUp(); });
    // A file skips at the press and while held; a DVD once per click, and
    // the left button's release has turned the image back to forward.
    connect(ui_->BtnSkip, &QToolButton::clicked, this, [this] {
        if (dvd_.Mode) BtnSkipClick();
    });
    connect(ui_->BtnStepFrame, &QToolButton::pressed, this, [this] { BtnStepFrameMouseDown(true); });
    connect(ui_->BtnStepFrame, &QToolButton::released, this, [this] { BtnStepFrameMouseUp(); });
    connect(ui_->TrackBarForSeek, &QSlider::valueChanged, this, [this] { TrackBarForSeekChange(); });
    // A drag on a paused item needs the position timer for its deferred seek.
    connect(ui_->TrackBarForSeek, &QSlider::sliderPressed, this, [this] { UpdatePositionTimers(); });
    connect(ui_->TrackBarForSeek, &QSlider::sliderReleased, this, [this] { UpdatePositionTimers(); });
    connect(ui_->TrackBarVolume, &QSlider::valueChanged, this, [this](int value) { TrackBarVolumeChange(value); });
    connect(ui_->BtnSound, &QToolButton::clicked, this, [this] { BtnSoundClick(); });
    connect(Timer, &QTimer::timeout, this, [this] { TimerTimer(); });
    connect(MouseTimer, &QTimer::timeout, this, [this] { MouseTimerTimer(); });

    // Window size, aspect and full-screen fit: the items check themselves.
    for (QAction* item : {ui_->NSelectedSize, ui_->N640, ui_->N320, ui_->NSouce})
        connect(item, &QAction::triggered, this, [this, item] { NSelectedSizeClick(item); });
    for (QAction* item : {ui_->MIOriginalAspect, ui_->miSizeRatio, ui_->MIAspect43, ui_->miAspect169,
                          ui_->MIUnlockAspect})
        connect(item, &QAction::triggered, this, [this, item] { MIOriginalAspectClick(item); });
    for (QAction* item : {ui_->miStretchW, ui_->miStretchH})
        connect(item, &QAction::triggered, this, [this, item] { miStretchClick(item); });
    connect(ui_->miKeepSize, &QAction::triggered, this, [this] { miKeepSizeClick(); });
    connect(ui_->miWindowFix, &QAction::triggered, this, [this] { miWindowFixClick(); });
    connect(ui_->NPictureSize, &QAction::triggered, this, [this] { NPictureSizeClick(); });

    // The shuffle and always-on-top items' handlers decide the check marks themselves.
    connect(ui_->MShuffle, &QAction::triggered, this, [this] {
        ui_->MShuffle->setChecked(!ui_->MShuffle->isChecked());
        MShuffleClick();
    });
    for (QAction* item : {ui_->PMForeground, ui_->NDVDForeground}) {
        connect(item, &QAction::triggered, this, [this, item] {
            item->setChecked(!item->isChecked());
            PMForegroundClick();
        });
    }
    connect(ui_->NContinuousPlay, &QAction::triggered, this, [this] {
        ui_->NContinuousPlay->setChecked(!ui_->NContinuousPlay->isChecked());
        NContinuousPlayClick();
    });
    connect(ui_->NLoop, &QAction::triggered, this, [this] { NLoopClick(); });
    ConnectKeyItems();
    // The stream items are made again as the menu opens: the streams' tags
    // may have arrived since the graph was built.
    connect(ui_->MainPopupMenu, &QMenu::aboutToShow, this, [this] {
        const int count = -Tag(ui_->miAudio->menuAction());
        if (graph_ && count > 1) BuildAudioStreamMenu(count);
    });
    ui_->TrackBarForSeek->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui_->TrackBarForSeek, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { ui_->TrackBarPopupMenu->popup(ui_->TrackBarForSeek->mapToGlobal(p)); });
}

void TZoMain::ConnectKeyItems()
{
    using Handler = void (TZoMain::*)();
    const std::pair<QAction*, Handler> items[] = {
        {ui_->miOpen, &TZoMain::BtnOpenClick},
        {ui_->miPlay, &TZoMain::miPlayClick},
        {ui_->miStop, &TZoMain::miStopClick},
        {ui_->miPlayNext, &TZoMain::miPlayNextClick},
        {ui_->miPlayPrevious, &TZoMain::miPlayPreviousClick},
        {ui_->miForward, &TZoMain::miForwardClick},
        {ui_->miRewind, &TZoMain::miRewindClick},
        {ui_->miSkip, &TZoMain::miSkipClick},
        {ui_->miSkipBack, &TZoMain::miSkipBackClick},
        {ui_->miStepFrame, &TZoMain::miStepFrameClick},
        {ui_->miStepBack, &TZoMain::miStepBackClick},
        {ui_->miShowPlayList, &TZoMain::miShowPlayListClick},
        {ui_->miShowLibViewer, &TZoMain::miShowLibViewerClick},
        {ui_->miFoldeLib, &TZoMain::miFoldeLibClick},
        {ui_->miVolumeUp, &TZoMain::miVolumeUpClick},
        {ui_->miVolumeDn, &TZoMain::miVolumeDnClick},
        {ui_->miVolumeMute, &TZoMain::miVolumeMuteClick},
        {ui_->miShowBrowser, &TZoMain::miShowBrowserClick},
        {ui_->miShowEditList, &TZoMain::miShowEditListClick},
        {ui_->miShowCapDlg, &TZoMain::miShowCapDlgClick},
        {ui_->miChangeWindow, &TZoMain::miChangeWindowClick},
        {ui_->miPreviousBmk, &TZoMain::miPreviousBmkClick},
        {ui_->miNextBmk, &TZoMain::miNextBmkClick},
        {ui_->miSaveSection, &TZoMain::miSaveSectionClick},
        {ui_->miChainABSC, &TZoMain::miChainABSCClick},
        {ui_->miDVDMenuU, &TZoMain::miDVDMenuUClick},
        {ui_->miDVDMenuD, &TZoMain::miDVDMenuDClick},
        {ui_->miDVDMenuL, &TZoMain::miDVDMenuLClick},
        {ui_->miDVDMenuR, &TZoMain::miDVDMenuRClick},
        {ui_->miDVDForward, &TZoMain::miDVDForwardClick},
        {ui_->miDVDRewind, &TZoMain::miDVDRewindClick},
        {ui_->NSelectCurrentSize, &TZoMain::NSelectCurrentSizeClick},
        {ui_->NFullScreen, &TZoMain::NFullScreenClick},
        {ui_->MIFullScr, &TZoMain::NFullScreenClick},
        {ui_->NProperty, &TZoMain::NPropertyClick},
        {ui_->MIDVDSetup, &TZoMain::NPropertyClick},
        {ui_->MIColor, &TZoMain::MIColorClick},
        {ui_->MIDVDColor, &TZoMain::MIColorClick},
        {ui_->NShowFilter, &TZoMain::NShowFilterClick},
        {ui_->MIDVDFilter, &TZoMain::NShowFilterClick},
        {ui_->NRootMenu, &TZoMain::NRootMenuClick},
        {ui_->NTitleMenu, &TZoMain::NTitleMenuClick},
        {ui_->miMakeBkmrk, &TZoMain::miMakeBkmrkClick},
        {ui_->N17, &TZoMain::miMakeBkmrkClick},
        {ui_->miShowBkmrkDlg, &TZoMain::miShowBkmrkDlgClick},
        {ui_->N18, &TZoMain::miShowBkmrkDlgClick},
        {ui_->miBookmark2, &TZoMain::miShowBkmrkDlgClick},
        {ui_->miEditSections, &TZoMain::miEditSectionsClick},
        {ui_->SelTrackS, &TZoMain::SelTrackSClick},
        {ui_->miSelStart, &TZoMain::SelTrackSClick},
        {ui_->SelTrackE, &TZoMain::SelTrackEClick},
        {ui_->miSelEnd, &TZoMain::SelTrackEClick},
        {ui_->SelTrackC, &TZoMain::SelTrackCClick},
        {ui_->miSelClear, &TZoMain::SelTrackCClick},
        {ui_->MiShowLibrary, &TZoMain::MiShowLibraryClick},
        {ui_->N24, &TZoMain::N24Click},
        {ui_->miFolderSerch, &TZoMain::miFolderSerchClick},
        {ui_->InputURL1, &TZoMain::InputURL1Click},
        {ui_->miOnePlay, &TZoMain::miOnePlayClick},
        {ui_->miConnectCDDB, &TZoMain::miConnectCDDBClick},
        {ui_->miSaveToCDIni, &TZoMain::miSaveToCDIniClick},
    };
    for (const auto& [item, handler] : items)
        connect(item, &QAction::triggered, this, [this, handler = handler] { (this->*handler)(); });
    connect(ui_->TBtnShowCombo, &QToolButton::clicked, this, [this] { TBtnShowComboClick(); });
    connect(ui_->TBtnShowLibrary, &QToolButton::clicked, this, [this] { TBtnShowLibraryClick(); });
    connect(ui_->TBtnShowFolder1, &QToolButton::clicked, this, [this] { TBtnShowFolder1Click(); });
    connect(ui_->TBPowerState, &QToolButton::clicked, this, [this](bool checked) {
        // The handler flips the button itself: the end of a DVD title calls it without a click.
        ui_->TBPowerState->setChecked(!checked);
        TBPowerStateClick();
    });
    WatchPowerButton();
    connect(CDTimer, &QTimer::timeout, this, [this] { CDTimerTimer(); });
    ConnectDvdMenus();
}

bool TZoMain::TransportEvent(QObject* watched, QEvent* e)
{
    const QEvent::Type type = e->type();
    QSlider* bar = ui_->TrackBarForSeek;
    if (watched == bar) {
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick) return false;
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() != Qt::LeftButton || !bar->isEnabled()) return false;
        // On the handle the bar drags as usual.
        const QRect handle = SliderPart(bar, QStyle::SC_SliderHandle);
        const QPoint p = me->position().toPoint();
        if (handle.contains(p)) return false;
        TrackBarForSeekEnter(p.x());
        return true;
    }
    // The right button steps backward; the left one is the buttons' own press.
    auto* button = qobject_cast<QToolButton*>(watched);
    if (button != ui_->BtnSkip && button != ui_->BtnStepFrame) return false;
    if (type == QEvent::ContextMenu) return true;   // no window menu over a held button
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::MouseButtonRelease)
        return false;
    if (static_cast<QMouseEvent*>(e)->button() != Qt::RightButton || !button->isEnabled()) return false;
    const bool press = type != QEvent::MouseButtonRelease;
    button->setDown(press);
    if (button == ui_->BtnSkip) {
        if (press) {
            BtnSkipMouseDown(false);
        } else {
            if (dvd_.Mode) BtnSkipClick();   // backward: the press set the image
            BtnSkipMouseUp();
        }
    } else if (press) {
        BtnStepFrameMouseDown(false);
    } else {
        BtnStepFrameMouseUp();
    }
    return true;
}

bool TZoMain::SmallControlEvent(QObject* watched, QEvent* e)
{
    const QEvent::Type type = e->type();
    const bool labels = watched == ui_->tnTime || watched == ui_->taTime;
    const bool buttons = watched == ui_->BtnList || watched == ui_->TBtnShowFolder1 || watched == ui_->TBtnShowLibrary;
    if (!labels && !buttons) return false;
    // These buttons open menus of their own: not the window's as well.
    if (type == QEvent::ContextMenu) return buttons;
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::MouseButtonRelease)
        return false;
    auto* me = static_cast<QMouseEvent*>(e);
    const bool release = type == QEvent::MouseButtonRelease;
    if (labels) {
        if (me->button() != Qt::LeftButton) return false;
        // The press stays with the label: on the window it would drag it.
        if (release && static_cast<QWidget*>(watched)->rect().contains(me->position().toPoint())) taTimeClick();
        return true;
    }
    if (watched == ui_->BtnList) {
        if (release) BtnListMouseUp();
        // The left button still works the button's own look.
        return me->button() != Qt::LeftButton;
    }
    if (me->button() != Qt::RightButton) return false;
    if (release) {
        if (watched == ui_->TBtnShowFolder1)
            TBtnShowFolder1MouseUp();
        else
            TBtnShowLibraryMouseUp();
    }
    return true;
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
    ui_->ViewPanel->setGeometry(geometry::ViewPanelRect(QSize(w, h), fullScreen_));
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

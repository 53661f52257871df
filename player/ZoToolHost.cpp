// The main window as the tool windows see it (IToolHost): the operations
// that are more than a field's read or write.
#include "player/ZoMain.h"

#include "platform/dvd/player.h"
#include "platform/media/capture.h"
#include "platform/realmedia/realmedia.h"
#include "player/tools/TCaptureDlg.h"
#include "player/tools/TListEditForm.h"
#include "player/units/Shortcuts.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QMenu>
#include <QSlider>

#include <algorithm>

void TZoMain::ApplyAlwaysOnTop() { SetWindowTopmost(ui_->PMForeground->isChecked()); }

void TZoMain::KeepPointerVisible()
{
    // In full screen the pointer hides after a while; a tool's menu that is
    // open needs it.
    if (!fullScreen_) return;
    MouseTimer->stop();
    ShowCursorInFullScreen(true);
}

QWidget* TZoMain::ViewPanel() { return ui_->ViewPanel; }

namespace {

QWidget* ToolWindowOf(const TZoMain& w, TToolWindow window)
{
    switch (window) {
    case TToolWindow::Capture: return w.CaptureWindow;
    case TToolWindow::PlayListEditor: return w.ListEditWindow;
    case TToolWindow::LibraryEditor: return w.LibraryEditWindow;
    case TToolWindow::FileBrowser: return w.FileBrowserWindow;
    case TToolWindow::Bookmarks: return w.BookmarkWindow;
    case TToolWindow::Countdown: return w.EndingWindow;
    }
    return nullptr;
}

}  // namespace

bool TZoMain::ToolWindowOpen(TToolWindow window) const { return ToolWindowOf(*this, window) != nullptr; }

QWidget* TZoMain::OpenToolWindow(TToolWindow window) const { return ToolWindowOf(*this, window); }

WORD TZoMain::MenuShortCut(const char* item) const
{
    const auto* action = findChild<QAction*>(QString::fromLatin1(item));
    return action ? ItemShortCut(action) : 0;
}

bool TZoMain::FocusToolWindow(TToolWindow window)
{
    QWidget* tool = ToolWindowOf(*this, window);
    if (!tool) return false;
    tool->raise();
    tool->activateWindow();
    return true;
}

void TZoMain::FocusMainWindow()
{
    raise();
    activateWindow();
}

int TZoMain::AudioStreamItems() const
{
    return ui_->miAudio->menuAction()->isVisible() ? static_cast<int>(ui_->miAudio->actions().size()) : 0;
}

GstElement* TZoMain::PlayingPipeline() const
{
    if (graph_) return graph_->Pipeline();
    const dvd::DvdPlayer* player = DvdPipeline();
    return player ? player->Pipeline() : nullptr;
}

bool TZoMain::VideoFormatSize(int* width, int* height, int* aspectX, int* aspectY) const
{
    if (Tag(ui_->miVideoHeight) != 0) {
        *width = Tag(ui_->miVideoWidth);
        *height = Tag(ui_->miVideoHeight);
        *aspectX = Tag(ui_->miAspectX);
        *aspectY = Tag(ui_->miAspectY);
        return true;
    }
    long w = 0, h = 0, x = 0, y = 0;
    if (!graph_ || !graph_->HasVideo() || FAILED(graph_->GetNativeVideoSize(&w, &h))) return false;
    if (FAILED(graph_->GetPreferredAspectRatio(&x, &y))) x = y = 0;
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    *aspectX = static_cast<int>(x);
    *aspectY = static_cast<int>(y);
    return true;
}

WORD TZoMain::MakeBookmarkShortCut() const { return static_cast<WORD>(ItemShortCut(ui_->miMakeBkmrk)); }
// ---- picture capture ----


bool TZoMain::AspectUnlocked() const { return ui_->MIUnlockAspect->isChecked(); }

QImage TZoMain::RealMediaPicture() const { return RealControl ? RealControl->CurrentImage() : QImage(); }

HRESULT TZoMain::GrabDvdPicture(QImage* picture)
{
    if (!picture) return E_POINTER;
    const dvd::DvdPlayer* player = DvdPipeline();
    *picture = player ? media::AsCapturedPicture(player->CurrentImage()) : QImage();
    return picture->isNull() ? E_FAIL : S_OK;
}

TCaptureDlg* TZoMain::CaptureDlg() const { return qobject_cast<TCaptureDlg*>(CaptureWindow.data()); }

void TZoMain::OpenListInEditor(const QString& path)
{
    // The play-list editor, made or brought forward, with that list open in it.
    viewerPath_ = path;
    MiListEditClick();
    if (auto* editor = qobject_cast<TListEditForm*>(ListEditWindow.data())) editor->OpenListFile(path);
}

TCaptureGraphNeeds TZoMain::CaptureNeeds() const
{
    // A window that is closing is hidden already: the graph built as it goes
    // is the plain one.
    const TCaptureDlg* capture = CaptureDlg();
    return capture ? capture->GraphNeeds() : TCaptureGraphNeeds();
}

HRESULT TZoMain::RebuildGraphForCapture(int method)
{
    if (!graph_ || item_.Path.isEmpty() || dvd_.Mode) return E_FAIL;
    CaptureRebuiltGraph = true;
    if (method == media::kCaptureGrabber) ClearSelection();
    return RebuildFileGraphInPlace();
}

void TZoMain::CapturePrepared(bool flipMenuVisible, bool rebuilt)
{
    ui_->MenuFlipVideo->menuAction()->setVisible(flipMenuVisible);
    if (!rebuilt) return;
    // The new renderer starts with its own aspect handling: the window's
    // choice is checked again and the renderer keeps the aspect once more.
    QAction* aspects[] = {ui_->MIOriginalAspect, ui_->miSizeRatio, ui_->MIAspect43, ui_->miAspect169,
                          ui_->MIUnlockAspect};
    const int mode = Tag(ui_->miAspectRatio);
    aspects[mode >= 0 && mode <= 4 ? mode : 0]->setChecked(true);
    SetRendererAspectMode(true);
}

HRESULT TZoMain::CaptureWithoutGraph()
{
    TCaptureDlg* capture = CaptureDlg();
    if (!RealControl || !capture) return E_FAIL;
    const int seekPosition = ui_->TrackBarForSeek->value();
    const int state = playState_;
    PendingRealStart = std::max(0, RealControl->GetPosition());
    const int entry = playList_.ListIndex();
    const QString path = playList_.IsValidIndex(entry) ? playList_.Item(entry).Path : item_.Path;
    CloseMedia();
    const HRESULT hr = capture->RunPlaceholderGraph();
    if (FAILED(hr)) return hr;
    OpenFileActivated(path);
    for (QAction* item : {ui_->NShowFilter, ui_->NProperty, ui_->PMForeground}) item->setVisible(false);
    if (state != psPlaying && RealControl) {
        ui_->TrackBarForSeek->setValue(seekPosition);
        TogglePlayPause();
    }
    return S_OK;
}

HRESULT TZoMain::RebuildFileGraphInPlace()
{
    REFERENCE_TIME position = 0;
    if (FAILED(graph_->GetCurrentPosition(&position))) position = 0;
    const double rate = item_.PlaybackRate;
    const int state = playState_;
    const int audioStream = graph_->AudioStreamCount() > 1 ? graph_->CurrentAudioStream() : -1;
    graph_->SetNotifyWindow(nullptr, 0, 0);
    graph_->Stop();
    vmr9Mixer_.reset();
    TakeColorObjects(0, nullptr);
    graph_.reset();
    // The same file where it stood: the window keeps its size, and the
    // capture window is not prepared again by the graph's own start.
    rebuildingForCapture_ = true;
    const HRESULT hr = BuildFileGraph(item_.Path);
    rebuildingForCapture_ = false;
    if (FAILED(hr)) return hr;
    return RestartAfterRebuild(position, rate, state, audioStream);
}

HRESULT TZoMain::RestartAfterRebuild(REFERENCE_TIME position, double rate, int state, int audioStream)
{
    // The new graph starts at 1.0; the rate is set again from there.
    if (rate != 1.0 && rate > 0) {
        SetRate(1.0);
        SetRate(rate);
    }
    // Paused before the seek, so that the seek lands on a still graph and
    // shows the frame where the file stood rather than playing on from it.
    if (state != psPlaying) {
        const HRESULT hr = graph_->Pause();
        if (FAILED(hr)) return hr;
        ApplyPlayState(state, false);
    }
    if (position != 0 && !item_.NoDuration) {
        const HRESULT hr = graph_->SetPositions(&position, media::AM_SEEKING_AbsolutePositioning, nullptr,
                                                media::AM_SEEKING_NoPositioning);
        if (FAILED(hr)) return hr;
    }
    // The sound track the user chose, where the new graph starts at the first.
    if (audioStream > 0 && graph_->CurrentAudioStream() != audioStream) {
        if (FAILED(graph_->SelectAudioStream(audioStream))) return E_FAIL;
        for (QAction* item : ui_->miAudio->actions())
            if (Tag(item) == audioStream + 1) item->setChecked(true);
        SetTag(ui_->miCurrentAudio, audioStream + 1);
    }
    if (graph_->HasAudio()) SetAudioVolume();
    return S_OK;
}

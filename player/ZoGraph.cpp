// The file graph: building it for one media item, its preferred filters,
// fitting the window to the item, the time text and relative seeks.
#include "player/ZoMain.h"
#include "player/tools/TCaptureDlg.h"

#include "platform/realmedia/realmedia.h"

#include "platform/paths/paths.h"
#include "platform/registry/registry.h"
#include "player/units/Dvdpipeline.h"
#include "player/units/Languages.h"
#include "player/units/Videoops.h"
#include "common/Reghelp.h"
#include "player/units/Shortcuts.h"
#include "player/units/Wmvinfo.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QToolButton>

namespace {

// Values of the `Filters` key by kind.
const char* const kFilterValues[] = {nullptr,       "MPEG1VCLSID", "MPEG1ACLSID", "MPEG2VCLSID", "MPEG2ACLSID",
                                     "DVDVCLSID",   "DVDACLSID",   "MPEG1CCLSID", "MPEG2CCLSID", "AudioRenderer"};

}  // namespace

QByteArray ReadFilterClassId(int kind)
{
    if (kind < 1 || kind > 9) return {};
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kFiltersKey, KEY_READ);
    if (!key) return {};
    BYTE id[16] = {};
    const BYTE none[16] = {};
    RegReadBinary16(key.get(), kFilterValues[kind], id, none);
    if (memcmp(id, none, 16) == 0) return {};
    return QByteArray(reinterpret_cast<const char*>(id), 16);
}

HRESULT TZoMain::AddPreferredFilter(int kind, const QString& name)
{
    Q_UNUSED(name);
    if (!graph_) return E_FAIL;
    const QByteArray id = ReadFilterClassId(kind);
    if (id.isEmpty()) return E_FAIL;
    const QString factory = media::FactoryForClassId(id);
    if (factory.isEmpty()) return E_FAIL;
    return graph_->AddPreferredFactory(factory);
}

HRESULT TZoMain::AddAudioRenderer()
{
    if (!graph_) return E_FAIL;
    QString name;
    if (const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_READ))
        RegReadString(key.get(), "AudioRendererName", &name, 128);
    if (name.isEmpty()) return E_FAIL;
    const QByteArray id = ReadFilterClassId(9);
    const QString factory = id.isEmpty() ? QString() : media::FactoryForClassId(id);
    if (factory.isEmpty()) return E_FAIL;
    // The name is the output device's: without that device the graph keeps
    // its default sink.
    return graph_->AddAudioRenderer(factory, name);
}

void TZoMain::InsertMpegSplitter(const QString& path)
{
    // The caps the source's pad has for the file: what the type finder sees.
    const QString caps = media::FindMediaType(path);
    const int kind = MpegSplitterKindForCaps(caps, settings_.Mpeg2Splitter);
    for (int tried : MpegSplitterOrder(kind)) {
        const QString factory = MpegSplitterFactory(tried, caps);
        if (!factory.isEmpty() && AddMpegSplitter(tried, factory)) return;
    }
    // No splitter: the graph renders the file by itself.
    item_.MpegSplitterKind = 0;
}

bool TZoMain::AddMpegSplitter(int kind, const QString& factory)
{
    if (!graph_ || FAILED(graph_->AddPreferredFactory(factory))) return false;
    // The item's kind counts 1 for the MPEG-1 splitter and 2 for the MPEG-2 ones.
    item_.MpegSplitterKind = kind == 2 ? 1 : 2;
    if (item_.MpegSplitterKind == 2) {
        if (!settings_.MPEG2Video.isEmpty()) AddPreferredFilter(3, settings_.MPEG2Video);
        if (!settings_.MPEG2Audio.isEmpty()) AddPreferredFilter(4, settings_.MPEG2Audio);
    } else {
        if (!settings_.MPEG1Video.isEmpty()) AddPreferredFilter(1, settings_.MPEG1Video);
        if (!settings_.MPEG1Audio.isEmpty()) AddPreferredFilter(2, settings_.MPEG1Audio);
    }
    return true;
}

QString TZoMain::BuildCaptureDecoders(const QString& path, const TCaptureGraphNeeds& needs)
{
    // The splitters by kind: 0 and 1 for MPEG-2, 2 for MPEG-1; a file known
    // as MPEG-1 tries only its own. One demuxer serves both generations of
    // program streams here, so the stream's own generation decides.
    const QString caps = media::FindMediaType(path);
    const bool mpeg1 = item_.MpegSplitterKind == 1 || caps.contains(QLatin1String("mpegversion=(int)1"));
    const std::vector<int> kinds = mpeg1 ? std::vector<int>{2} : std::vector<int>{0, 1, 2};
    for (int kind : kinds) {
        const QString splitter = MpegSplitterFactory(kind, caps);
        if (splitter.isEmpty() || FAILED(graph_->AddPreferredFactory(splitter))) continue;
        item_.MpegSplitterKind = kind == 2 ? 1 : 2;
        const QString& name = kind == 2 ? needs.mpeg1Decoder : needs.mpeg2Decoder;
        if (name.isEmpty()) return {};
        const QByteArray id = ReadFilterClassId(kind == 2 ? 7 : 8);
        const QString decoder = id.isEmpty() ? QString() : media::FactoryForClassId(id);
        if (decoder.isEmpty() || FAILED(graph_->AddPreferredFactory(decoder))) return {};
        return decoder;
    }
    return {};
}

int TZoMain::AddVideoOutput(media::FilterGraph& graph, const TCaptureGraphNeeds& needs)
{
    const int renderer = needs.renderer >= 0 ? needs.renderer : static_cast<int>(settings_.Renderer);
    graph.AddVideoRenderer(renderer, ui_->ViewPanel, settings_.UseVideoReversal || needs.flip);
    if (needs.captureBranch) graph.AddCaptureBranch();
    if (needs.deinterlace) graph.AddDeinterlacer();
    return renderer;
}

bool TZoMain::OpenWindowsMediaFile(const QString& path)
{
    if (!graph_) return false;
    graph_->UseWindowsMediaSource(false);
    if (FAILED(graph_->RenderFile(path))) return false;
    // Header attributes: seekability, picture, title and author.
    CWmvInfo info;
    if (SUCCEEDED(info.ReadHeader(graph_.get()))) {
        if (!info.seekable) item_.NoDuration = true;
        if (!info.hasVideo) item_.AudioOnly = true;
        if (settings_.ReadWmvTag) {
            ui_->LblTitle->setText(info.title);
            ui_->LblArtist->setText(info.author);
            UpdateCaption(info.title.isEmpty() ? EntryTitle(playList_.ListIndex()) : info.title);
        }
    }
    if (settings_.CheckSeekability && item_.NoDuration) {
        // Without an index the file is read again as a stream.
        auto stream = std::make_unique<media::FilterGraph>();
        // Built as the first graph was, for the capture window too.
        if (!item_.AudioOnly) AddVideoOutput(*stream, CaptureNeeds());
        stream->UseWindowsMediaSource(true);
        if (SUCCEEDED(stream->RenderFile(path))) graph_ = std::move(stream);
    }
    return true;
}

HRESULT TZoMain::BuildFileGraph(const QString& path)
{
    // Drops and second starts are refused until the first pause (or an error).
    item_.GraphStarting = true;
    item_.AudioOnly = false;
    item_.NoDuration = false;
    item_.MpegDecodersFound = false;
    graph_ = std::make_unique<media::FilterGraph>();
    // Preferred filters go in before the file is rendered, or the graph picks its own.
    if (settings_.UseSelectedAudioRenderer && !item_.StillPicture) AddAudioRenderer();
    const bool withPicture = !item_.Mp3;
    HRESULT hr = S_OK;
    const bool mpegPreferences = settings_.Mpeg2Splitter || settings_.Mpeg2OverlayMixer ||
                                 !settings_.MPEG1Video.isEmpty() || !settings_.MPEG1Audio.isEmpty() ||
                                 !settings_.MPEG2Video.isEmpty() || !settings_.MPEG2Audio.isEmpty();
    // While the capture window is open the graph is built as its method
    // needs: the sink its grab reads, its branch, a deinterlacer, and MPEG
    // files decoded by the capture decoders.
    const TCaptureGraphNeeds needs = withPicture ? CaptureNeeds() : TCaptureGraphNeeds();
    captureDecodersBuilt_ = false;
    QString captureDecoder;
    if (item_.Mpeg && withPicture && (!needs.mpeg1Decoder.isEmpty() || !needs.mpeg2Decoder.isEmpty()))
        captureDecoder = BuildCaptureDecoders(path, needs);
    if (captureDecoder.isEmpty() && item_.Mpeg && mpegPreferences) InsertMpegSplitter(path);
    // A graph unlike the plain one is built plainly again when the window closes.
    if (needs.captureBranch || needs.deinterlace || !captureDecoder.isEmpty() ||
        (needs.renderer >= 0 && needs.renderer != static_cast<int>(settings_.Renderer)) ||
        (needs.flip && !settings_.UseVideoReversal))
        CaptureRebuiltGraph = true;
    const int renderer = withPicture ? AddVideoOutput(*graph_, needs) : 0;
    // Our windowless-7 renderer never mixes streams: its colour is the surface's.
    SetTag(ui_->miIsVMRMixerMode, 0);
    if (renderer == media::RendererWindowless9) CreateVmr9Mixer(graph_->GetPictureControls());
    const media::FilterGraph* built = graph_.get();
    if (!item_.WindowsMedia || !OpenWindowsMediaFile(path)) hr = graph_->RenderFile(path);
    // A Windows Media file read again as a stream has a graph of its own.
    if (vmr9Mixer_ && graph_.get() != built) CreateVmr9Mixer(graph_->GetPictureControls());
    TakeColorObjects(renderer, nullptr);
    // The caller shows "cannot play" and moves on.
    if (FAILED(hr)) return hr;
    // A capture decoder that did not take the stream leaves the graph's own.
    captureDecodersBuilt_ = !captureDecoder.isEmpty() && graph_->ElementNames().contains(captureDecoder);
    // Several sound tracks: the first plays, the menu offers the others.
    if (!item_.Mpeg && !item_.WindowsMedia && !item_.Mp3 && !item_.StillPicture) {
        const int streams = graph_->AudioStreamCount();
        if (streams > 1) {
            if (FAILED(graph_->SelectAudioStream(0))) return E_FAIL;
            ui_->miAudio->menuAction()->setVisible(true);
            ui_->miAudio->setEnabled(true);
            BuildAudioStreamMenu(streams);
        }
    }
    // Sound only, and sound at all.
    if (!withPicture || !graph_->HasVideo()) item_.AudioOnly = true;
    long volume = 0;
    const bool hasSound = graph_->HasAudio() && graph_->get_Volume(&volume) != E_NOTIMPL;
    // Duration; without one and without sound the item is a still picture.
    item_.Duration = 0;
    if (FAILED(graph_->GetDuration(&item_.Duration)) || item_.Duration <= 0) {
        item_.Duration = 0;
        if (!hasSound) item_.StillPicture = true;
        if (!graph_->HasVideo() && !hasSound) return E_FAIL;
        if (!hasSound) item_.AudioOnly = false;
    }
    if (!hasSound && graph_->HasVideo()) item_.AudioOnly = false;
    ReadVideoSize();
    // Sound files show their title from the tag.
    if (item_.Mp3) {
        ui_->LblTitle->setText(graph_->Tag("title"));
        ui_->LblArtist->setText(graph_->Tag("artist"));
        UpdateCaption(EntryTitle(playList_.ListIndex()));
    }
    // The title and artist texts lie on the view panel: shown for sound only,
    // never over a picture (over a window sink's own window they would become
    // windows of their own and stand as blank bands across the picture).
    ui_->LblTitle->setVisible(item_.AudioOnly && !item_.StillPicture);
    ui_->LblArtist->setVisible(item_.AudioOnly && !item_.StillPicture);
    graph_->SetNotifyWindow(this, WM_GRAPHNOTIFY, 0);
    // Built again where it stood, the same file keeps the window's size.
    if (!rebuildingForCapture_) SizeWindowForMedia();
    repaint();
    if (!item_.AudioOnly) graph_->SetVideoVisible(true);
    // The overlay renderers' colour stage.
    if (!item_.AudioOnly) TakeColorObjects(renderer, graph_->OverlayColorControl());
    if (!item_.StillPicture) {
        item_.CanStep = false;
        AcquireFrameStepper();
        if (hasSound) SetAudioVolume();
        if (item_.Duration > 0 && !item_.NoDuration) {
            if (ui_->TrackBarForSeek->maximum() == 0) {
                ignoreNextSeekChange_ = true;
                ui_->TrackBarForSeek->setMaximum(static_cast<int>(item_.Duration / kUnitsPerSeekStep));
                ignoreNextSeekChange_ = false;
            }
        } else {
            item_.NoDuration = true;
        }
        if (item_.Duration > 0) {
            const int total = static_cast<int>(item_.Duration / kUnitsPerSecond);
            ui_->taTime->setText(QString::asprintf("%d:%02d:%02d", total / 3600, total / 60 % 60, total % 60));
        }
        // Runs from the play state on (SetPlayState below).
        positionTimers_.File = true;
    } else {
        SetTimer(kStillPictureTimer, settings_.ShowPictureLength * 1000);
    }
    item_.Rendered = true;
    UpdateTransportControls();
    ShowBookmarkMenus();
    SetPlayState(psPlaying);
    LayoutVideoWindow();
    hr = graph_->Run();
    if (FAILED(hr)) return hr;
    if (TCaptureDlg* capture = CaptureDlg(); capture && !rebuildingForCapture_) capture->CaptureFrame();
    if (!item_.AudioOnly) {
        if (vmr9Mixer_) vmr9Mixer_->ReadRanges();
        UpdateColorMenus(false);
    }
    return S_OK;
}

void TZoMain::SizeWindowForMedia()
{
    const bool normal = !isMaximized() && !fullScreen_;
    if (!item_.AudioOnly && !item_.StillPicture) {
        ApplyWindowSize(false);
        return;
    }
    if (item_.StillPicture) {
        if (normal) {
            const int width = static_cast<int>(settings_.LastWidth);
            const int height = static_cast<int>(settings_.LastHeight);
            SetClientSize(width + 4, height + 60);
        }
        return;
    }
    if (normal) {
        const bool noTexts = ui_->LblTitle->text().isEmpty() && ui_->LblArtist->text().isEmpty();
        SetClientSize(290, noTexts ? 60 : 99);
    }
}

void TZoMain::FormatTime(int seconds)
{
    if (seconds <= 0) {
        ui_->tnTime->setText(QStringLiteral("0:00:00"));
        lastShownHours_ = lastShownMinutes_ = lastShownSeconds_ = 0;
        return;
    }
    const int hours = seconds / 3600;
    const int minutes = seconds / 60 % 60;
    const int secs = seconds % 60;
    if (hours == lastShownHours_ && minutes == lastShownMinutes_ && secs == lastShownSeconds_) return;
    lastShownHours_ = hours;
    lastShownMinutes_ = minutes;
    lastShownSeconds_ = secs;
    ui_->tnTime->setText(QString::asprintf("%d:%02d:%02d", hours, minutes, secs));
}

void TZoMain::SkipSeconds(int seconds)
{
    if (!graph_ && RealControl) {
        RealSkipSeconds(seconds);
        return;
    }
    if (!graph_ || item_.NoDuration) return;
    const bool playing = playState_ == psPlaying;
    // The pause lets the seek land on a still graph (a held repeat finds it
    // paused already).
    if (graph_->State() != media::GraphState::Paused && FAILED(graph_->Pause())) return;
    // A playing item plays on from the target (or from where it was, when the
    // seek fails), unless a held button repeats the step: the end of the hold runs it.
    const bool held = heldButtons_.Repeating();
    if (playing && held) heldButtons_.SeekPaused = true;
    REFERENCE_TIME position = 0;
    REFERENCE_TIME target = 0;
    bool moved = false;
    if (SUCCEEDED(graph_->GetCurrentPosition(&position))) {
        // Never before the start or past the end; with the MPEG decoders, not
        // within the last second either.
        target = transport::SkipTarget(position, seconds, item_.Duration, item_.MpegDecodersFound);
        moved = SUCCEEDED(SeekTo(target));
    }
    if (playing && !held) graph_->Run();
    if (!moved) return;
    if (!playing && item_.Duration != 0) ShowPosition(target);
    if (fullScreen_ && settings_.ShowStatus) ShowStatusText(ui_->tnTime->text() + QLatin1Char('/') + ui_->taTime->text());
}

void TZoMain::BuildAudioStreamMenu(int count)
{
    QMenu* menu = ui_->miAudio;
    DeleteMenuItemsFrom(menu, 0);
    for (QActionGroup* old : menu->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly)) delete old;
    SetTag(menu->menuAction(), -count);
    if (!graph_ || count <= 0) return;
    auto* group = new QActionGroup(menu);
    const int current = graph_->CurrentAudioStream();
    for (int i = 0; i < count; ++i) {
        // The language's name, else the stream's title, else its number.
        QString caption = JapaneseLanguageName(graph_->AudioStreamLanguage(i));
        if (caption.isEmpty()) caption = graph_->AudioStreamTitle(i);
        if (caption.isEmpty()) caption = QStringLiteral("オーディオ %1").arg(i + 1);
        auto* item = new QAction(caption, menu);
        item->setCheckable(true);
        item->setActionGroup(group);
        item->setChecked(i == (current >= 0 ? current : 0));
        SetTag(item, i + 1);
        connect(item, &QAction::triggered, this, [this, item] {
            if (!graph_ || FAILED(graph_->SelectAudioStream(Tag(item) - 1))) return;
            item->setChecked(true);
            SetTag(ui_->miCurrentAudio, Tag(item));
        });
        menu->addAction(item);
    }
}

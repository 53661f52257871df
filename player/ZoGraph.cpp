// The file graph: building it for one media item, its preferred filters,
// fitting the window to the item, the time text and relative seeks.
#include "player/ZoMain.h"

#include "platform/paths/paths.h"
#include "platform/registry/registry.h"
#include "player/units/Reghelp.h"
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

constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;

QByteArray ReadFilterClassId(int kind)
{
    if (kind < 1 || kind > 9) return {};
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, kFiltersKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    BYTE id[16] = {};
    const BYTE none[16] = {};
    RegReadBinary16(key, kFilterValues[kind], id, none);
    RegCloseKey(key);
    if (memcmp(id, none, 16) == 0) return {};
    return QByteArray(reinterpret_cast<const char*>(id), 16);
}

}  // namespace

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
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, kMainKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegReadString(key, "AudioRendererName", &name, 128);
        RegCloseKey(key);
    }
    if (name.isEmpty()) return E_FAIL;
    const QByteArray id = ReadFilterClassId(9);
    const QString factory = id.isEmpty() ? QString() : media::FactoryForClassId(id);
    if (factory.isEmpty()) return E_FAIL;
    return graph_->AddAudioRenderer(factory);
}

void TZoMain::InsertMpegSplitter(const QString& path)
{
    const QString type = media::FindMediaType(path);
    const bool systemStream = type.contains(QLatin1String("systemstream=(boolean)true"));
    const bool mpeg2 = type.contains(QLatin1String("mpegversion=(int)2"));
    if (systemStream && mpeg2)
        AddMpegSplitter(settings_.Mpeg2Splitter ? 1 : 0, false);
    else if (type.startsWith(QLatin1String("video/mpeg")))
        AddMpegSplitter(2, !systemStream);
}

void TZoMain::AddMpegSplitter(int kind, bool elementaryStream)
{
    if (!graph_) return;
    // Program streams go through the program-stream demuxer; an elementary
    // video stream through the video parser.
    graph_->AddPreferredFactory(elementaryStream ? QStringLiteral("mpegvideoparse") : QStringLiteral("mpegpsdemux"));
    mpegSplitterKind_ = kind == 2 ? 1 : 2;
    if (mpegSplitterKind_ == 2) {
        if (!settings_.MPEG2Video.isEmpty()) AddPreferredFilter(3, settings_.MPEG2Video);
        if (!settings_.MPEG2Audio.isEmpty()) AddPreferredFilter(4, settings_.MPEG2Audio);
    } else {
        if (!settings_.MPEG1Video.isEmpty()) AddPreferredFilter(1, settings_.MPEG1Video);
        if (!settings_.MPEG1Audio.isEmpty()) AddPreferredFilter(2, settings_.MPEG1Audio);
    }
}

bool TZoMain::OpenWindowsMediaFile(const QString& path)
{
    if (!graph_) return false;
    graph_->UseWindowsMediaSource(false);
    if (FAILED(graph_->RenderFile(path))) return false;
    // Header attributes: seekability, picture, title and author.
    CWmvInfo info;
    if (SUCCEEDED(info.ReadHeader(graph_.get()))) {
        if (!info.seekable) noDuration_ = true;
        if (!info.hasVideo) audioOnly_ = true;
        if (settings_.ReadWmvTag) {
            ui_->LblTitle->setText(info.title);
            ui_->LblArtist->setText(info.author);
            UpdateCaption(info.title.isEmpty() ? EntryTitle(playList_.ListIndex()) : info.title);
        }
    }
    if (settings_.CheckSeekability && noDuration_) {
        // Without an index the file is read again as a stream.
        auto stream = std::make_unique<media::FilterGraph>();
        if (!audioOnly_) stream->AddVideoRenderer(static_cast<int>(settings_.Renderer), ui_->ViewPanel);
        stream->UseWindowsMediaSource(true);
        if (SUCCEEDED(stream->RenderFile(path))) graph_ = std::move(stream);
    }
    return true;
}

HRESULT TZoMain::BuildFileGraph(const QString& path)
{
    // 1.
    graphStarting_ = true;
    audioOnly_ = false;
    noDuration_ = false;
    mpegDecodersFound_ = false;
    // 2.
    graph_ = std::make_unique<media::FilterGraph>();
    // 3.
    if (settings_.UseSelectedAudioRenderer && !stillPicture_) AddAudioRenderer();
    const bool withPicture = !isMp3File_;
    // 4-5.
    HRESULT hr = S_OK;
    const bool mpegPreferences = settings_.Mpeg2Splitter || settings_.Mpeg2OverlayMixer ||
                                 !settings_.MPEG1Video.isEmpty() || !settings_.MPEG1Audio.isEmpty() ||
                                 !settings_.MPEG2Video.isEmpty() || !settings_.MPEG2Audio.isEmpty();
    if (isMpegFile_ && mpegPreferences) InsertMpegSplitter(path);
    if (withPicture) graph_->AddVideoRenderer(static_cast<int>(settings_.Renderer), ui_->ViewPanel,
                                              settings_.UseVideoReversal);
    if (!isWindowsMediaFile_ || !OpenWindowsMediaFile(path)) hr = graph_->RenderFile(path);
    // 6.
    if (FAILED(hr)) return hr;
    // 8. Several sound tracks: the first plays, the menu offers the others.
    if (!isMpegFile_ && !isWindowsMediaFile_ && !isMp3File_ && !stillPicture_) {
        const int streams = graph_->AudioStreamCount();
        if (streams > 1) {
            if (FAILED(graph_->SelectAudioStream(0))) return E_FAIL;
            ui_->miAudio->menuAction()->setVisible(true);
            SetTag(ui_->miAudio->menuAction(), streams);
        }
    }
    // 9. Sound only, and sound at all.
    if (!withPicture || !graph_->HasVideo()) audioOnly_ = true;
    long volume = 0;
    const bool hasSound = graph_->HasAudio() && graph_->get_Volume(&volume) != E_NOTIMPL;
    // 10. Duration; without one and without sound the item is a still picture.
    duration_ = 0;
    if (FAILED(graph_->GetDuration(&duration_)) || duration_ <= 0) {
        duration_ = 0;
        if (!hasSound) stillPicture_ = true;
        if (!graph_->HasVideo() && !hasSound) return E_FAIL;
        if (!hasSound) audioOnly_ = false;
    }
    if (!hasSound && graph_->HasVideo()) audioOnly_ = false;
    if (!graph_->HasVideo()) videoWidth_ = videoHeight_ = 0;
    else graph_->GetNativeVideoSize(&videoWidth_, &videoHeight_);
    // 12. Sound files show their title from the tag.
    if (isMp3File_) {
        ui_->LblTitle->setText(graph_->Tag("title"));
        ui_->LblArtist->setText(graph_->Tag("artist"));
        UpdateCaption(EntryTitle(playList_.ListIndex()));
    }
    // The title and artist texts lie on the view panel: shown for sound only,
    // never over a picture.
    ui_->LblTitle->setVisible(audioOnly_ && !stillPicture_);
    ui_->LblArtist->setVisible(audioOnly_ && !stillPicture_);
    // 13.
    graph_->SetNotifyWindow(this, WM_GRAPHNOTIFY, 0);
    // 14.
    SizeWindowForMedia();
    repaint();
    // 15.
    if (!audioOnly_) graph_->SetVideoVisible(true);
    // 16.
    if (!stillPicture_) {
        ui_->BtnStepFrame->setEnabled(!audioOnly_ && graph_->CanStep() == S_OK);
        if (hasSound) SetAudioVolume();
        if (duration_ > 0 && !noDuration_) {
            if (ui_->TrackBarForSeek->maximum() == 0) {
                ignoreNextSeekChange_ = true;
                ui_->TrackBarForSeek->setMaximum(static_cast<int>(duration_ / 1000000));
                ignoreNextSeekChange_ = false;
            }
            ui_->TrackBarForSeek->setEnabled(true);
        } else {
            noDuration_ = true;
            ui_->TBtnFastforward->setEnabled(false);
            ui_->TBtnRewind->setEnabled(false);
            ui_->BtnSkip->setEnabled(false);
            ui_->TrackBarForSeek->setEnabled(false);
        }
        if (duration_ > 0) {
            const int total = static_cast<int>(duration_ / kUnitsPerSecond);
            ui_->taTime->setText(QString::asprintf("%d:%02d:%02d", total / 3600, total / 60 % 60, total % 60));
        }
        Timer->start();
    } else {
        // 17.
        SetTimer(5, settings_.ShowPictureLength * 1000);
    }
    // 18.
    SetPlayState(psPlaying);
    LayoutVideoWindow();
    hr = graph_->Run();
    if (FAILED(hr)) return hr;
    return S_OK;
}

void TZoMain::SizeWindowForMedia()
{
    const bool normal = !isMaximized() && !fullScreen_;
    if (!audioOnly_ && !stillPicture_) {
        ApplyWindowSize(false);
        return;
    }
    if (stillPicture_) {
        ui_->TrackBarVolume->hide();
        ui_->tnTime->setEnabled(false);
        ui_->taTime->setEnabled(false);
        ui_->STxtbai->setEnabled(false);
        for (QWidget* w : {static_cast<QWidget*>(ui_->BtnStop), static_cast<QWidget*>(ui_->TBtnFastforward),
                           static_cast<QWidget*>(ui_->TBtnRewind), static_cast<QWidget*>(ui_->BtnSkip),
                           static_cast<QWidget*>(ui_->BtnStepFrame)})
            w->setEnabled(false);
        if (!(ui_->NContinuousPlay->isChecked() && playList_.Count() >= 2)) ui_->BtnStart->setEnabled(false);
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
    if (!graph_ || noDuration_) return;
    if (FAILED(graph_->Pause())) return;
    REFERENCE_TIME position = 0;
    if (FAILED(graph_->GetCurrentPosition(&position))) return;
    REFERENCE_TIME target = position + static_cast<REFERENCE_TIME>(seconds) * kUnitsPerSecond;
    // Never before the start or past the end; with the MPEG decoders, not
    // within the last second either.
    const REFERENCE_TIME last = mpegDecodersFound_ ? duration_ - kUnitsPerSecond : duration_;
    target = std::clamp<REFERENCE_TIME>(target, 0, std::max<REFERENCE_TIME>(last, 0));
    if (FAILED(SeekTo(target))) return;
    if (playState_ != psPlaying && duration_ != 0) {
        ignoreNextSeekChange_ = true;
        ui_->TrackBarForSeek->setValue(static_cast<int>(target * ui_->TrackBarForSeek->maximum() / duration_));
        ignoreNextSeekChange_ = false;
        FormatTime(static_cast<int>(target / kUnitsPerSecond));
    }
    if (fullScreen_ && settings_.ShowStatus) ShowStatusText(ui_->tnTime->text() + QLatin1Char('/') + ui_->taTime->text());
}

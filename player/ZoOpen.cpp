// Opening one media item: by its first bytes, then by its extension, the
// item goes to the file graph (or the RealMedia player); closing it again;
// the end of an item; the open dialog and stream addresses.
#include "player/ZoMain.h"

#include "platform/dialogs/dialogs.h"
#include "platform/paths/paths.h"
#include "player/units/Opendialogex.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QSlider>
#include <QToolButton>

namespace {

// The file types of the open dialog after the displayed-file-types list.
const char* const kOpenFilterTail =
    "Windows Media ファイル|*.asf;*.wma;*.wmv;*.wm|ビデオ ファイル|*.avi;*.mpg;*.mpeg;*.m2p;*.m1v;*.mpa|"
    "オーディオ ファイル|*.wav;*.mp2;*.mp3;*.au;*.aif;*.aiff;*.snd|RealMedia ファイル|*.rm;*.ra;*.rmvb|"
    "MIDI ファイル|*.mid;*.midi;*.rmi|イメージ ファイル|*.jpg;*.jpeg;*.bmp;*.gif;*.tga;*.dib|"
    "リスト ファイル|*.zol;*.m3u;*.wpl|IFO ファイル|*.ifo|すべてのファイル|*.*";

bool StartsWith(const QByteArray& header, const char* bytes, int length)
{
    return header.size() >= length && memcmp(header.constData(), bytes, static_cast<size_t>(length)) == 0;
}

bool BytesAt(const QByteArray& header, int offset, const char* bytes, int length)
{
    return header.size() >= offset + length &&
           memcmp(header.constData() + offset, bytes, static_cast<size_t>(length)) == 0;
}

}  // namespace

QString OpenDialogFilter(const QString& extensionList)
{
    return QStringLiteral("メディア ファイル|") + extensionList + QLatin1Char('|') + QString::fromUtf8(kOpenFilterTail);
}

int TZoMain::FileStamp() const { return Tag(ui_->N17); }

void TZoMain::BringToForeground()
{
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void TZoMain::OpenFileActivated(const QString& path)
{
    // 1. File mode.
    dvdMode_ = false;
    if (playList_.Count() == 1) {
        ui_->TBtnNextTrack->setEnabled(false);
        ui_->TBtnPreviousTrack->setEnabled(false);
    }
    // 2.
    graphStarting_ = true;
    openingMedia_ = true;
    // 3.
    if (!dialogOpen_ && !keepInBackground_) BringToForeground();
    repaint();
    // 4.
    ui_->LblTitle->clear();
    ui_->LblArtist->clear();
    isMp3File_ = false;
    isWindowsMediaFile_ = false;
    // 5. The file's stamp and its first 16 bytes (zeros when it cannot be read).
    QByteArray header(16, '\0');
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        SetTag(ui_->N17, GetFileDosDateTime(path));
        const QByteArray head = file.read(16);
        header.replace(0, head.size(), head);
        file.close();
    } else {
        SetTag(ui_->N17, -1);
    }
    // 6.
    OpenByFileType(path, header);
    openingMedia_ = false;
}

void TZoMain::OpenByFileType(const QString& path, const QByteArray& header)
{
    isMpegFile_ = false;
    isMp3File_ = false;
    isWindowsMediaFile_ = false;
    stillPicture_ = false;
    bool realMedia = false;
    static const char kAsfHeader[] = {'\x30', '\x26', '\xB2', '\x75', '\x8E', '\x66', '\xCF', '\x11', '\xA6', '\xD9'};

    bool decided = true;
    if (StartsWith(header, "\x00\x00\x01\xBA", 4) || StartsWith(header, "\x00\x00\x01\xB3", 4)) {
        isMpegFile_ = true;
    } else if (StartsWith(header, "RIFF", 4)) {
        if (BytesAt(header, 8, "CDXAfmt", 7))
            isMpegFile_ = true;
        else if (BytesAt(header, 8, "RMP3data", 8))
            isMp3File_ = true;
    } else if (StartsWith(header, ".RMF", 4)) {
        realMedia = !settings_.UseRMDSF;
    } else if (StartsWith(header, kAsfHeader, 10)) {
        isWindowsMediaFile_ = true;
    } else if (StartsWith(header, "GIF", 3)) {
        stillPicture_ = true;
    } else if (StartsWith(header, "\xFF\xFB", 2) || StartsWith(header, "ID3\x03", 4)) {
        isMp3File_ = true;
    } else {
        decided = false;
    }
    if (!decided) {
        const QString ext = GetFileExtension(path);
        if (ext == QLatin1String("mp3"))
            isMp3File_ = true;
        else if (ext == QLatin1String("mpg") || ext == QLatin1String("mpeg") || ext == QLatin1String("m2p") ||
                 ext == QLatin1String("m1v"))
            isMpegFile_ = true;
        else if (ext == QLatin1String("wmv") || ext == QLatin1String("asf") || ext == QLatin1String("wma") ||
                 ext == QLatin1String("wm"))
            isWindowsMediaFile_ = true;
        else if (ext == QLatin1String("rm") || ext == QLatin1String("ra") || ext == QLatin1String("rmvb"))
            realMedia = !settings_.UseRMDSF;
    }
    isRealMedia_ = realMedia;
    // 8.
    if (!isMp3File_ && !(isWindowsMediaFile_ && settings_.ReadWmvTag)) UpdateCaption(EntryTitle(playList_.ListIndex()));
    // 10.
    if (realMedia) {
        PlayRealMedia(path);
        return;
    }
    if (BuildFileGraph(path) != S_OK) ShowCannotPlay();
}

void TZoMain::PlayRealMedia(const QString& path)
{
    // RealMedia clips play through the file graph, which demuxes and decodes them.
    if (BuildFileGraph(path) != S_OK) ShowCannotPlay();
}

void TZoMain::CloseMedia()
{
    // 1. Timers.
    KillTimer(15);
    Timer->stop();
    RMTimer->stop();
    KillTimer(5);
    KillTimer(11);
    DVDTimer->stop();
    // 6. Positions and per-item flags.
    duration_ = 0;
    ui_->TrackBarForSeek->setEnabled(false);
    isMp3File_ = false;
    stillPicture_ = false;
    audioOnly_ = false;
    // 7-9. The graph with everything it holds.
    if (graph_) {
        graph_->SetNotifyWindow(nullptr, 0, 0);
        graph_->Stop();
        graph_.reset();
    }
    playbackRate_ = 1.0;
    // 10.
    playList_.FreeSmallShuffleOrder();
    // 12. The window back to its empty state.
    if (Tag(ui_->BtnSound) == 1) ui_->TrackBarVolume->setValue(50);
    ui_->miAudio->menuAction()->setVisible(false);
    ui_->LblTitle->clear();
    ui_->LblArtist->clear();
    ui_->STxtbai->setText(QStringLiteral("1x"));
    ui_->tnTime->setText(QStringLiteral("0:00:00"));
    ui_->taTime->setText(QStringLiteral("0:00:00"));
    lastShownHours_ = lastShownMinutes_ = lastShownSeconds_ = 0;
    for (QWidget* w : {static_cast<QWidget*>(ui_->BtnStart), static_cast<QWidget*>(ui_->BtnStop),
                       static_cast<QWidget*>(ui_->TBtnFastforward), static_cast<QWidget*>(ui_->TBtnRewind),
                       static_cast<QWidget*>(ui_->BtnSkip), static_cast<QWidget*>(ui_->BtnStepFrame),
                       static_cast<QWidget*>(ui_->TBtnNextTrack), static_cast<QWidget*>(ui_->TBtnPreviousTrack),
                       static_cast<QWidget*>(ui_->tnTime), static_cast<QWidget*>(ui_->taTime),
                       static_cast<QWidget*>(ui_->STxtbai)})
        w->setEnabled(true);
    ignoreNextSeekChange_ = true;
    ui_->TrackBarForSeek->setMaximum(0);
    ignoreNextSeekChange_ = false;
    graphStarting_ = false;
    firstPauseSeen_ = false;
    bufferingShown_ = false;
    noDuration_ = false;
    urlStream_ = false;
    mpegDecodersFound_ = false;
    isRealMedia_ = false;
    seekBarMoved_ = false;
    videoWidth_ = videoHeight_ = 0;
    ResetVideoRect();
    if (playState_ != psNothing) SetPlayState(psStopped);
}

void TZoMain::UpdateControlsForMedia(bool resetWindow)
{
    if (resetWindow) {
        DeleteToolWindow(CaptureWindow);
        if (isMaximized()) showNormal();
        ui_->TxtInfo->hide();
        SetClientSize(290, 60);
        QPoint p = pos();
        if (p.x() < 0) p.setX(0);
        if (p.y() < 0) p.setY(0);
        move(p);
    }
    SetPlayState(psNothing);
    if (dvdMode_) {
        dvdMode_ = false;
        dvdPlaying_ = false;
        KillTimer(2);
        ui_->BtnOpen->setToolTip(QStringLiteral("ファイルの選択"));
        ui_->TBtnNextTrack->setToolTip(QStringLiteral("次のファイル"));
        ui_->TBtnPreviousTrack->setToolTip(QStringLiteral("前のファイル"));
        ui_->BtnStepFrame->setToolTip(QStringLiteral("コマ送り/コマ戻し"));
    }
    setWindowTitle(QStringLiteral("Zoravel"));
    ClearPlayList();
}

void TZoMain::HandleEndOfMedia()
{
    // 1-2.
    if (!graph_) return;
    if (playState_ != psPaused && playState_ != psPlaying && !stillPicture_) return;
    // 3. Continuous play moves on.
    if (ui_->NContinuousPlay->isChecked() && playList_.Count() > 1) {
        const bool wasLast = playList_.IsAtLastPosition(ui_->MShuffle->isChecked());
        PlayNextFile();
        if (!wasLast) return;
    }
    // 4. Back to the start, paused.
    if (graph_) {
        bool paused = false;
        if (SUCCEEDED(SeekTo(0)) && ui_->TrackBarForSeek->maximum() > 0) paused = SUCCEEDED(graph_->Pause());
        if (!paused) graph_->Stop();
        ignoreNextSeekChange_ = true;
        ui_->TrackBarForSeek->setValue(0);
        ignoreNextSeekChange_ = false;
        ui_->tnTime->setText(QStringLiteral("0:00:00"));
        lastShownHours_ = lastShownMinutes_ = lastShownSeconds_ = 0;
    }
    // 5. The after-playback power action follows once its window exists.
    SetPlayState(psStopped);
}

void TZoMain::BtnOpenClick()
{
    TOpenDialogEx dialog(this);
    dialog.SetFolderChecked(settings_.SerchFiles);
    dialog.SetAppendVisible(!dvdMode_);
    if (IsExistingFolder(settings_.InitialDir)) dialog.SetInitialDir(settings_.InitialDir);
    dialog.SetFilter(OpenDialogFilter(ReadExtensionList()));
    dialogOpen_ = true;
    const bool ok = dialog.Execute();
    dialogOpen_ = false;
    if (!ok) return;
    const QStringList files = dialog.Files();
    if (files.isEmpty()) return;
    settings_.InitialDir = ExtractFileDir(files.first());
    if (GetFileExtension(files.first()) == QLatin1String("ifo")) {
        viewerPath_ = ExtractFileDir(files.first());
        StartDvd();
        return;
    }
    appendToList_ = dialog.AppendChecked() && !dvdMode_;
    if (appendToList_) {
        for (const QString& f : files) AddPathOrPlayList(f);
        if (files.size() == 1 && dialog.FolderChecked()) AddFolderMediaFiles(files.first(), false);
        appendToList_ = false;
        return;
    }
    CloseMedia();
    UpdateControlsForMedia(false);
    addingItems_ = true;
    for (const QString& f : files) AddPathOrPlayList(f);
    if (files.size() == 1 && dialog.FolderChecked()) AddFolderMediaFiles(files.first(), false);
    if (!playList_.IsEmpty())
        PlayListItem(true, true);
    else
        ShowNoFileNotice();
    addingItems_ = false;
}

void TZoMain::OpenUrl(const QString& address)
{
    // 1.
    if (playState_ != psNothing || !playList_.IsEmpty()) {
        CloseMedia();
        UpdateControlsForMedia(false);
    }
    // 3. The address ends at its first line break; blanks go.
    QString url = address;
    const qsizetype cut = url.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    if (cut >= 0) url.truncate(cut);
    url = url.trimmed();
    // 4.
    UpdateCaption(url);
    // 5.
    AddPathOrPlayList(url);
    if (playList_.IsEmpty()) {
        ShowNoFileNotice();
        return;
    }
    PlayListItem(false, false);
    // 2. Marked as a stream for the transport (closing clears it).
    if (graph_) urlStream_ = true;
}

void TZoMain::StartDvd()
{
    // DVD playback is not part of this build yet: the window says it cannot play.
    ShowNoFileNotice();
}

void TZoMain::StartAudioCd()
{
    // Audio CD playback is not part of this build yet: the window says it cannot play.
    ShowNoFileNotice();
}

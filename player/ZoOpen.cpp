// Opening one media item: by its first bytes, then by its extension, the
// item goes to the file graph (or the RealMedia player); closing it again;
// the end of an item; the open dialog and stream addresses.
#include "player/ZoMain.h"
#include "player/tools/TCaptureDlg.h"

#include "platform/realmedia/realmedia.h"

#include "platform/cdrom/cdrom.h"
#include "platform/dialogs/dialogs.h"
#include "platform/paths/paths.h"
#include "player/units/Opendialogex.h"
#include "player/tools/WindowPlacement.h"
#include "player/units/Windowgeometry.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
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
    dvd_.Mode = false;
    item_.Path = path;
    UpdateTransportControls();
    // Stop, the step commands, drops and second starts wait until the graph
    // has started (or the item turned out unplayable).
    item_.GraphStarting = true;
    item_.Opening = true;
    if (!dialogOpen_ && !keepInBackground_) BringToForeground();
    repaint();
    // The previous item's tag texts must not stand over this one.
    ui_->LblTitle->clear();
    ui_->LblArtist->clear();
    // The file's stamp and its first 16 bytes (zeros when it cannot be read).
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
    OpenByFileType(path, header);
    item_.Opening = false;
}

void TZoMain::OpenByFileType(const QString& path, const QByteArray& header)
{
    item_.Mpeg = false;
    item_.Mp3 = false;
    item_.WindowsMedia = false;
    item_.StillPicture = false;
    bool realMedia = false;
    static const char kAsfHeader[] = {'\x30', '\x26', '\xB2', '\x75', '\x8E', '\x66', '\xCF', '\x11', '\xA6', '\xD9'};

    bool decided = true;
    if (StartsWith(header, "\x00\x00\x01\xBA", 4) || StartsWith(header, "\x00\x00\x01\xB3", 4)) {
        item_.Mpeg = true;
    } else if (StartsWith(header, "RIFF", 4)) {
        if (BytesAt(header, 8, "CDXAfmt", 7))
            item_.Mpeg = true;
        else if (BytesAt(header, 8, "RMP3data", 8))
            item_.Mp3 = true;
    } else if (StartsWith(header, ".RMF", 4)) {
        realMedia = !settings_.UseRMDSF;
    } else if (StartsWith(header, kAsfHeader, 10)) {
        item_.WindowsMedia = true;
    } else if (StartsWith(header, "GIF", 3)) {
        item_.StillPicture = true;
    } else if (StartsWith(header, "\xFF\xFB", 2) || StartsWith(header, "ID3\x03", 4)) {
        item_.Mp3 = true;
    } else {
        decided = false;
    }
    if (!decided) {
        const QString ext = GetFileExtension(path);
        if (ext == QLatin1String("mp3"))
            item_.Mp3 = true;
        else if (ext == QLatin1String("mpg") || ext == QLatin1String("mpeg") || ext == QLatin1String("m2p") ||
                 ext == QLatin1String("m1v"))
            item_.Mpeg = true;
        else if (ext == QLatin1String("wmv") || ext == QLatin1String("asf") || ext == QLatin1String("wma") ||
                 ext == QLatin1String("wm"))
            item_.WindowsMedia = true;
        else if (ext == QLatin1String("rm") || ext == QLatin1String("ra") || ext == QLatin1String("rmvb"))
            realMedia = !settings_.UseRMDSF;
    }
    item_.RealMedia = realMedia;
    // Sound files and tagged Windows Media files name themselves once their tags are read.
    if (!item_.Mp3 && !(item_.WindowsMedia && settings_.ReadWmvTag)) UpdateCaption(EntryTitle(playList_.ListIndex()));
    // A file on a disc is read at the limited speed, so the drive stays quiet.
    const QString drive = cdrom::DriveOfPath(path);
    if (!drive.isEmpty()) ApplyDriveSpeed(drive);
    if (realMedia) {
        PlayRealMedia(path);
        return;
    }
    if (BuildFileGraph(path) != S_OK) ShowCannotPlay();
}

void TZoMain::CloseMedia()
{
    // No timer of the item may fire into the next one.
    KillTimer(kColorControlsTimer);
    positionTimers_ = {};
    Timer->stop();
    RMTimer->stop();
    KillTimer(kStillPictureTimer);
    DVDTimer->stop();
    if (TCaptureDlg* capture = CaptureDlg()) capture->ReleaseCaptureGraph();
    // The entries and the section belong to the item.
    ClearBookmarkMenus(true);
    // A disc keeps its place while its navigator still runs.
    CloseDvdResume(false);
    // The next item starts from the defaults unless the user keeps the values.
    if (ColorApplied && graph_ && settings_.ResetColor && !item_.StillPicture && !item_.AudioOnly)
        ResetOverlayColor();
    if (graph_) {
        graph_->SetNotifyWindow(nullptr, 0, 0);
        graph_->Stop();
        // The VMR-9 current values are stored as the object goes.
        vmr9Mixer_.reset();
        graph_.reset();
    }
    ReleaseDvdGraph();
    ClearDvdState();
    TakeColorObjects(0, nullptr);
    DeleteRealControl();
    // A held button's repeat ends with its item (after the graph: nothing to run again).
    StopHeldCommands();
    // The drive is no longer read from.
    RestoreDriveSpeed();
    // The mixer lines the item turned go back (with ResetAudioMixer).
    ReleaseAudioMixer();
    DeleteCdPlayer();
    // Every flag of the item in one step: nothing reaches the next item.
    item_ = TOpenedItem();
    SetTag(ui_->miAspectX, 0);
    SetTag(ui_->miAspectY, 0);
    playList_.FreeSmallShuffleOrder();
    // The window back to its empty state.
    if (BalanceShown()) ui_->TrackBarVolume->setValue(50);
    ui_->miAudio->menuAction()->setVisible(false);
    for (QAction* item : {ui_->MIColor, ui_->MIDVDColor}) {
        item->setVisible(false);
        item->setEnabled(false);
    }
    for (QMenu* presets : {ui_->colorset1, ui_->DVDColorSet}) {
        presets->menuAction()->setVisible(false);
        presets->setEnabled(false);
    }
    ui_->LblTitle->clear();
    ui_->LblArtist->clear();
    ui_->STxtbai->setText(QStringLiteral("1x"));
    ui_->tnTime->setText(QStringLiteral("0:00:00"));
    ui_->taTime->setText(QStringLiteral("0:00:00"));
    lastShownHours_ = lastShownMinutes_ = lastShownSeconds_ = 0;
    UpdateTransportControls();
    ignoreNextSeekChange_ = true;
    ui_->TrackBarForSeek->setMaximum(0);
    ignoreNextSeekChange_ = false;
    ResetVideoRect();
    if (playState_ != psNothing) SetPlayState(psStopped);
}

void TZoMain::ApplyDriveSpeed(const QString& drive, bool audioCd)
{
    driveSpeed_.Apply(drive, settings_.DriveSpeed, audioCd);
}

void TZoMain::RestoreDriveSpeed() { driveSpeed_.Restore(settings_.DriveSpeed); }

void TZoMain::UpdateTransportControls()
{
    const TOpenedItem& it = item_;
    const bool still = it.StillPicture;
    // A still picture has no time: only a slide show of several entries plays and pauses.
    ui_->BtnStart->setEnabled(!still || (ui_->NContinuousPlay->isChecked() && playList_.Count() >= 2));
    ui_->BtnStop->setEnabled(!still);
    for (QWidget* w : {static_cast<QWidget*>(ui_->tnTime), static_cast<QWidget*>(ui_->taTime),
                       static_cast<QWidget*>(ui_->STxtbai)})
        w->setEnabled(!still);
    // Without a duration nothing seeks.
    for (QWidget* w : {static_cast<QWidget*>(ui_->TBtnFastforward), static_cast<QWidget*>(ui_->TBtnRewind),
                       static_cast<QWidget*>(ui_->BtnSkip)})
        w->setEnabled(!still && !it.NoDuration);
    ui_->TrackBarForSeek->setEnabled(it.Rendered && !still && !it.NoDuration && it.Duration > 0);
    ui_->BtnStepFrame->setEnabled(!still && (!it.Rendered || it.CanStep));
    // An opened item that is the only entry has nothing to step to.
    const bool single = !it.Path.isEmpty() && playList_.Count() == 1;
    ui_->TBtnNextTrack->setEnabled(!single);
    ui_->TBtnPreviousTrack->setEnabled(!single);
    if (still) ui_->TrackBarVolume->hide();
}

void TZoMain::UpdateControlsForMedia(bool resetWindow)
{
    if (fullScreen_) LeaveFullScreen();
    if (resetWindow) {
        DeleteToolWindow(CaptureWindow);
        if (isMaximized()) showNormal();
        ui_->TxtInfo->hide();
        SetClientSize(290, 60);
        // The small window stays inside the work area of its monitor.
        TWindowPlacement::KeepInside(this);
    }
    SetPlayState(psNothing);
    // The file-mode gesture bindings come back from a DVD's own.
    RestoreMouseActions();
    if (dvd_.Mode) {
        dvd_.Mode = false;
        dvd_.Playing = false;
        KillTimer(kDvdSeekTimer);
        ui_->BtnOpen->setToolTip(QStringLiteral("ファイルの選択"));
        ui_->TBtnNextTrack->setToolTip(QStringLiteral("次のファイル"));
        ui_->TBtnPreviousTrack->setToolTip(QStringLiteral("前のファイル"));
        ui_->BtnStepFrame->setToolTip(QStringLiteral("コマ送り/コマ戻し"));
        ui_->TBPowerState->setChecked(settings_.PowerControl);
        UpdatePowerCaption();
    }
    setWindowTitle(QStringLiteral("Zoravel"));
    ClearPlayList();
}

void TZoMain::HandleEndOfMedia()
{
    // Only an item that plays (or a picture that is shown) can end.
    if (!graph_ && !RealControl) return;
    if (playState_ != psPaused && playState_ != psPlaying && !item_.StillPicture) return;
    // Continuous play moves on; after the last entry the list is rewound as below.
    if (ui_->NContinuousPlay->isChecked() && playList_.Count() > 1) {
        const bool wasLast = playList_.IsAtLastPosition(ui_->MShuffle->isChecked());
        PlayNextFile();
        if (!wasLast) return;
    }
    // Back to the start, paused (stopped when it cannot pause there).
    if (graph_) {
        bool paused = false;
        if (SUCCEEDED(SeekTo(0)) && ui_->TrackBarForSeek->maximum() > 0) paused = SUCCEEDED(graph_->Pause());
        if (!paused) graph_->Stop();
        ignoreNextSeekChange_ = true;
        ui_->TrackBarForSeek->setValue(0);
        ignoreNextSeekChange_ = false;
        ui_->tnTime->setText(QStringLiteral("0:00:00"));
        lastShownHours_ = lastShownMinutes_ = lastShownSeconds_ = 0;
    } else if (RealControl) {
        RealControl->DoStop();
        ShowPosition(0);
    }
    SetPlayState(psStopped);
    if (ui_->TBPowerState->isChecked()) StartAfterPlaybackAction();
}

void TZoMain::BtnOpenClick()
{
    // Inside a running intake (its scan runs the event loop) a second one
    // would fill the list under it.
    if (addingItems_) return;
    TOpenDialogEx dialog(this);
    dialog.SetFolderChecked(settings_.SerchFiles);
    dialog.SetAppendVisible(!dvd_.Mode);
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
    const bool append = dialog.AppendChecked() && !dvd_.Mode;
    if (!append) {
        CloseMedia();
        UpdateControlsForMedia(false);
    }
    TPathIntake how;
    how.reader = TPathIntake::Reader::FileOrList;
    how.siblings = dialog.FolderChecked();
    how.append = append;
    TakePaths(files, how);
}

void TZoMain::OpenUrl(const QString& address)
{
    if (playState_ != psNothing || !playList_.IsEmpty()) {
        CloseMedia();
        UpdateControlsForMedia(false);
    }
    // The address ends at its first line break; blanks go.
    QString url = address;
    const qsizetype cut = url.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    if (cut >= 0) url.truncate(cut);
    url = url.trimmed();
    UpdateCaption(url);
    // RealMedia addresses go to the RealMedia control itself.
    const QString ext = GetFileExtension(url);
    if (ext == QLatin1String("rm") || ext == QLatin1String("ra") || ext == QLatin1String("rmvb")) {
        item_.RealMedia = true;
        item_.UrlStream = true;
        PlayRealMedia(url);
        return;
    }
    AddPathOrPlayList(url);
    if (playList_.IsEmpty()) {
        ShowNoFileNotice();
        return;
    }
    PlayListItem(false, false);
    // Marked as a stream for the transport (closing clears it).
    if (graph_) item_.UrlStream = true;
}

// The command line of a first start, the arguments handed over by a second
// start, and the intake of argument paths (files, shortcuts, folders) into
// the play list, which dropped files share.
#include "player/ZoMain.h"

#include "platform/paths/paths.h"
#include "player/tools/TDlgSerch.h"
#include "player/tools/TFileBrowser.h"
#include "player/units/Folderscan.h"
#include "ui_ZoMain.h"

#include <QAction>

#include <memory>
#include <optional>

namespace {

// The argument text of a record: its bytes up to the first zero, whatever
// the length.
QString RecordText(const COPYDATASTRUCT* data)
{
    if (!data || !data->lpData || data->cbData == 0) return {};
    const char* bytes = static_cast<const char*>(data->lpData);
    const qsizetype length = qstrnlen(bytes, data->cbData);
    return QString::fromUtf8(bytes, length);
}

// A drive or mount point followed by the DVD's video folder.
QString DvdVideoFolder(const QString& drive)
{
    return drive.endsWith(QLatin1Char('/')) ? drive + QStringLiteral("VIDEO_TS") : drive + QStringLiteral("/VIDEO_TS");
}

// The desktop names an audio CD by its address ("cdda://sr0/") or its gvfs
// folder (".../cdda:host=sr0"); the CD player wants the drive's device node.
QString CdDrive(const QString& drive)
{
    QString host;
    if (drive.startsWith(QLatin1String("cdda://"))) {
        host = drive.mid(7);
    } else {
        const qsizetype at = drive.lastIndexOf(QLatin1String("cdda:host="));
        if (at < 0 || (at > 0 && drive.at(at - 1) != QLatin1Char('/'))) return drive;
        host = drive.mid(at + 10);
    }
    while (host.endsWith(QLatin1Char('/'))) host.chop(1);
    if (host.isEmpty() || host.contains(QLatin1Char('/'))) return drive;
    return QStringLiteral("/dev/") + host;
}

}  // namespace

void TZoMain::OnCopyData(TMessage& message)
{
    // While paths are taken or a graph starts, a record would replace the
    // list under them: it is dropped.
    if (addingItems_ || item_.GraphStarting) return;
    // This start's own command line goes before anything a second start hands over.
    RunStartupIntake();
    if (addingItems_ || item_.GraphStarting) return;
    const WPARAM sender = message.WParam;
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(message.LParam);
    if (!data) return;
    // The first record of a second start binds the window to it.
    if (copyDataSender_ == 0) {
        copyDataSender_ = sender;
        if (playState_ != psNothing || !playList_.IsEmpty()) {
            CloseMedia();
            UpdateControlsForMedia(false);
        }
    }
    // Records of any other start are dropped until this one has sent its last.
    if (sender != copyDataSender_) return;
    // dwData numbers the records: 1, 2, ... for all but the last, 0 for the
    // last, -1 for a single argument.
    const QString text = RecordText(data);
    const std::intptr_t index = data->dwData;
    if (index == 1 && text == QLatin1String("/DVD")) {
        dvd_.Requested = true;
        return;
    }
    if (index == 1 && text == QLatin1String("/CD")) {
        cd_.Requested = true;
        return;
    }
    // The drive argument that follows "/DVD" or "/CD" ends the session.
    if (index == 0 && (dvd_.Requested || cd_.Requested)) {
        if (!text.isEmpty()) {
            addingItems_ = true;
            viewerPath_ = dvd_.Requested ? DvdVideoFolder(text) : CdDrive(text);
            if (!dialogOpen_ && !ListEditWindow && !CaptureWindow) BringToForeground();
            repaint();
            if (dvd_.Requested)
                StartDvd();
            else
                StartAudioCd();
        }
        dvd_.Requested = cd_.Requested = false;
        pendingArguments_.reset();
        copyDataSender_ = 0;
        addingItems_ = false;
        return;
    }
    if (!pendingArguments_) pendingArguments_ = std::make_unique<QStringList>();
    pendingArguments_->append(text);
    if (index >= 1) return;
    // The last (or only) argument: all of them are taken in order.
    addingItems_ = true;
    if (isMinimized()) SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
    repaint();
    const QStringList arguments = *pendingArguments_;
    pendingArguments_.reset();
    TPathIntake how;
    how.siblings = index == -1 && settings_.SerchFiles;
    how.remember = TPathIntake::Remember::LastPathWhenListed;
    how.fromFirstEntry = true;
    how.keepFirst = false;
    TakePaths(arguments, how);
    // The session is over: the next second start binds the window again.
    copyDataSender_ = 0;
    addingItems_ = false;
}

void TZoMain::OnCopyDataSenderGone(WPARAM sender)
{
    // A second start that ended before its last record must not keep the
    // window bound to it, and its leftover arguments must not reach the next.
    if (sender != copyDataSender_) return;
    copyDataSender_ = 0;
    pendingArguments_.reset();
    dvd_.Requested = cd_.Requested = false;
}

void TZoMain::RunStartupIntake()
{
    if (!startupIntake_) return;
    const std::function<void()> intake = std::move(startupIntake_);
    startupIntake_ = nullptr;
    intake();
}

void TZoMain::HandleCommandLine()
{
    const QStringList& args = arguments_;
    if (!args.isEmpty()) {
        const QString word = args.first().toLower();
        if (word == QLatin1String("/dvd")) {
            // The DVD starts when the window is first shown.
            if (args.size() > 1 && !args[1].isEmpty()) viewerPath_ = DvdVideoFolder(args[1]);
            dvd_.Requested = true;
        } else if (word == QLatin1String("/cd")) {
            if (args.size() > 1 && !args[1].isEmpty()) {
                viewerPath_ = CdDrive(args[1]);
                startupIntake_ = [this] { StartAudioCd(); };
                startupIntakeAtShow_ = true;
            }
        } else {
            bool plain = true;
            if (word == QLatin1String("/fb")) {
                // The file browser opens; without a further argument nothing else happens.
                if (!FileBrowserWindow) FileBrowserWindow = new TFileBrowser(*this);
                FileBrowserWindow->show();
                plain = args.size() > 1 && !args[1].isEmpty();
            }
            if (plain) {
                // The words and the DVD folder are taken now; reading the
                // paths (a huge list or folder takes a while) and opening the
                // first waits for the window's first paint.
                const QString first = args.first();
                if (GetFileExtension(first) == QLatin1String("ifo")) {
                    viewerPath_ = ExtractFileDir(first);
                    startupIntake_ = [this] { StartDvd(); };
                } else {
                    startupIntake_ = [this, args, first, word] {
                        if (addingItems_) return;
                        addingItems_ = true;
                        if (first.startsWith(QLatin1String("http://")) || first.startsWith(QLatin1String("ftp://"))) {
                            OpenUrl(first);
                        } else {
                            // Ctrl held at the start inverts SerchFiles for this start.
                            TPathIntake how;
                            how.showSearchWindow = true;
                            how.skipIndex = word == QLatin1String("/fb") ? 0 : -1;
                            how.siblings = settings_.SerchFiles != IsCtrlHeld();
                            how.remember = TPathIntake::Remember::FirstPath;
                            TakePaths(args, how);
                        }
                        addingItems_ = false;
                    };
                }
            }
        }
    }
    if (settings_.AlwaysOnTop) SetWindowTopmost(true);
}

void TZoMain::TakePaths(const QStringList& paths, const TPathIntake& how)
{
    // Events that would step or close the list wait until the paths are in
    // and the list plays (ScanScope).
    ScanScope scope(this);
    const bool wasAdding = addingItems_;
    const bool wasAppending = appendToList_;
    addingItems_ = true;
    appendToList_ = how.append;
    if (how.remember == TPathIntake::Remember::FirstPath && !paths.isEmpty() && IsExistingFile(paths.first()))
        settings_.InitialDir = ExtractFileDir(paths.first());
    // Stop ends the intake at the next path (and a folder scan at its next entry).
    SetScanGoesOn(true);
    if (how.lockOpenControls) SetOpenControlsEnabled(false);
    // However many entries the paths bring, the list's views hear of them
    // once, when all are in.
    std::optional<TPlayListModel::Batch> batch(std::in_place, playList_);
    for (int i = 0; i < paths.size() && ScanGoesOn(); ++i) {
        if (i == how.skipIndex) continue;
        const QString& path = paths[i];
        switch (how.reader) {
        case TPathIntake::Reader::Argument:
            AddArgument(path, i + 1, how.showSearchWindow);
            break;
        case TPathIntake::Reader::FileOrList:
            AddPathOrPlayList(path);
            break;
        case TPathIntake::Reader::FolderOrList:
            if (IsExistingFolder(path))
                AddFolder(path);
            else
                AddPathOrPlayList(path);
            break;
        }
    }
    if (how.siblings && paths.size() == 1 && IsExistingFile(paths.first())) AddFolderMediaFiles(paths.first(), false);
    batch.reset();
    if (how.append) {
        // The playing item goes on; its caption has followed the new count.
        if (!playList_.IsEmpty()) {
            if (playState_ == psNothing || !playList_.IsValidIndex(playList_.ListIndex()))
                setWindowTitle(QStringLiteral("Zoravel"));
            UpdateTransportControls();
        }
    } else if (playList_.IsEmpty()) {
        ShowNoFileNotice();
    } else {
        if (how.fromFirstEntry) playList_.SetListIndex(0);
        if (how.remember == TPathIntake::Remember::LastPathWhenListed && !paths.isEmpty() &&
            IsExistingFile(paths.last()))
            settings_.InitialDir = ExtractFileDir(paths.last());
        PlayListItem(true, how.keepFirst);
    }
    if (how.lockOpenControls) SetOpenControlsEnabled(true);
    SetScanGoesOn(false);
    appendToList_ = wasAppending;
    addingItems_ = wasAdding;
}

void TZoMain::AddArgument(const QString& path, int index, bool showSearchWindow)
{
    // A folder's whole tree may take a while: the search window shows after
    // 1.5 seconds and its "中止" ends the scan.
    auto addFolder = [this, showSearchWindow](const QString& folder) {
        std::unique_ptr<TDlgSerch> progress;
        if (showSearchWindow) progress = std::make_unique<TDlgSerch>(*this, this);
        AddFolder(folder);
    };
    auto addFile = [this, index](const QString& file) {
        if (index == 1 && openedPath_.isEmpty()) openedPath_ = file;
        AddPathOrPlayList(file);
    };
    if (IsExistingFile(path)) {
        if (!IsShortcutExtension(GetFileExtension(path))) {
            addFile(path);
            return;
        }
        QString target;
        if (!ResolveShortcut(path, &target)) return;
        if (IsExistingFolder(target))
            addFolder(target);
        else if (IsExistingFile(target))
            addFile(target);
        return;
    }
    if (IsExistingFolder(path)) addFolder(path);
}

void TZoMain::AddFolder(const QString& folder)
{
    ScanScope scope(this);
    const QString root = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    AddFolderMediaFiles(root, true);
    const QStringList subFolders = ScanFolder(root, [this] {
        ScanEvents();
        return ScanGoesOn();
    });
    for (const QString& sub : subFolders) {
        if (!ScanGoesOn()) break;
        AddFolderMediaFiles(sub.endsWith(QLatin1Char('/')) ? sub : sub + QLatin1Char('/'), true);
    }
}

void TZoMain::AddFolderMediaFiles(const QString& path, bool isFolder)
{
    ScanScope scope(this);
    const QStringList files = FolderMediaFiles(path, isFolder, ReadExtensionList());
    for (const QString& file : files) {
        AddPathOrPlayList(file);
        ScanEvents();
    }
}

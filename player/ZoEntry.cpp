// The command line of a first start, the arguments handed over by a second
// start, and the intake of argument paths (files, shortcuts, folders) into
// the play list, which dropped files share.
#include "player/ZoMain.h"

#include "platform/paths/paths.h"
#include "player/units/Folderscan.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QCoreApplication>

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

}  // namespace

void TZoMain::OnCopyData(TMessage& message)
{
    // 1. Busy with other input: the record is dropped.
    if (addingItems_ || graphStarting_) return;
    const WPARAM sender = message.WParam;
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(message.LParam);
    if (!data) return;
    // 2. The first record of a second start binds the window to it.
    if (copyDataSender_ == 0) {
        copyDataSender_ = sender;
        if (playState_ != psNothing || !playList_.IsEmpty()) {
            CloseMedia();
            UpdateControlsForMedia(false);
        }
    }
    // 3. Records of any other start wait their turn (they are dropped).
    if (sender != copyDataSender_) return;
    // 4.
    const QString text = RecordText(data);
    const std::intptr_t index = data->dwData;
    // 5.
    if (index == 1 && text == QLatin1String("/DVD")) {
        dvdRequested_ = true;
        return;
    }
    if (index == 1 && text == QLatin1String("/CD")) {
        cdRequested_ = true;
        return;
    }
    // 6. The drive argument that follows "/DVD" or "/CD".
    if (index == 0 && (dvdRequested_ || cdRequested_)) {
        if (!text.isEmpty()) {
            addingItems_ = true;
            viewerPath_ = dvdRequested_ ? DvdVideoFolder(text) : text;
            if (!dialogOpen_ && !ListEditWindow && !CaptureWindow) BringToForeground();
            repaint();
            if (dvdRequested_)
                StartDvd();
            else
                StartAudioCd();
        }
        dvdRequested_ = cdRequested_ = false;
        pendingArguments_.reset();
        copyDataSender_ = 0;
        addingItems_ = false;
        return;
    }
    // 7.
    if (!pendingArguments_) pendingArguments_ = std::make_unique<QStringList>();
    pendingArguments_->append(text);
    if (index >= 1) return;
    // 8. The last (or only) argument: add them all in order.
    addingItems_ = true;
    if (isMinimized()) SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
    repaint();
    const QStringList arguments = *pendingArguments_;
    pendingArguments_.reset();
    // Folder scans go on while the tag is set.
    SetTag(ui_->miFolderSerch, 1);
    for (int i = 0; i < arguments.size() && Tag(ui_->miFolderSerch) != 0; ++i) AddArgument(arguments[i], i + 1, false);
    // 9.
    if (playList_.IsEmpty()) {
        ShowNoFileNotice();
    } else {
        playList_.SetListIndex(0);
        if (index == -1 && settings_.SerchFiles && IsExistingFile(text)) AddFolderMediaFiles(text, false);
        if (IsExistingFile(text)) settings_.InitialDir = ExtractFileDir(text);
        PlayListItem(true, false);
    }
    SetTag(ui_->miFolderSerch, 0);
    // 10.
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
    dvdRequested_ = cdRequested_ = false;
}

void TZoMain::HandleCommandLine()
{
    const QStringList& args = arguments_;
    if (!args.isEmpty()) {
        const QString word = args.first().toLower();
        if (word == QLatin1String("/dvd")) {
            // The DVD starts when the window is first shown.
            if (args.size() > 1 && !args[1].isEmpty()) viewerPath_ = DvdVideoFolder(args[1]);
            dvdRequested_ = true;
        } else if (word == QLatin1String("/cd")) {
            if (args.size() > 1 && !args[1].isEmpty()) {
                viewerPath_ = args[1];
                StartAudioCd();
            }
        } else {
            bool plain = true;
            if (word == QLatin1String("/fb")) {
                // The file browser window opens here once it exists; without a
                // further argument nothing else happens.
                plain = args.size() > 1 && !args[1].isEmpty();
            }
            if (plain) {
                const QString& first = args.first();
                if (GetFileExtension(first) == QLatin1String("ifo")) {
                    viewerPath_ = ExtractFileDir(first);
                    StartDvd();
                } else if (!addingItems_) {
                    addingItems_ = true;
                    if (first.startsWith(QLatin1String("http://")) || first.startsWith(QLatin1String("ftp://"))) {
                        OpenUrl(first);
                    } else {
                        if (IsExistingFile(first)) settings_.InitialDir = ExtractFileDir(first);
                        SetTag(ui_->miFolderSerch, 1);
                        for (int i = 0; i < args.size() && Tag(ui_->miFolderSerch) != 0; ++i) {
                            if (word == QLatin1String("/fb") && i == 0) continue;
                            AddArgument(args[i], i + 1, true);
                        }
                        const bool serchFiles = settings_.SerchFiles;
                        if (IsCtrlHeld()) settings_.SerchFiles = !settings_.SerchFiles;
                        if (args.size() == 1 && settings_.SerchFiles && IsExistingFile(first))
                            AddFolderMediaFiles(first, false);
                        SetTag(ui_->miFolderSerch, 0);
                        settings_.SerchFiles = serchFiles;
                        if (playList_.IsEmpty())
                            ShowNoFileNotice();
                        else
                            PlayListItem(true, true);
                    }
                    addingItems_ = false;
                }
            }
        }
    }
    // 6.
    if (settings_.AlwaysOnTop) SetWindowTopmost(true);
}

void TZoMain::AddArgument(const QString& path, int index, bool showSearchWindow)
{
    Q_UNUSED(showSearchWindow);
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
            AddFolder(target);
        else if (IsExistingFile(target))
            addFile(target);
        return;
    }
    if (IsExistingFolder(path)) AddFolder(path);
}

void TZoMain::AddFolder(const QString& folder)
{
    const QString root = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    AddFolderMediaFiles(root, true);
    const QStringList subFolders = ScanFolder(root, [this] {
        QCoreApplication::processEvents();
        return Tag(ui_->miFolderSerch) != 0;
    });
    for (const QString& sub : subFolders) {
        if (Tag(ui_->miFolderSerch) == 0) break;
        AddFolderMediaFiles(sub.endsWith(QLatin1Char('/')) ? sub : sub + QLatin1Char('/'), true);
    }
}

void TZoMain::AddFolderMediaFiles(const QString& path, bool isFolder)
{
    const QStringList files = FolderMediaFiles(path, isFolder, ReadExtensionList());
    for (const QString& file : files) {
        AddPathOrPlayList(file);
        QCoreApplication::processEvents();
    }
}

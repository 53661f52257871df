// The disc folder of a DVD: its resume point, its bookmarks and its repeat
// sections. The folder lies in the per-user "Bookmark" folder and is named
// after the disc and its identifier, so that every disc finds its own files
// again; the rules for its names are in units/Dvdfolder.
#include "player/ZoMain.h"

#include "platform/cdrom/cdrom.h"
#include "platform/dialogs/dialogs.h"
#include "platform/dvd/navigator.h"
#include "platform/dvd/state.h"
#include "platform/files/statefile.h"
#include "platform/paths/paths.h"
#include "platform/storage/storage.h"
#include "player/units/Dvdfolder.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QStorageInfo>

#include <sys/stat.h>

#include <algorithm>

namespace {

bool IsBlockDevice(const QString& path)
{
    struct stat st {};
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISBLK(st.st_mode);
}

// The folder where a device node is mounted; empty when it is not.
QString MountPointOf(const QString& node)
{
    const QString device = QFileInfo(node).canonicalFilePath();
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString source = QString::fromLocal8Bit(volume.device());
        if (source == node || (!device.isEmpty() && QFileInfo(source).canonicalFilePath() == device))
            return volume.rootPath();
    }
    return QString();
}

// Whether a folder is the root of a mounted volume (a disc's root shows its
// label, not its mount point's name).
bool IsMountRoot(const QString& folder)
{
    if (IsBlockDevice(folder)) return true;
    const QStorageInfo volume(folder);
    return volume.isValid() && QDir::cleanPath(volume.rootPath()) == QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

// A file name inside the disc folder: one component that fits.
bool IsPlainName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") &&
           name != QLatin1String("..") && dvdfolder::NameFits(name);
}

}  // namespace

QString TZoMain::DvdDiscFolder() const
{
    dvd::Navigator* navigator = DvdControl();
    std::uint64_t id = 0;
    if (!navigator || FAILED(navigator->GetDiscID(&id))) return QString();
    return dvdfolder::DiscFolderPath(GetBookmarkFolder(), dvd_.DiscName, id);
}

void TZoMain::ReadDvdVolumeName()
{
    dvd_.DiscName.clear();
    dvd_.DiscDrive.clear();
    dvd::Navigator* navigator = DvdControl();
    if (!navigator) return;
    QString directory, label;
    if (FAILED(navigator->GetDVDDirectory(&directory))) directory.clear();
    if (FAILED(navigator->GetDVDVolumeName(&label))) label.clear();
    if (IsBlockDevice(directory)) {
        // A device node names the drive; its files are read where it is mounted.
        dvd_.DiscDrive = directory;
        const QString mountPoint = MountPointOf(directory);
        if (!mountPoint.isEmpty()) directory = mountPoint;
    } else if (!cdrom::DriveOfPath(directory).isEmpty()) {
        dvd_.DiscDrive = QStorageInfo(directory).rootPath();
    }
    dvd_.DiscName = dvdfolder::DiscNameFromDirectory(directory, label, IsMountRoot);
}

bool TZoMain::SaveResumePoint(bool isResume, QString* outName)
{
    dvd::Navigator* navigator = DvdControl();
    if (!navigator) return false;
    const QString folder = DvdDiscFolder();
    if (folder.isEmpty()) return false;
    // The folder and its missing parents, when a save needs them.
    if (!QDir().mkpath(folder)) return false;
    dvd::Location location;
    if (FAILED(navigator->GetCurrentLocation(&location))) return false;
    const QString name = isResume ? QString::fromLatin1(dvdfolder::kResumeFileName)
                                  : dvdfolder::BookmarkFileName(location.title, location.time);
    if (outName && !isResume) *outName = name;
    dvd::SavedState state;
    if (FAILED(navigator->GetState(&state))) return false;
    return SUCCEEDED(
        storage::WriteStream(folder + name, QString::fromLatin1(dvdfolder::kStreamName), state.bytes));
}

void TZoMain::LoadResumePoint(const QString& name, bool noQuestion)
{
    dvd::Navigator* navigator = DvdControl();
    if (!navigator) return;
    std::uint64_t discId = 0;
    if (FAILED(navigator->GetDiscID(&discId))) return;
    const QString folder = DvdDiscFolder();
    const bool resume = name.isEmpty();
    if (folder.isEmpty() || (!resume && !IsPlainName(name))) return;
    const QString path = folder + (resume ? QString::fromLatin1(dvdfolder::kResumeFileName) : name);
    if (!IsExistingFile(path)) return;
    dvd::SavedState state;
    if (FAILED(storage::ReadStream(path, QString::fromLatin1(dvdfolder::kStreamName), &state.bytes))) return;
    if (resume) {
        // Only this disc's own place is offered: another disc's is never applied.
        std::uint64_t storedId = 0;
        if (!dvd::StateRecordDiscId(state.bytes, &storedId) || storedId != discId) return;
        dialogOpen_ = true;
        if (fullScreen_) ShowCursorInFullScreen(true);
        const bool yes =
            noQuestion || MessageBox(this, QStringLiteral("以前停止したところから再生しますか？"),
                                     QStringLiteral("オートレジューム メッセージ"),
                                     MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) == IDYES;
        dialogOpen_ = false;
        // The picture under the box is drawn again.
        ui_->ViewPanel->update();
        if (!yes) {
            dvd_.ResumePending = false;
            return;
        }
        dvd_.ResumePending = true;
        // The box may have outlived the disc.
        navigator = DvdControl();
        if (!navigator) return;
    }
    if (SUCCEEDED(navigator->SetState(state, dvd::DVD_CMD_FLAG_Flush | dvd::DVD_CMD_FLAG_Block)))
        dvd_.ResumePending = false;
}

void TZoMain::BuildBookmarkMenu()
{
    bookmarks::IBookmarkMenu& menu = DvdBookmarkMenu();
    menu.RemoveFrom(bookmarks::kFirstEntry);
    const QString folder = DvdDiscFolder();
    if (folder.isEmpty() || !IsExistingFolder(folder)) return;
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    // In name order, as the user's file manager lists them.
    QCollator collator;
    collator.setNumericMode(true);
    std::sort(names.begin(), names.end(), collator);
    for (const QString& name : names) {
        if (GetFileExtension(name) != QLatin1String("bmk")) continue;
        const std::optional<dvdfolder::TBookmarkItem> item = dvdfolder::BookmarkItemFromFileName(name);
        if (item) menu.Insert(menu.Count(), item->caption, item->tag, true);
    }
}

bool TZoMain::MakeDvdBookmark()
{
    if (!SaveResumePoint(false)) return false;
    BuildBookmarkMenu();
    return true;
}

void TZoMain::DvdBookmarkClick(QAction* item)
{
    if (!item) return;
    const QString name = dvdfolder::FileNameFromCaption(item->text());
    if (name.isEmpty()) return;
    LoadResumePoint(name, false);
    if (settings_.ShowStatus) ShowStatusText(item->text());
}

void TZoMain::BookmarkDlgClosed()
{
    if (BookmarkWindow) DeleteToolWindow(BookmarkWindow);
    BookmarkWindow = nullptr;
    dialogOpen_ = false;
    ui_->PMForeground->setEnabled(true);
    SetWindowTopmost(ui_->PMForeground->isChecked());
    for (QAction* item : {ui_->miMakeBkmrk, ui_->miShowBkmrkDlg}) item->setEnabled(true);
    if (dvd_.Mode) {
        BuildBookmarkMenu();
        ui_->MIDVDBookmark->setEnabled(true);
        ui_->MIDVDBookmark->menuAction()->setEnabled(true);
        return;
    }
    // A file's menus come back when they hold entries.
    for (QMenu* menu : {ui_->MiBookMrk, ui_->miSaveAB}) {
        const bool holdsEntries = menu->actions().size() > bookmarks::kFirstEntry;
        if (!holdsEntries) continue;
        menu->setEnabled(true);
        menu->menuAction()->setEnabled(true);
    }
}

bool TZoMain::SaveDvdSections(bool removeOnly)
{
    dvd::Navigator* navigator = DvdControl();
    if (!navigator) return false;
    const QString folder = DvdDiscFolder();
    dvd::Location location;
    if (folder.isEmpty() || FAILED(navigator->GetCurrentLocation(&location))) return false;
    const int title = int(location.title);
    const QString path = folder + QLatin1String(dvdfolder::kRepeatFileName);
    // Windows of several players on one disc take turns: each reads the
    // sections the one before wrote.
    if (!removeOnly && !QDir().mkpath(folder)) return false;
    const statefile::FileLock lock(QFile::encodeName(path).toStdString());

    QStringList lines;
    if (IsExistingFile(path)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.size() > dvdfolder::kMaxRepeatFileBytes) return false;
        lines = dvdfolder::SplitLines(file.readAll());
    }
    // The menu's sections replace the title's lines; removing writes none back.
    std::vector<dvdfolder::TDvdSection> sections;
    if (!removeOnly) {
        const bookmarks::IBookmarkMenu& menu = SectionMenu();
        for (int i = bookmarks::kFirstEntry; i + 1 < menu.Count(); ++i) {
            if (!menu.IsVisible(i) || menu.IsVisible(i + 1)) continue;
            sections.push_back({title, menu.Caption(i), int(menu.ItemTag(i)), int(menu.ItemTag(i + 1))});
            ++i;
        }
    }
    const QStringList kept = dvdfolder::ReplaceSectionsOfTitle(lines, title, sections);
    bool saved = true;
    if (kept.isEmpty()) {
        saved = !QFile::exists(path) || QFile::remove(path);
    } else {
        if (!QDir().mkpath(folder)) return false;
        const QByteArray text = (kept.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
        const QByteArray local = QFile::encodeName(path);
        saved = statefile::WriteAtomically(std::string(local.constData(), size_t(local.size())),
                                           std::string_view(text.constData(), size_t(text.size()))) == 0;
    }
    ApplySectionState();
    return saved;
}

void TZoMain::LoadDvdSections()
{
    bookmarks::IBookmarkMenu& menu = SectionMenu();
    menu.RemoveFrom(bookmarks::kFirstEntry);
    dvd::Navigator* navigator = DvdControl();
    const QString folder = DvdDiscFolder();
    dvd::Location location;
    if (!navigator || folder.isEmpty() || FAILED(navigator->GetCurrentLocation(&location))) {
        ApplySectionState();
        return;
    }
    QFile file(folder + QLatin1String(dvdfolder::kRepeatFileName));
    if (file.open(QIODevice::ReadOnly) && file.size() <= dvdfolder::kMaxRepeatFileBytes) {
        for (const dvdfolder::TDvdSection& s :
             dvdfolder::SectionsOfTitle(dvdfolder::SplitLines(file.readAll()), int(location.title))) {
            menu.Insert(menu.Count(), s.name, s.start, true);
            menu.Insert(menu.Count(), QString(), s.end, false);
        }
    }
    ApplySectionState();
}

void TZoMain::CloseDvdResume(bool destroying)
{
    if (!dvd_.Mode) return;
    // A place in a title is kept; a menu, a still or the title's end is none.
    const bool resumable = dvd_.Playing && !dvd_.StillOn && !dvd_.InMenu && !dvd_.EndActionStarted;
    if (resumable && (!destroying || settings_.DVDResumeEnable)) SaveResumePoint(true);
    ClearDvdMenus();
    DvdBookmarkMenu().RemoveFrom(bookmarks::kFirstEntry);
}

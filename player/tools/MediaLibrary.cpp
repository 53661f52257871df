#include "player/tools/MediaLibrary.h"

#include "platform/cdrom/cdrom.h"
#include "platform/paths/paths.h"
#include "platform/shell/drives.h"
#include "player/tools/LibraryFile.h"
#include "player/units/Folderscan.h"

#include <QApplication>
#include <QCollator>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QSet>
#include <QStyle>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace {

std::optional<TViewerMetrics>& FixedMetrics()
{
    static std::optional<TViewerMetrics> fixed;
    return fixed;
}

// Titles past this many are not measured: the first screenfuls decide the width.
constexpr int kMeasuredTitles = 501;

}  // namespace

TViewerMetrics TViewerMetrics::Current()
{
    if (FixedMetrics()) return *FixedMetrics();
    TViewerMetrics m;
    const QStyle* style = QApplication::style();
    m.SmallIcon = style->pixelMetric(QStyle::PM_SmallIconSize);
    m.ScrollBar = style->pixelMetric(QStyle::PM_ScrollBarExtent);
    m.Edge = style->pixelMetric(QStyle::PM_DefaultFrameWidth);
    QMenuBar bar;
    bar.addMenu(QStringLiteral("表示(&V)"));
    m.MenuBar = bar.sizeHint().height();
    return m;
}

void TViewerMetrics::Fix(std::optional<TViewerMetrics> metrics) { FixedMetrics() = metrics; }

TMediaLibrary::TMediaLibrary(int kind, TextWidth textWidth) : kind_(kind), textWidth_(std::move(textWidth)) {}

void TMediaLibrary::Measure(const QString& name)
{
    if (LockWidth || MaxWidth <= ContentWidth) return;
    const int width = std::min(textWidth_(name) + ExtraWidth, MaxWidth);
    ContentWidth = std::max(ContentWidth, width);
}

bool TMediaLibrary::Admitted(int kind) const
{
    switch (CategoryShown) {
    case kMediaFiles:
        return kind == kMediaFile;
    case kLists:
        return kind == kListFile;
    case kFoldersAndDrives:
        return kind == kFolder || kind == kDrive;
    default:
        return true;
    }
}

bool TMediaLibrary::AddLibraryItem(const QString& name, const QString& path, int kind, int time)
{
    if (kind_ == kLibrary) {
        if (kind == kMediaFile) {
            struct stat st;
            if (::stat(QFile::encodeName(path).constData(), &st) != 0) return false;
            if (S_ISDIR(st.st_mode)) {
                kind = kFolder;
            } else {
                const QString extension = GetFileExtension(path);
                if (extension == QLatin1String("m3u") || extension == QLatin1String("zol")) kind = kListFile;
            }
        }
        if (!Admitted(kind)) return false;
    }
    items_.push_back({name, path, -1, kind, 0, time});
    Measure(name);
    return true;
}

void TMediaLibrary::LoadLibraryList(const TLibraryFile& file)
{
    if (CategoryShown == kAll || CategoryShown == kFoldersAndDrives) {
        for (const shell::DiscEntry& disc : shell::DiscEntries(shell::OpticalDrives()))
            AddLibraryItem(disc.name, disc.path, kDrive, 0);
    }
    const std::vector<TLibraryEntry> entries = file.Read();
    items_.reserve(items_.size() + entries.size());
    for (const TLibraryEntry& entry : entries) AddLibraryItem(entry.Name, entry.Path, kMediaFile, 0);
    if (SortKey != 0) Sort();
}

std::vector<TLibraryEntry> TMediaLibrary::RegisteredFolders(const TLibraryFile& file)
{
    std::vector<TLibraryEntry> folders;
    for (TLibraryEntry& entry : file.Read())
        if (IsExistingFolder(entry.Path)) folders.push_back(std::move(entry));
    return folders;
}

void TMediaLibrary::ListFolderContents(const QString& folder, const QString& extensionList, bool showExtension)
{
    if (!IsExistingFolder(folder)) return;
    const QStringList tokenList = ParseExtensionList(extensionList);
    const QSet<QString> tokens(tokenList.begin(), tokenList.end());
    const QString base = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');

    std::vector<QString> names;
    if (DIR* dir = opendir(QFile::encodeName(base).constData())) {
        while (const dirent* e = readdir(dir)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            const QString name = QFile::decodeName(e->d_name);
            const QString extension = GetFileExtension(name);
            if (!extension.isEmpty() && tokens.contains(extension)) names.push_back(name);
        }
        closedir(dir);
    }
    // The names in the order the user's file manager shows them.
    QCollator collator;
    collator.setNumericMode(true);
    std::vector<std::pair<QCollatorSortKey, size_t>> keys;
    keys.reserve(names.size());
    for (size_t i = 0; i < names.size(); ++i) keys.emplace_back(collator.sortKey(names[i]), i);
    std::sort(keys.begin(), keys.end(), [&names](const auto& a, const auto& b) {
        const int order = a.first.compare(b.first);
        return order != 0 ? order < 0 : names[a.second] < names[b.second];
    });

    items_.reserve(items_.size() + names.size());
    for (const auto& key : keys) {
        const QString& name = names[key.second];
        const QString path = base + name;
        const QString extension = GetFileExtension(name);
        QString shown = name;
        if (!showExtension) shown.chop(extension.size() + 1);
        QString target = path;
        if (IsShortcutExtension(extension)) {
            if (!ResolveShortcut(path, &target) || !IsExistingFile(target)) continue;
        } else if (IsExistingFolder(path)) {
            continue;   // a folder named like a media file is no entry
        }
        items_.push_back({shown, target, -1, kMediaFile, 0, GetFileDosDateTime(path)});
        Measure(shown);
    }
    if (SortKey != 0) Sort();
}

void TMediaLibrary::MeasureTitles(const std::vector<QString>& titles)
{
    const int count = std::min(static_cast<int>(titles.size()), kMeasuredTitles);
    for (int i = 0; i < count && MaxWidth > ContentWidth; ++i) Measure(titles[static_cast<size_t>(i)]);
}

void TMediaLibrary::Clear()
{
    items_.clear();
    ContentWidth = 120;
}

void TMediaLibrary::Sort()
{
    Clistsort::SetListSortKey(SortKey);
    if (kind_ == kFolders && (SortKey == Clistsort::skDateAscending || SortKey == Clistsort::skDateDescending))
        Clistsort::SortItemsByValue(items_);
    else
        Clistsort::SortLibraryItems(items_);
}

void TMediaLibrary::RenameItem(int index, const QString& name, const QString& path)
{
    if (index < 0 || index >= Count()) return;
    TLibraryItem& item = items_[static_cast<size_t>(index)];
    item.Name = name;
    item.Path = path;
    Measure(name);
}

QString TMediaLibrary::RegistrationPath(const QString& chosen, bool folder)
{
    if (GetFileExtension(chosen) == QLatin1String("ifo")) {
        // The disc's folder is the one above "VIDEO_TS"; an ".ifo" outside
        // such a folder stands for its own folder.
        const QStringList parts = chosen.split(QLatin1Char('/'));
        for (qsizetype i = parts.size() - 2; i > 0; --i) {
            if (parts.at(i).compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) == 0) {
                const QString disc = parts.mid(0, i).join(QLatin1Char('/'));
                return disc.isEmpty() ? QStringLiteral("/") : disc;
            }
        }
        return ExtractFileDir(chosen);
    }
    return folder ? ExtractFileDir(chosen) : chosen;
}

QString TMediaLibrary::BaseName(const QString& path)
{
    const QString name = ExtractFileName(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

QString TMediaLibrary::RenamedPath(const QString& path, const QString& name)
{
    const QString old = ExtractFileName(path);
    const qsizetype dot = old.lastIndexOf(QLatin1Char('.'));
    const QString folder = ExtractFileDir(path);
    return (folder == QLatin1String("/") ? QString() : folder) + QLatin1Char('/') + name +
           (dot > 0 ? old.mid(dot) : QString());
}

bool TMediaLibrary::DeleteItem(int index)
{
    if (index < 0 || index >= Count()) return false;
    items_.erase(items_.begin() + index);
    return true;
}

bool TMediaLibrary::SameDrive(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty()) return false;
    const cdrom::DriveName first = cdrom::ResolveDrive(a);
    const cdrom::DriveName second = cdrom::ResolveDrive(b);
    return first.kind != cdrom::DriveName::None && first.kind == second.kind && first.path == second.path;
}

TLibraryChoice TMediaLibrary::ChoiceFor(const TLibraryItem& item, const TOpenDisc& open)
{
    TLibraryChoice choice{LibraryRequest::OpenViewerPath, item.Path};
    if (choice.Path.size() > 1 && choice.Path.endsWith(QLatin1Char('/'))) choice.Path.chop(1);
    if (item.Kind == kMediaFile && GetFileExtension(choice.Path) == QLatin1String("ifo")) {
        choice.Request = LibraryRequest::StartDvd;
    } else if (item.Kind == kDrive) {
        choice.Request = LibraryRequest::OpenDrive;
        // The disc that plays is not opened a second time.
        if ((open.CdOpen || open.DvdPlaying) && SameDrive(choice.Path, open.Drive)) choice.Path.clear();
    }
    return choice;
}

void TMediaLibrary::SetLimits(const QRect& area, unsigned viewerMax, const QSize& frame)
{
    MaxWidth = static_cast<int>(area.width() * static_cast<double>(viewerMax >> 8) * 0.01) - frame.width();
    MaxHeight = static_cast<int>(area.height() * static_cast<double>(viewerMax & 0xFF) * 0.01) - frame.height();
}

TMediaLibrary::Fit TMediaLibrary::FitToContent(int count, int rowHeight, int firstRowTop, const QSize& frame,
                                               const QPoint& topLeft, const QRect& area,
                                               const TViewerMetrics& metrics) const
{
    Fit fit{QSize(120, 40), 120 - 2 * metrics.Edge, topLeft};
    if (count > 0) {
        const int width = LockWidth ? MaxWidth : ContentWidth;
        const int height = std::max(
            std::min(count * rowHeight + 2 * firstRowTop + 2 * metrics.Edge, MaxHeight), 40);
        fit.Client = QSize(width, height);
        // The rows that do not fit bring the scroll bar, which takes its width from the column.
        const int lastRowTop = firstRowTop + (count - 1) * rowHeight;
        const bool scrolls = height - (metrics.Edge + rowHeight + firstRowTop) < lastRowTop;
        fit.ColumnWidth = width - 2 * metrics.Edge - (scrolls ? metrics.ScrollBar : 0);
    }
    const QSize window = fit.Client + frame;
    // Inside the display area on every side; what is larger than the area keeps its top left in it.
    fit.TopLeft.setX(std::max(std::min(fit.TopLeft.x(), area.right() + 1 - window.width()), area.left()));
    fit.TopLeft.setY(std::max(std::min(fit.TopLeft.y(), area.bottom() + 1 - window.height()), area.top()));
    return fit;
}

// Folder scans: sub-folders of a tree, media files of one folder.
#include "Folderscan.h"

#include "platform/paths/paths.h"

#include <QCollator>
#include <QFile>
#include <QSet>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

namespace {

using FolderId = std::pair<dev_t, ino_t>;

QByteArray JoinEncoded(const QByteArray& folder, const char* name)
{
    QByteArray full = folder;
    if (!full.endsWith('/')) full += '/';
    full += name;
    return full;
}

QString JoinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// A folder path without its trailing "/" (the root stays "/").
QString WithoutSlash(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    return folder;
}

struct Entry {
    QByteArray name;
    unsigned char type;
};

// Puts the entries in name order as the user's locale compares names, with
// the numbers in names compared as numbers ("track2" before "track10"), as
// the original platform's file system lists a folder. Names the collation
// holds equal ("01", "1") keep the order of their bytes.
void SortByName(std::vector<Entry>* entries)
{
    if (entries->size() < 2) return;
    QCollator collator;
    collator.setNumericMode(true);
    std::vector<std::pair<QCollatorSortKey, size_t>> keys;
    keys.reserve(entries->size());
    for (size_t i = 0; i < entries->size(); ++i)
        keys.emplace_back(collator.sortKey(QFile::decodeName((*entries)[i].name)), i);
    std::sort(keys.begin(), keys.end(), [entries](const auto& a, const auto& b) {
        const int order = a.first.compare(b.first);
        if (order != 0) return order < 0;
        return (*entries)[a.second].name < (*entries)[b.second].name;
    });
    std::vector<Entry> sorted;
    sorted.reserve(entries->size());
    for (const auto& key : keys) sorted.push_back(std::move((*entries)[key.second]));
    *entries = std::move(sorted);
}

// Whether the entry is a folder (links followed); its identity when it is.
bool IsFolderEntry(const QByteArray& full, unsigned char type, FolderId* id)
{
    if (type != DT_DIR && type != DT_LNK && type != DT_UNKNOWN) return false;
    struct stat st;
    if (stat(full.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    *id = {st.st_dev, st.st_ino};
    return true;
}

class TreeScan {
public:
    TreeScan(const std::function<bool()>& keepGoing, QStringList* result) : keepGoing_(keepGoing), result_(result) {}

    bool Enter(const QString& root)
    {
        struct stat st;
        const QByteArray encoded = QFile::encodeName(root);
        if (stat(encoded.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
        visited_.insert({st.st_dev, st.st_ino});
        return true;
    }

    // False when the scan was stopped.
    bool Scan(const QByteArray& folder, const QString& folderText)
    {
        // Read the whole folder first, so that no handle stays open while
        // the sub-folders are scanned.
        std::vector<Entry> entries;
        if (DIR* dir = opendir(folder.constData())) {
            while (const dirent* e = readdir(dir)) {
                if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
                entries.push_back({QByteArray(e->d_name), e->d_type});
            }
            closedir(dir);
        }
        SortByName(&entries);
        for (const Entry& entry : entries) {
            if (keepGoing_ && !keepGoing_()) return false;
            const QByteArray full = JoinEncoded(folder, entry.name.constData());
            FolderId id;
            if (!IsFolderEntry(full, entry.type, &id)) continue;
            if (!visited_.insert(id).second) continue;   // met before: a link back or a second link
            const QString text = JoinPath(folderText, QFile::decodeName(entry.name));
            result_->append(text);
            if (!Scan(full, text)) return false;
        }
        return true;
    }

private:
    const std::function<bool()>& keepGoing_;
    QStringList* result_;
    std::set<FolderId> visited_;
};

}  // namespace

QStringList ParseExtensionList(const QString& extensionList)
{
    QString prepared = extensionList;
    prepared.remove(QLatin1Char('*'));
    prepared.remove(QLatin1Char(';'));
    if (prepared.startsWith(QLatin1Char('.'))) prepared.remove(0, 1);
    return prepared.split(QLatin1Char('.'), Qt::SkipEmptyParts);
}

QStringList ScanFolder(const QString& folder, const std::function<bool()>& keepGoing)
{
    QStringList result;
    const QString root = WithoutSlash(folder);
    if (root.isEmpty()) return result;
    TreeScan scan(keepGoing, &result);
    if (scan.Enter(root)) scan.Scan(QFile::encodeName(root), root);
    return result;
}

QStringList FolderFileNames(const QString& folder)
{
    QStringList names;
    const QByteArray encodedFolder = QFile::encodeName(WithoutSlash(folder));
    DIR* dir = opendir(encodedFolder.constData());
    if (!dir) return names;
    std::vector<Entry> entries;
    while (const dirent* e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        entries.push_back({QByteArray(e->d_name), e->d_type});
    }
    closedir(dir);
    SortByName(&entries);
    names.reserve(static_cast<qsizetype>(entries.size()));
    for (const Entry& entry : entries) {
        FolderId id;
        if (IsFolderEntry(JoinEncoded(encodedFolder, entry.name.constData()), entry.type, &id)) continue;
        names.append(QFile::decodeName(entry.name));
    }
    return names;
}

QStringList FolderMediaFiles(const QString& path, bool isFolder, const QString& extensionList)
{
    QStringList result;
    const QStringList extensionItems = ParseExtensionList(extensionList);
    const QSet<QString> extensions(extensionItems.begin(), extensionItems.end());
    if (extensions.isEmpty()) return result;

    QString folder;
    QByteArray skipName;
    if (isFolder) {
        folder = WithoutSlash(path);
    } else {
        folder = ExtractFileDir(path);
        skipName = QFile::encodeName(ExtractFileName(path));
    }
    if (folder.isEmpty()) return result;

    const QByteArray encodedFolder = QFile::encodeName(folder);
    DIR* dir = opendir(encodedFolder.constData());
    if (!dir) return result;
    std::vector<Entry> candidates;
    while (const dirent* e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        if (!isFolder && skipName == e->d_name) continue;
        const QString extension = GetFileExtension(QFile::decodeName(e->d_name));
        if (extension.isEmpty() || extension == QLatin1String("ifo")) continue;
        if (!extensions.contains(extension)) continue;
        candidates.push_back({QByteArray(e->d_name), e->d_type});
    }
    closedir(dir);
    SortByName(&candidates);
    for (const Entry& entry : candidates) {
        const QString name = QFile::decodeName(entry.name);
        const QString extension = GetFileExtension(name);
        const QByteArray full = JoinEncoded(encodedFolder, entry.name.constData());
        FolderId id;
        if (IsFolderEntry(full, entry.type, &id)) continue;   // a folder is never a media entry
        const QString entryPath = JoinPath(folder, name);
        if (IsShortcutExtension(extension)) {
            QString target;
            if (ResolveShortcut(entryPath, &target) && IsExistingFile(target)) result.append(target);
            continue;
        }
        result.append(entryPath);
    }
    return result;
}

#include "player/tools/ListEditRows.h"

#include "platform/paths/paths.h"
#include "player/tools/LibraryFile.h"
#include "player/units/Creadlist.h"
#include "player/units/Ctag.h"
#include "player/units/Playlist.h"

#include <QCollator>
#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <numeric>

namespace {

const QString kFolderKind = QStringLiteral("フォルダ");

bool ExistingEntry(const QString& path) { return IsExistingFile(path) || IsExistingFolder(path); }

// The file name without its folder and extension.
QString BareTitle(const QString& path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const QString extension = GetFileExtension(path);
    if (extension.isEmpty() || !name.contains(QLatin1Char('.'))) return name;
    return name.left(name.size() - extension.size() - 1);
}

// Hands every entry of a list to the rows.
class RowSink : public IListSink {
public:
    explicit RowSink(TListEditRows& rows) : rows_(rows) {}
    void AddFileToList(const QString& path) override { rows_.AddListItem(path); }
    void AddPathOrPlayList(const QString& path) override { rows_.AddListItem(path); }

private:
    TListEditRows& rows_;
};

}  // namespace

QStringList TListEditRows::Paths() const
{
    QStringList paths;
    paths.reserve(Count());
    for (const TFileItem& item : items_) paths << item.Path;
    return paths;
}

void TListEditRows::SetTitle(int row, const QString& title)
{
    TFileItem& item = items_[static_cast<size_t>(row)];
    if (item.Title == title) return;
    item.Title = title;
    MarkModified();
}

void TListEditRows::AddListItem(const QString& path)
{
    TFileItem item;
    item.Path = path;
    item.Title = BareTitle(path);
    item.KindText = GetFileExtension(path);
    const bool isFile = IsExistingFile(path);
    item.Missing = !isFile && !IsExistingFolder(path);
    if (isFile && item.KindText == QLatin1String("mp3")) {
        CMP3Info info(false);
        if (info.ReadTag(path, readId3v2_)) {
            const QString title = info.tag.title.trimmed();
            const QString artist = info.tag.artist.trimmed();
            if (!title.isEmpty()) item.Title = title;
            if (!artist.isEmpty()) {
                item.Artist = artist;
                HasArtist = true;
            }
        }
    }
    items_.push_back(std::move(item));
}

void TListEditRows::AddFolderRow(const QString& path, const QString& title)
{
    TFileItem item;
    item.Title = title;
    item.KindText = kFolderKind;
    item.Path = path;
    items_.push_back(std::move(item));
}

void TListEditRows::ReadListFile(const QString& path)
{
    RowSink sink(*this);
    CReadList reader(&sink);
    reader.SetEditorRules(true);
    reader.Read(path, ListKindForExtension(GetFileExtension(path)) == 1 ? 1 : 0);
}

void TListEditRows::ReadWplFile(const QString& path)
{
    RowSink sink(*this);
    CReadList(&sink).Read(path, 2);
}

void TListEditRows::AddPathByType(const QString& path)
{
    const int kind = ListKindForExtension(GetFileExtension(path));
    if ((kind == 0 || kind == 1) && mode_ == kPlayList)
        ReadListFile(path);
    else if (kind == 2)
        ReadWplFile(path);
    else
        AddListItem(path);
}

void TListEditRows::LoadLibrary(const TLibraryFile& file)
{
    for (const TLibraryEntry& entry : file.Read()) {
        TFileItem item;
        item.Title = entry.Name;
        item.Path = entry.Path;
        if (IsExistingFolder(entry.Path))
            item.KindText = kFolderKind;
        else if (mode_ == kLibrary && IsExistingFile(entry.Path))
            item.KindText = GetFileExtension(entry.Path);
        else
            item.Missing = true;
        items_.push_back(std::move(item));
    }
}

bool TListEditRows::WriteListFile(const QString& path) const { return WritePlayListFile(path, Paths()); }

bool TListEditRows::SaveLibrary(const TLibraryFile& file) const
{
    std::vector<TLibraryEntry> entries;
    entries.reserve(items_.size());
    for (const TFileItem& item : items_) entries.push_back({item.Title, item.Path});
    return file.Rewrite(entries);
}

void TListEditRows::Sort(int key)
{
    if (key < 0 || key >= kKeyCount) return;
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    const int column = key / 2;
    auto field = [column](const TFileItem& item) -> const QString& {
        switch (column) {
        case 0: return item.Title;
        case 1: return item.KindText;
        case 2: return item.Artist;
        default: return item.Path;
        }
    };
    // Sort keys are made once: a collator's comparison of raw strings costs
    // far more than comparing its keys, and lists run to 100,000 rows.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(items_.size());
    // Folded first: without a locale the collator compares by code and would not ignore case.
    for (const TFileItem& item : items_) keys.push_back(collator.sortKey(field(item).toCaseFolded()));
    std::vector<int> order(items_.size());
    std::iota(order.begin(), order.end(), 0);
    const bool descending = key % 2 == 1;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = keys[static_cast<size_t>(a)].compare(keys[static_cast<size_t>(b)]);
        return descending ? c > 0 : c < 0;
    });
    std::vector<TFileItem> sorted;
    sorted.reserve(items_.size());
    for (int i : order) sorted.push_back(std::move(items_[static_cast<size_t>(i)]));
    items_ = std::move(sorted);
    MarkModified();
}

std::vector<int> TListEditRows::MoveRowsUp(const std::vector<int>& selected)
{
    if (selected.empty() || items_.empty() || selected.front() <= 0) return selected;
    std::vector<int> moved;
    moved.reserve(selected.size());
    for (int i : selected) {
        std::swap(items_[static_cast<size_t>(i)], items_[static_cast<size_t>(i - 1)]);
        moved.push_back(i - 1);
    }
    MarkModified();
    return moved;
}

std::vector<int> TListEditRows::MoveRowsDown(const std::vector<int>& selected)
{
    if (selected.empty() || items_.empty() || selected.back() >= Count() - 1) return selected;
    std::vector<int> moved(selected.size());
    for (size_t k = selected.size(); k-- > 0;) {
        const int i = selected[k];
        std::swap(items_[static_cast<size_t>(i)], items_[static_cast<size_t>(i + 1)]);
        moved[k] = i + 1;
    }
    MarkModified();
    return moved;
}

std::vector<int> TListEditRows::MoveRowsTo(const std::vector<int>& selected, int target)
{
    if (selected.empty()) return selected;
    std::vector<char> chosen(items_.size(), 0);
    for (int i : selected) chosen[static_cast<size_t>(i)] = 1;
    std::vector<TFileItem> moving;
    std::vector<TFileItem> rest;
    moving.reserve(selected.size());
    rest.reserve(items_.size() - selected.size());
    // Where the target row stands among the rows that stay.
    int insertAt = 0;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (chosen[i]) {
            moving.push_back(std::move(items_[i]));
        } else {
            rest.push_back(std::move(items_[i]));
            if (static_cast<int>(i) <= target) insertAt = static_cast<int>(rest.size());
        }
    }
    rest.insert(rest.begin() + insertAt, std::make_move_iterator(moving.begin()),
                std::make_move_iterator(moving.end()));
    items_ = std::move(rest);
    std::vector<int> now(selected.size());
    std::iota(now.begin(), now.end(), insertAt);
    MarkModified();
    return now;
}

void TListEditRows::Shuffle()
{
    std::vector<int> order(items_.size());
    std::iota(order.begin(), order.end(), 0);
    TPlayList().ShuffleIndices(order);
    QStringList paths;
    paths.reserve(Count());
    for (int i : order) paths << items_[static_cast<size_t>(i)].Path;
    ResetRows();
    for (const QString& path : paths) AddListItem(path);
    MarkModified();
}

void TListEditRows::Delete(const std::vector<int>& selected)
{
    if (selected.empty()) return;
    std::vector<char> chosen(items_.size(), 0);
    for (int i : selected) chosen[static_cast<size_t>(i)] = 1;
    size_t k = 0;
    const auto end = std::remove_if(items_.begin(), items_.end(), [&](const TFileItem&) { return chosen[k++] != 0; });
    items_.erase(end, items_.end());
    MarkModified();
}

int TListEditRows::DeleteMissing()
{
    const size_t before = items_.size();
    std::erase_if(items_, [](const TFileItem& item) { return !ExistingEntry(item.Path); });
    const int removed = static_cast<int>(before - items_.size());
    if (removed > 0) MarkModified();
    return removed;
}

int TListEditRows::RemoveDuplicates()
{
    QSet<QString> seen;
    seen.reserve(Count());
    const size_t before = items_.size();
    std::erase_if(items_, [&](const TFileItem& item) {
        if (seen.contains(item.Path)) return true;
        seen.insert(item.Path);
        return false;
    });
    const int removed = static_cast<int>(before - items_.size());
    if (removed > 0) MarkModified();
    return removed;
}

void TListEditRows::ResetRows()
{
    items_.clear();
    HasArtist = false;
    MarkModified();
}

QString TListEditRows::CountText(int firstSelected, int count)
{
    return QStringLiteral("%1/%2").arg(firstSelected < 0 ? 0 : firstSelected + 1).arg(count);
}

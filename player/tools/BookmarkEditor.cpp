#include "player/tools/BookmarkEditor.h"

#include "player/tools/ToolHost.h"
#include "player/units/Bookmarkcommands.h"
#include "player/units/Bookmarkfile.h"
#include "player/units/Dvdfolder.h"
#include "player/units/PlaylistModel.h"

#include <QDir>
#include <QFile>

using bookmarks::IBookmarkMenu;
using bookmarks::kFirstEntry;

namespace {

struct Item {
    QString caption;
    std::int64_t tag;
    bool visible;
};

// The menus take items only at their end: the items from `index` on are
// taken off and put back without `count` of them, or with `index`'s
// caption replaced.
void Rebuild(IBookmarkMenu& menu, int index, int count, const QString* caption = nullptr)
{
    std::vector<Item> kept;
    for (int i = index; i < menu.Count(); ++i) kept.push_back({menu.Caption(i), menu.ItemTag(i), menu.IsVisible(i)});
    menu.RemoveFrom(index);
    for (size_t k = 0; k < kept.size(); ++k) {
        if (!caption && k < size_t(count)) continue;
        menu.Insert(menu.Count(), k == 0 && caption ? *caption : kept[k].caption, kept[k].tag, kept[k].visible);
    }
}

// A DVD bookmark's caption: "<title> hh:mm:ss <note>".
bool SplitDvdCaption(const QString& caption, QString* title, QString* clock, QString* note)
{
    const qsizetype blank = caption.indexOf(QLatin1Char(' '));
    if (blank < 0 || caption.size() < blank + 10) return false;
    *title = caption.left(blank);
    *clock = caption.mid(blank + 1, 8);
    *note = caption.mid(blank + 10);
    return true;
}

}  // namespace

TBookmarkEditor::TBookmarkEditor(IToolHost& host) : host_(host) {}

bool TBookmarkEditor::Dvd() const { return host_.DvdMode(); }

bool TBookmarkEditor::FileOpen() const
{
    return (host_.Graph() || host_.HasRealControl()) && host_.PlayList().IsValidIndex(host_.ListIndex());
}

void TBookmarkEditor::UpdateBookmarkPath() { path_ = Dvd() ? host_.DvdDiscFolder() : host_.BookmarkFilePath(); }

QString TBookmarkEditor::CutNote(const QString& note, int bytes)
{
    const QByteArray text = note.toUtf8();
    if (text.size() <= bytes) return note;
    int end = bytes;
    // Never inside a character: back to the first byte of the one cut.
    while (end > 0 && (static_cast<unsigned char>(text.at(end)) & 0xC0) == 0x80) --end;
    return QString::fromUtf8(text.left(end));
}

void TBookmarkEditor::Fill()
{
    rows_.clear();
    if (mode_ == Mode::Titles)
        FillTitles();
    else if (Dvd())
        FillDvdRows();
    else if (FileOpen())
        FillFileRows();
}

void TBookmarkEditor::FillFileRows()
{
    if (mode_ == Mode::Bookmarks) {
        const IBookmarkMenu& menu = host_.FileBookmarkMenu();
        for (int i = kFirstEntry; i < menu.Count(); ++i) {
            const QString time = bookmarks::TimeText(menu.ItemTag(i));
            // A bookmark the player made is captioned with its time: it has no note.
            const QString caption = menu.Caption(i);
            rows_.push_back({QString::number(i - kFirstEntry + 1), time, caption == time ? QString() : caption, {}});
        }
        return;
    }
    const IBookmarkMenu& menu = host_.SectionMenu();
    for (int i = kFirstEntry; i + 1 < menu.Count(); i += 2) {
        const QString span = bookmarks::TimeText(menu.ItemTag(i)) + QLatin1Char('-') +
                             bookmarks::TimeText(menu.ItemTag(i + 1));
        rows_.push_back({QString::number((i - kFirstEntry) / 2 + 1), span, menu.Caption(i), {}});
    }
}

void TBookmarkEditor::FillDvdRows()
{
    if (mode_ == Mode::Bookmarks) {
        const IBookmarkMenu& menu = host_.DvdBookmarkMenu();
        for (int i = kFirstEntry; i < menu.Count(); ++i) {
            Row row;
            if (!SplitDvdCaption(menu.Caption(i), &row.title, &row.position, &row.note)) continue;
            row.source = dvdfolder::FileNameFromCaption(menu.Caption(i));
            rows_.push_back(row);
        }
        return;
    }
    // The section menu holds the current title's lines of "Repeat.rsm", in file order.
    const IBookmarkMenu& menu = host_.SectionMenu();
    for (int i = kFirstEntry; i + 1 < menu.Count(); i += 2) {
        const QString span = bookmarks::TimeText(menu.ItemTag(i) * 100) + QLatin1Char('-') +
                             bookmarks::TimeText(menu.ItemTag(i + 1) * 100);
        rows_.push_back({QString::number((i - kFirstEntry) / 2 + 1), span, menu.Caption(i), {}});
    }
}

void TBookmarkEditor::FillTitles()
{
    QFile file(host_.BookmarkFilePath());
    if (file.size() > bookmarks::kMaxFileBytes || !file.open(QIODevice::ReadOnly)) return;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.startsWith('/')) continue;
        const QString header = QString::fromUtf8(line);
        rows_.push_back({header.section(QLatin1Char('/'), 1, 1), {}, {}, header});
    }
}

bool TBookmarkEditor::MakeBookmark()
{
    bool made = false;
    if (Dvd())
        made = host_.MakeDvdBookmark();
    else if (FileOpen())
        made = host_.AddBookmarkAtPosition();
    if (made && mode_ != Mode::Titles) Fill();
    return made;
}

void TBookmarkEditor::Play(int row)
{
    if (mode_ == Mode::Titles || row < 0 || row >= int(rows_.size())) return;
    if (mode_ == Mode::Bookmarks) {
        if (Dvd())
            host_.LoadResumePoint(rows_[row].source, false);
        else
            host_.BookmarkItemClick(row + kFirstEntry);
        return;
    }
    if (Dvd() && host_.SectionMenu().Count() <= kFirstEntry) host_.LoadDvdSections();
    host_.RepeatSectionClick(2 * row + kFirstEntry);
}

void TBookmarkEditor::SaveFileBlock()
{
    // The block goes only when neither kind is left in it.
    const bool empty = host_.FileBookmarkMenu().Count() <= kFirstEntry && host_.SectionMenu().Count() <= kFirstEntry;
    host_.SaveBookmarkList(empty);
}

void TBookmarkEditor::Delete(int row)
{
    if (row < 0 || row >= int(rows_.size())) return;
    if (mode_ == Mode::Titles) {
        bookmarks::CBookmarkFile(host_.BookmarkFilePath()).Remove(rows_[row].source.toUtf8());
        rows_.erase(rows_.begin() + row);
        return;
    }
    if (Dvd()) {
        if (mode_ == Mode::Bookmarks) {
            // The file the row's menu item stands for.
            if (!path_.isEmpty() && !rows_[row].source.isEmpty()) QFile::remove(path_ + rows_[row].source);
            IBookmarkMenu& menu = host_.DvdBookmarkMenu();
            if (row + kFirstEntry < menu.Count()) Rebuild(menu, row + kFirstEntry, 1);
        } else {
            IBookmarkMenu& menu = host_.SectionMenu();
            if (2 * row + kFirstEntry + 1 < menu.Count()) Rebuild(menu, 2 * row + kFirstEntry, 2);
            host_.SaveDvdSections(false);
            host_.LoadDvdSections();
        }
        Fill();
        return;
    }
    if (mode_ == Mode::Bookmarks) {
        IBookmarkMenu& menu = host_.FileBookmarkMenu();
        if (row + kFirstEntry >= menu.Count()) return;
        Rebuild(menu, row + kFirstEntry, 1);
    } else {
        IBookmarkMenu& menu = host_.SectionMenu();
        if (2 * row + kFirstEntry + 1 >= menu.Count()) return;
        Rebuild(menu, 2 * row + kFirstEntry, 2);
    }
    SaveFileBlock();
    Fill();
}

void TBookmarkEditor::DeleteAll()
{
    if (mode_ == Mode::Titles) {
        host_.FileBookmarkMenu().RemoveFrom(kFirstEntry);
        host_.SectionMenu().RemoveFrom(kFirstEntry);
        QFile::remove(host_.BookmarkFilePath());
    } else if (Dvd()) {
        if (path_.isEmpty()) return;
        if (mode_ == Mode::Bookmarks) {
            // Only the bookmark files: "Repeat.rsm" and the resume point stay.
            const QStringList files = QDir(path_).entryList({QStringLiteral("*.bmk")}, QDir::Files | QDir::Hidden);
            for (const QString& name : files) QFile::remove(path_ + name);
            host_.DvdBookmarkMenu().RemoveFrom(kFirstEntry);
        } else {
            QFile::remove(path_ + QLatin1String(dvdfolder::kRepeatFileName));
            host_.SectionMenu().RemoveFrom(kFirstEntry);
        }
    } else {
        (mode_ == Mode::Bookmarks ? host_.FileBookmarkMenu() : host_.SectionMenu()).RemoveFrom(kFirstEntry);
        SaveFileBlock();
    }
    rows_.clear();
}

TBookmarkEditor::NoteAnswer TBookmarkEditor::SetNote(int row, const QString& text)
{
    if (!CanEditNotes() || row < 0 || row >= int(rows_.size())) return NoteAnswer::Failed;
    QString note = CutNote(text);
    if (Dvd()) {
        // The note becomes part of a file name.
        if (note.contains(QLatin1Char('/'))) return NoteAnswer::SlashRefused;
        const Row& r = rows_[row];
        const QString caption = r.title + QLatin1Char(' ') + r.position + QLatin1Char(' ') + note;
        const QString name = dvdfolder::FileNameFromCaption(caption);
        if (name.isEmpty() || path_.isEmpty()) return NoteAnswer::Failed;
        if (name == r.source) return NoteAnswer::Unchanged;
        if (QFile::exists(path_ + name)) return NoteAnswer::NameTaken;
        if (!QFile::rename(path_ + r.source, path_ + name)) return NoteAnswer::Failed;
        IBookmarkMenu& menu = host_.DvdBookmarkMenu();
        if (row + kFirstEntry < menu.Count()) Rebuild(menu, row + kFirstEntry, 0, &caption);
        Fill();
        return NoteAnswer::Changed;
    }
    // A note never reads as a header or a section line.
    while (note.startsWith(QLatin1Char('/')) || note.startsWith(QLatin1Char('<'))) note.remove(0, 1);
    IBookmarkMenu& menu = host_.FileBookmarkMenu();
    const int index = row + kFirstEntry;
    if (index >= menu.Count()) return NoteAnswer::Failed;
    // An empty note gives the bookmark back its time as caption.
    const QString caption = note.isEmpty() ? bookmarks::TimeText(menu.ItemTag(index)) : note;
    if (caption == menu.Caption(index)) return NoteAnswer::Unchanged;
    Rebuild(menu, index, 0, &caption);
    host_.SaveBookmarkList(false);
    Fill();
    return NoteAnswer::Changed;
}

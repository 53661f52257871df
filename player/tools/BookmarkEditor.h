// The bookmark editor's rows and edits without its widgets: the bookmarks
// or repeat sections of the open file (the main window's menus, which
// mirror its block of "Bookmarks.bmk") or of the open DVD (the bookmark
// files and "Repeat.rsm" of the disc's folder), or the files that have a
// block in "Bookmarks.bmk". Every edit goes through the main window's menus
// and its saving, or through the bookmark store. Main thread.
#pragma once

#include <QString>

#include <vector>

class IToolHost;

class TBookmarkEditor {
public:
    enum class Mode { Bookmarks, Sections, Titles };
    struct Row {
        QString title;      // "タイトル": a running number, a DVD title, a file name
        QString position;   // "ポジション"
        QString note;       // "備考"
        QString source;     // the header line or the bookmark file name it came from
    };
    enum class NoteAnswer { Changed, Unchanged, SlashRefused, NameTaken, Failed };
    // Notes are kept to this many UTF-8 bytes.
    static constexpr int kNoteBytes = 30;

    explicit TBookmarkEditor(IToolHost& host);

    Mode mode() const { return mode_; }
    void SetMode(Mode mode) { mode_ = mode; }
    // The store file without a DVD, the disc's folder with one; empty when
    // a DVD's folder is unknown.
    const QString& BookmarkPath() const { return path_; }
    void UpdateBookmarkPath();
    const std::vector<Row>& rows() const { return rows_; }
    // Fills the rows for the mode.
    void Fill();

    // A bookmark at the playing position; false when none was made.
    bool MakeBookmark();
    // Plays the row (not in the title list).
    void Play(int row);
    // Removes the row with what it stands for.
    void Delete(int row);
    // Removes every row of the mode: the whole store in the title list.
    void DeleteAll();
    // The row's bookmark takes `note` (cut to kNoteBytes).
    NoteAnswer SetNote(int row, const QString& note);
    bool CanEditNotes() const { return mode_ == Mode::Bookmarks; }

    // `note` cut to `bytes` UTF-8 bytes at a character boundary.
    static QString CutNote(const QString& note, int bytes = kNoteBytes);

private:
    bool Dvd() const;
    bool FileOpen() const;
    void FillFileRows();
    void FillDvdRows();
    void FillTitles();
    void SaveFileBlock();

    IToolHost& host_;
    Mode mode_ = Mode::Bookmarks;
    QString path_;
    std::vector<Row> rows_;
};

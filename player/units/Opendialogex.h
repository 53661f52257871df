// The extended open dialog: Qt's own file dialog (not the desktop's, so it
// behaves the same everywhere) with two check boxes below the file list:
// "folder" (add the other media files of the chosen file's folder; the media
// library re-captions it to register the folder) and "append" (add to the
// play list instead of replacing it).
//
// Filters come in the component library's form "name|patterns|name|..."
// with patterns joined by ";" and are shown by name only. Extensions match
// without regard to case, so "*.mp3" also offers "SONG.MP3".
//
// Tests answer the dialog in-process through SetAnswerer instead of showing it.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

class TOpenDialogEx {
public:
    // What the dialog would show; handed to the answerer.
    struct Request {
        QString title;
        QStringList nameFilters;   // converted, in order
        int filterIndex = 1;       // 1-based
        QString initialDir;        // as set (may name no folder)
        bool multiSelect = true;
        QString folderCaption;
        bool folderChecked = false;
        bool folderVisible = true;
        QString appendCaption;
        bool appendChecked = false;
        bool appendVisible = true;
    };
    struct Answer {
        bool accepted = false;
        QStringList files;
        bool folderChecked = false;
        bool appendChecked = false;
    };
    using Answerer = std::function<Answer(const Request&)>;
    // While an answerer is set, Execute shows nothing and takes its answer.
    static void SetAnswerer(Answerer answerer);

    explicit TOpenDialogEx(QWidget* owner);

    void SetTitle(const QString& title) { request_.title = title; }
    // "name|patterns|name|patterns..."; a trailing name without patterns and
    // pairs without any usable pattern are left out.
    void SetFilter(const QString& filter);
    void SetFilterIndex(int index) { request_.filterIndex = index; }
    // Used only when it names an existing folder; else the home folder.
    void SetInitialDir(const QString& folder) { request_.initialDir = folder; }
    void SetMultiSelect(bool on) { request_.multiSelect = on; }
    void SetFolderCaption(const QString& caption) { request_.folderCaption = caption; }
    void SetFolderChecked(bool on) { request_.folderChecked = on; }
    void SetFolderVisible(bool on) { request_.folderVisible = on; }
    void SetAppendCaption(const QString& caption) { request_.appendCaption = caption; }
    void SetAppendChecked(bool on) { request_.appendChecked = on; }
    void SetAppendVisible(bool on) { request_.appendVisible = on; }

    // Runs the dialog modally; true when the user chose at least one file.
    // Cancel leaves the previous choice and check states.
    bool Execute();

    // Absolute paths of the chosen files, in the order the dialog gives them.
    QStringList Files() const { return files_; }
    QString FileName() const { return files_.isEmpty() ? QString() : files_.first(); }
    bool FolderChecked() const { return request_.folderChecked; }
    bool AppendChecked() const { return request_.appendChecked; }
    // Index of the filter last chosen, counted from 1.
    int FilterIndex() const { return request_.filterIndex; }

    // The filter text converted to Qt name filters ("name (patterns)").
    static QStringList ToNameFilters(const QString& filter);
    // One pattern made case-blind for the file dialog: "*.Mp3" -> "*.[mM][pP]3";
    // "*.*" means every file and becomes "*". Empty when the pattern holds
    // characters a name filter cannot carry.
    static QString CaseBlindPattern(const QString& pattern);

private:
    QWidget* owner_;
    Request request_;
    QStringList files_;
};

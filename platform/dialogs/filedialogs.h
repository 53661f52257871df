// The open, save and folder dialogs and the font dialog, Qt's own (never
// the desktop's), so they look and behave alike everywhere and the caller
// may place them. Tests answer them in-process through the answerer hooks.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace dialogs {

struct FileDialogCall {
    enum Kind { Open, OpenMany, Save, Folder };
    Kind kind = Open;
    QString title;
    // "Name|*.a;*.b|Name|*.c" as the filters of the common dialogs are written.
    QString filter;
    int filterIndex = 1;          // 1-based
    QString defaultExtension;     // without "."; added to a name typed without one
    QString directory;
    QString fileName;
    bool overwritePrompt = false;
    // The shown dialog, just before it runs: the caller places it (without
    // it the dialog stands over its owner's middle, inside the work area).
    std::function<void(QWidget* dialog)> onShow;
    // Another type was chosen (1-based): the default extension it brings.
    std::function<QString(int filterIndex)> onTypeChange;
};

struct FileDialogResult {
    bool accepted = false;
    QStringList paths;
    int filterIndex = 1;
};

// Runs the dialog modally over `owner`.
FileDialogResult RunFileDialog(QWidget* owner, const FileDialogCall& call);

using FileDialogAnswerer = std::function<FileDialogResult(const FileDialogCall&)>;
void SetFileDialogAnswerer(FileDialogAnswerer answerer);

// The font dialog; `apply`, when given, is called as the user tries a font.
// False when cancelled.
bool ChooseFont(QWidget* owner, QFont* font, const std::function<void(const QFont&)>& apply = {});
using FontDialogAnswerer = std::function<bool(QFont* font)>;
void SetFontDialogAnswerer(FontDialogAnswerer answerer);

}  // namespace dialogs

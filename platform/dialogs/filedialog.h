// The common open and save dialogs: Qt's own file dialog (not the
// desktop's), centred over its owner and kept inside the work area of the
// owner's monitor. Tests answer it in-process through the answerer hook.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace dialogs {

struct FileDialogCall {
    bool save = false;
    QString title;
    // The component library's form: "name|patterns|name|patterns...",
    // patterns joined by ";".
    QString filter;
    QString defaultExtension;   // without the dot; added to a name without one
    QString initialDir;
};

// The chosen file's absolute path; empty when the user cancelled.
QString GetFileName(QWidget* owner, const FileDialogCall& call);

// While an answerer is set, no dialog is shown: its path is taken.
using FileDialogAnswerer = std::function<QString(const FileDialogCall&)>;
void SetFileDialogAnswerer(FileDialogAnswerer answerer);

}  // namespace dialogs

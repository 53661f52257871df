// The folder chooser, Qt's own like the message boxes (the input box is
// InputQuery of dialogs.h). Tests answer it in-process through the hook.
#pragma once

#include "platform/dialogs/dialogs.h"

#include <QPoint>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

// A folder chooser with `caption` and the text `prompt` above its tree,
// standing at `topLeft`. The chosen folder's absolute path, empty when cancelled.
QString SelectFolder(QWidget* owner, const QString& caption, const QString& prompt, const QPoint& topLeft);

namespace dialogs {

struct FolderCall {
    QString caption;
    QString prompt;
    QPoint topLeft;
};
// The chosen folder, empty for cancel.
using FolderAnswerer = std::function<QString(const FolderCall&)>;
void SetFolderAnswerer(FolderAnswerer answerer);

}  // namespace dialogs

// The input box and the folder chooser, Qt's own like the message boxes.
// Tests answer them in-process through the answerer hooks.
#pragma once

#include <QPoint>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

// An input box with `caption` and `prompt`, holding `*value` at first. True
// on OK, with the text in `*value`; false on cancel, `*value` unchanged.
bool InputQuery(QWidget* owner, const QString& caption, const QString& prompt, QString* value);

// A folder chooser with `caption` and the text `prompt` above its tree,
// standing at `topLeft`. The chosen folder's absolute path, empty when cancelled.
QString SelectFolder(QWidget* owner, const QString& caption, const QString& prompt, const QPoint& topLeft);

namespace dialogs {

struct InputCall {
    QString caption;
    QString prompt;
    QString value;   // what the box holds when it opens
};
// The answer: the text on OK, nothing on cancel.
using InputAnswerer = std::function<std::optional<QString>(const InputCall&)>;
void SetInputAnswerer(InputAnswerer answerer);

struct FolderCall {
    QString caption;
    QString prompt;
    QPoint topLeft;
};
// The chosen folder, empty for cancel.
using FolderAnswerer = std::function<QString(const FolderCall&)>;
void SetFolderAnswerer(FolderAnswerer answerer);

}  // namespace dialogs

// Message boxes and the common file, folder and input dialogs, all Qt's own
// (not the desktop's) so they behave alike everywhere. Tests answer them
// in-process through the answerer hooks instead of showing them.
#pragma once

#include "platform/wintypes.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

// Buttons and icons of a message box.
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr UINT MB_TOPMOST = 0x00040000;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows a modal message box with `caption` and `text`; returns the button.
int MessageBox(QWidget* owner, const QString& text, const QString& caption, UINT flags);

// A one-line input box: `*value` fills the line and receives what the user
// typed when OK is pressed. False on Cancel (`*value` unchanged).
bool InputQuery(QWidget* owner, const QString& caption, const QString& prompt, QString* value);

namespace dialogs {

// The end of the session: from then on every message box answers as closed
// without a button (Cancel, or No and OK where there is no Cancel) without
// showing, so that nothing waits for a user who has gone.
void SetSessionEnding(bool ending);
bool SessionEnding();
// Closes every dialog shown (message boxes, input and file dialogs, forms
// run with exec()) as Cancel; how many there were.
int CancelOpenDialogs();

struct MessageBoxCall {
    QString text;
    QString caption;
    UINT flags = 0;
};

// While an answerer is set, no box is shown: the answerer's result is taken.
using MessageBoxAnswerer = std::function<int(const MessageBoxCall&)>;
void SetMessageBoxAnswerer(MessageBoxAnswerer answerer);

struct InputQueryCall {
    QString caption;
    QString prompt;
    QString value;   // the pre-filled text
};
// While set, no input box shows: the answerer's text is taken, or Cancel
// when it gives none.
using InputQueryAnswerer = std::function<std::optional<QString>(const InputQueryCall&)>;
void SetInputQueryAnswerer(InputQueryAnswerer answerer);

}  // namespace dialogs

// What the library's dialogs share. Each dialog is a QDialog with its own
// .ui file whose geometry is written in dialog units (4 per average character
// width across, 8 per character height down, of the dialog font), so the
// layouts keep their proportions with whatever CJK font the desktop has.
// Every control's objectName is "c" and its control id.
//
// The dialogs run inside the caller's QApplication, on its thread, and an
// export leaves nothing behind: the player unloads the library after each
// call, so a widget, timer or posted deletion outliving the export would run
// code that is no longer mapped. For the same reason the library hands Qt
// no QStringLiteral: its text stays in the library's pages, and Qt's caches
// (the font cache keeps the families it was asked for) outlive the library.
// QString::fromUtf8 copies to the heap.
#pragma once

#include <QFont>
#include <QString>

class QDialog;
class QLineEdit;
class QWidget;

namespace zodlg {

// The dialog font: the desktop's CJK sans-serif font at 9 points.
QFont DialogFont();
// Sets the dialog font and turns the .ui's dialog units into pixels: the
// dialog's own size (fixed from then on) and the geometry of every child
// widget that has no layout to place it.
void ApplyDialogUnits(QDialog* dialog);
// The owner of the exports' dialogs: the caller's active window, or null.
QWidget* CallerWindow();
// Whether the calling thread can show widgets (a QApplication runs there).
bool CanShowDialogs();
// The child control with that id ("c" + id), or null.
template <class T>
T* Control(QWidget* dialog, int id);
QString ControlName(int id);

// Put first into an export's body: when it goes, the deletions the dialog
// posted are carried out, before the export returns.
class ExportScope {
public:
    ExportScope() = default;
    ~ExportScope();
    ExportScope(const ExportScope&) = delete;
    ExportScope& operator=(const ExportScope&) = delete;
};

}  // namespace zodlg

#include <QWidget>

template <class T>
T* zodlg::Control(QWidget* dialog, int id)
{
    return dialog->findChild<T*>(ControlName(id));
}

#include "platform/registry/registry.h"

#include <string>

namespace zodlg {
// A REG_BINARY value of at most maxBytes bytes, up to its first zero byte.
// False (bytes empty) when it is missing, of another type or longer: such a
// value counts as none, and is never copied into a fixed buffer.
bool ReadBinaryText(HKEY key, const char* name, std::size_t maxBytes, std::string* bytes);
// Writes the bytes as REG_BINARY; an empty text is stored as one zero byte.
bool WriteBinaryText(HKEY key, const char* name, const std::string& bytes);
// Keeps a password edit within maxBytes of UTF-8, cut at a character
// boundary, so every password stored can be read back whole.
void LimitUtf8Bytes(QLineEdit* edit, int maxBytes);
}  // namespace zodlg

// Shared by the tests of the library's dialogs, which run in-process
// (offscreen) and are driven through their controls' object names.
#pragma once

#include "platform/dialogs/dialogs.h"
#include "platform/registry/registry.h"

#include <QAbstractButton>
#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

// Runs act on the modal dialog named `name` once it shows. act may open a
// nested dialog (a click that blocks); arm the nested dialog's WhenShown first.
void WhenShown(const QString& name, std::function<void(QWidget*)> act);
// Drops the waits whose dialog never showed (call before their captures go).
void CancelWaits();

template <class T>
T* Find(QWidget* dialog, int id)
{
    return dialog->findChild<T*>(QStringLiteral("c%1").arg(id));
}
void Click(QWidget* dialog, int id);

// Records the message boxes and answers them with `answer`.
class MessageBoxes {
public:
    explicit MessageBoxes(int answer = IDOK);
    ~MessageBoxes();
    std::vector<dialogs::MessageBoxCall> calls;
    int answer;
};

// Values of the temporary registry.
void SetDword(HKEY root, const char* key, const char* name, DWORD value);
void SetText(HKEY root, const char* key, const char* name, const std::string& text);
void SetBinary(HKEY root, const char* key, const char* name, const std::string& bytes);
// The value's type and bytes; type REG_NONE when the value or key is missing.
struct StoredValue {
    DWORD type = REG_NONE;
    std::string bytes;
    DWORD Dword() const;
};
StoredValue Stored(HKEY root, const char* key, const char* name);
bool KeyExists(HKEY root, const char* key);

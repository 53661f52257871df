#include "dialog_test_util.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>

namespace {
std::vector<QPointer<QTimer>>& Waits()
{
    static std::vector<QPointer<QTimer>> waits;
    return waits;
}
}  // namespace

void CancelWaits()
{
    for (const QPointer<QTimer>& timer : Waits()) delete timer.data();
    Waits().clear();
}

void WhenShown(const QString& name, std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    Waits().push_back(timer);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, name, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal->objectName() != name) return;
        timer->stop();
        timer->deleteLater();
        act(modal);
    });
    timer->start();
}

void Click(QWidget* dialog, int id)
{
    auto* button = Find<QAbstractButton>(dialog, id);
    ASSERT_TRUE(button) << id;
    button->click();
}

MessageBoxes::MessageBoxes(int answer) : answer(answer)
{
    dialogs::SetMessageBoxAnswerer([this](const dialogs::MessageBoxCall& call) {
        calls.push_back(call);
        return this->answer;
    });
}

MessageBoxes::~MessageBoxes() { dialogs::SetMessageBoxAnswerer(nullptr); }

namespace {
void SetValue(HKEY root, const char* key, const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY open = nullptr;
    ASSERT_EQ(RegCreateKeyEx(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &open, nullptr), ERROR_SUCCESS);
    RegSetValueEx(open, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(open);
}
}  // namespace

void SetDword(HKEY root, const char* key, const char* name, DWORD value)
{
    SetValue(root, key, name, REG_DWORD, &value, sizeof value);
}

void SetText(HKEY root, const char* key, const char* name, const std::string& text)
{
    SetValue(root, key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void SetBinary(HKEY root, const char* key, const char* name, const std::string& bytes)
{
    SetValue(root, key, name, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
}

DWORD StoredValue::Dword() const
{
    DWORD value = 0xFFFFFFFF;
    if (type == REG_DWORD && bytes.size() == 4) std::memcpy(&value, bytes.data(), 4);
    return value;
}

StoredValue Stored(HKEY root, const char* key, const char* name)
{
    StoredValue value;
    HKEY open = nullptr;
    if (RegOpenKeyEx(root, key, 0, KEY_READ, &open) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    DWORD type = 0;
    if (RegQueryValueEx(open, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        value.bytes.resize(size);
        RegQueryValueEx(open, name, nullptr, &type, reinterpret_cast<BYTE*>(value.bytes.data()), &size);
        value.type = type;
    }
    RegCloseKey(open);
    return value;
}

bool KeyExists(HKEY root, const char* key)
{
    HKEY open = nullptr;
    if (RegOpenKeyEx(root, key, 0, KEY_READ, &open) != ERROR_SUCCESS) return false;
    RegCloseKey(open);
    return true;
}

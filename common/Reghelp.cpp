#include "common/Reghelp.h"

#include <QByteArray>

#include <cstring>
#include <vector>

LONG RegReadString(HKEY key, const char* name, QString* text, DWORD bufferSize)
{
    if (!text) return ERROR_INVALID_PARAMETER;
    text->clear();
    // Ask for the size first, so the buffer is never larger than the value.
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG status = RegQueryValueEx(key, name, nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS) return status;
    if (size > bufferSize) return ERROR_MORE_DATA;
    std::vector<char> buffer(size ? size : 1);
    status = RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (status != ERROR_SUCCESS || type != REG_SZ) return status;
    const void* zero = size ? std::memchr(buffer.data(), 0, size) : nullptr;
    const auto length = zero ? static_cast<const char*>(zero) - buffer.data() : static_cast<std::ptrdiff_t>(size);
    *text = QString::fromUtf8(buffer.data(), length);
    return status;
}

bool RegWriteString(HKEY key, const char* name, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.constData()),
                         static_cast<DWORD>(bytes.size() + 1)) == ERROR_SUCCESS;
}

DWORD RegReadDword(HKEY key, const char* name, DWORD def)
{
    BYTE data[4];
    DWORD type = REG_NONE;
    DWORD size = sizeof data;
    if (RegQueryValueEx(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS || type != REG_DWORD ||
        size != sizeof data)
        return def;
    return static_cast<DWORD>(data[0]) | static_cast<DWORD>(data[1]) << 8 | static_cast<DWORD>(data[2]) << 16 |
           static_cast<DWORD>(data[3]) << 24;
}

bool RegReadBool(HKEY key, const char* name, bool def) { return RegReadDword(key, name, def ? 1 : 0) != 0; }

bool RegWriteDword(HKEY key, const char* name, DWORD value)
{
    const BYTE data[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                          static_cast<BYTE>(value >> 24)};
    return RegSetValueEx(key, name, 0, REG_DWORD, data, sizeof data) == ERROR_SUCCESS;
}

bool RegWriteBool(HKEY key, const char* name, bool value) { return RegWriteDword(key, name, value ? 1 : 0); }

LONG RegReadBinary16(HKEY key, const char* name, BYTE out[16], const BYTE def[16])
{
    BYTE data[16];
    DWORD type = REG_NONE;
    DWORD size = sizeof data;
    const LONG status = RegQueryValueEx(key, name, nullptr, &type, data, &size);
    if (status == ERROR_SUCCESS && type == REG_BINARY && size == sizeof data) {
        std::memcpy(out, data, sizeof data);
    } else if (def) {
        std::memcpy(out, def, sizeof data);
    } else {
        std::memset(out, 0, sizeof data);
    }
    return status;
}

HRESULT RegWriteBinary16(HKEY key, const char* name, const BYTE data[16])
{
    if (!data) return E_FAIL;
    return RegSetValueEx(key, name, 0, REG_BINARY, data, 16) == ERROR_SUCCESS ? S_OK : E_FAIL;
}

RegKey RegKey::Open(HKEY parent, const char* subKey, REGSAM access, LONG* status)
{
    HKEY key = nullptr;
    const LONG result = RegOpenKeyEx(parent, subKey, 0, access, &key);
    if (status) *status = result;
    return RegKey(result == ERROR_SUCCESS ? key : nullptr);
}

RegKey RegKey::Create(HKEY parent, const char* subKey, REGSAM access, LONG* status)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LONG result =
        RegCreateKeyEx(parent, subKey, 0, "", REG_OPTION_NON_VOLATILE, access, nullptr, &key, &disposition);
    if (status) *status = result;
    return RegKey(result == ERROR_SUCCESS ? key : nullptr);
}

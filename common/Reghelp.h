// Typed reads and writes of single values on an open registry key, the
// keys of the player's settings branch, and RegKey, the owner of an open key.
// None of the value functions opens or closes a key.
#pragma once

#include "platform/registry/registry.h"

#include <QString>

#include <utility>

// The settings branch under HKEY_CURRENT_USER and its sub-keys.
inline constexpr char kBruvoKey[] = "Software\\Bruvo";
inline constexpr char kZoravelKey[] = "Software\\Bruvo\\ZoDVD";
inline constexpr char kMainKey[] = "Software\\Bruvo\\ZoDVD\\Main";
inline constexpr char kColorKey[] = "Software\\Bruvo\\ZoDVD\\Color";
inline constexpr char kColorOverlayKey[] = "Software\\Bruvo\\ZoDVD\\Color\\Overlay";
inline constexpr char kColorVmr9Key[] = "Software\\Bruvo\\ZoDVD\\Color\\VMR9";
inline constexpr char kShortcutKeyKey[] = "Software\\Bruvo\\ZoDVD\\ShortcutKey";
inline constexpr char kFiltersKey[] = "Software\\Bruvo\\ZoDVD\\Filters";
inline constexpr char kCaptureKey[] = "Software\\Bruvo\\ZoDVD\\Capture";
inline constexpr char kListEditerKey[] = "Software\\Bruvo\\ZoDVD\\ListEditer";
inline constexpr char kBrowserKey[] = "Software\\Bruvo\\ZoDVD\\Browser";
inline constexpr char kBookmarkKey[] = "Software\\Bruvo\\ZoDVD\\Bookmark";
inline constexpr char kCddbKey[] = "Software\\Bruvo\\ZoDVD\\CDDB";

// Reads a REG_SZ of at most bufferSize bytes (terminating zero included).
// The text is empty when the read fails (missing value, larger than the
// buffer) or the value is not REG_SZ; a value stored without its zero reads
// as its bytes up to the end of the data. Returns the registry status.
LONG RegReadString(HKEY key, const char* name, QString* text, DWORD bufferSize);
// Writes text as REG_SZ (UTF-8 and a terminating zero); true on success.
bool RegWriteString(HKEY key, const char* name, const QString& text);

// A REG_DWORD of 4 bytes; def when missing, of another type or size.
DWORD RegReadDword(HKEY key, const char* name, DWORD def);
// As RegReadDword, true when non-zero.
bool RegReadBool(HKEY key, const char* name, bool def);
bool RegWriteDword(HKEY key, const char* name, DWORD value);
// Stored as the REG_DWORD 0 or 1.
bool RegWriteBool(HKEY key, const char* name, bool value);

// Reads a 16-byte REG_BINARY (a class identifier) into out. When the read
// fails, the value is not REG_BINARY or holds fewer than 16 bytes, out
// receives def (zeros when def is null). Returns the registry status.
LONG RegReadBinary16(HKEY key, const char* name, BYTE out[16], const BYTE def[16]);
// Writes 16 bytes as REG_BINARY: S_OK, or E_FAIL when the write fails.
HRESULT RegWriteBinary16(HKEY key, const char* name, const BYTE data[16]);

// An open registry key, closed (RegCloseKey) when its holder goes: no return
// path can leave a key open. Move-only; main thread, like the registry calls.
class RegKey {
public:
    RegKey() = default;
    // Takes over `key` (null: holds nothing).
    explicit RegKey(HKEY key) : key_(key) {}
    ~RegKey() { Close(); }
    RegKey(RegKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegKey& operator=(RegKey&& other) noexcept
    {
        if (this != &other) {
            Close();
            key_ = std::exchange(other.key_, nullptr);
        }
        return *this;
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // RegOpenKeyEx: an empty holder when the key does not open; *status
    // (when given) receives the registry status.
    static RegKey Open(HKEY parent, const char* subKey, REGSAM access, LONG* status = nullptr);
    // RegCreateKeyEx (non-volatile, no class): opens the key or creates it.
    static RegKey Create(HKEY parent, const char* subKey, REGSAM access, LONG* status = nullptr);

    HKEY get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    void Close()
    {
        if (key_) RegCloseKey(std::exchange(key_, nullptr));
    }

private:
    HKEY key_ = nullptr;
};

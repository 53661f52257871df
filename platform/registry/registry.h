// The per-user settings store: keys holding typed, named values, kept in one
// UTF-8 text file in the registry export format. Names of keys and values are
// compared without regard to case and stored as first written. Every change
// is made under an exclusive lock on the file, after re-reading it when another
// process changed it, and written to a temporary file that is renamed over the
// old one, so two processes can write at once and a crash never leaves half a
// file. A file at the path that is not a registry file is never written
// over: it is moved aside and the registry starts empty (see CheckStore).
// Lines of the file the reader does not understand are written back as they
// stood.
//
// The file is $XDG_CONFIG_HOME/Zoravel/registry.reg (~/.config when unset), or
// the path in ZORAVEL_REGISTRY.
#pragma once

#include "platform/wintypes.h"

#include <string>

struct RegKeyHandle;
using HKEY = RegKeyHandle*;

// Predefined roots. All three are per-user in our store.
extern const HKEY HKEY_CLASSES_ROOT;
extern const HKEY HKEY_CURRENT_USER;
extern const HKEY HKEY_LOCAL_MACHINE;

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights. Reading and writing are not enforced separately; the rights
// are kept so callers read as they would on any registry.
using REGSAM = DWORD;
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Options of RegCreateKeyEx (every key is kept in the file).
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;

// Dispositions of RegCreateKeyEx.
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Key paths use "\" between names, as the stored file does. Value and key
// names are UTF-8. A null or empty value name is the key's default value.

// Opens an existing key; ERROR_FILE_NOT_FOUND when it does not exist.
LONG RegOpenKeyEx(HKEY parent, const char* subKey, DWORD options, REGSAM access, HKEY* result);
// Opens the key, creating it and any missing parents.
LONG RegCreateKeyEx(HKEY parent, const char* subKey, DWORD reserved, const char* className,
                    DWORD options, REGSAM access, void* security, HKEY* result, DWORD* disposition);
LONG RegCloseKey(HKEY key);

// Win32 semantics: with data null, *size receives the size in bytes; with a
// buffer too small, ERROR_MORE_DATA and *size the size needed. REG_SZ values
// are stored with their terminating zero.
LONG RegQueryValueEx(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LONG RegSetValueEx(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegDeleteValue(HKEY key, const char* name);
// Deletes the sub-key with everything below it.
LONG RegDeleteKey(HKEY parent, const char* subKey);

// Enumeration by index, in stored order. *nameSize is in bytes, including
// the terminating zero on input, excluding it on output. lastWriteTime is
// left untouched (the file keeps no times).
LONG RegEnumKeyEx(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, char* className,
                  DWORD* classSize, void* lastWriteTime);
LONG RegEnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, DWORD* type,
                  BYTE* data, DWORD* dataSize);
LONG RegQueryInfoKey(HKEY key, DWORD* subKeys, DWORD* values);

namespace registry {
// The file in use (after ZORAVEL_REGISTRY and XDG_CONFIG_HOME are applied).
std::string StorePath();
// Points the store at another file (tests); an empty path returns to the default.
void SetStorePath(const std::string& path);

// A problem with the store's file, to be told to the user once.
struct StoreProblem {
    enum Kind {
        kNone,
        kMovedAside,    // the file was not a registry file: moved to movedTo, the registry starts empty
        kCannotRead,    // the file cannot be read (a folder at its place, no permission, too large)
        kCannotWrite,   // changes cannot be saved (no permission, a read-only file, a full disk)
    };
    Kind kind = kNone;
    std::string path;      // the store
    std::string movedTo;   // with kMovedAside
    // The text for the user (Japanese, UTF-8), naming the file; empty with kNone.
    std::string Message() const;
};

// Run once at start-up: removes the temporaries that killed writers left
// beside the store, reads the store (moving a file that is not ours aside)
// and checks that changes can be saved (the file and its folder writable,
// room on the disk). Returns the first problem met with the current file,
// once: later calls for the same file return kNone. The registry goes on either way:
// on an empty tree when the file cannot be read, without saving when it
// cannot be written.
StoreProblem CheckStore();

// Groups the changes made while it lives (in this process) into one write of
// the file: the exclusive lock is taken at the first change and held until
// the outermost batch ends, so keep a batch short (a run of value writes).
// Reads in between see the pending changes.
class WriteBatch {
public:
    WriteBatch();
    ~WriteBatch();   // commits when Commit was not called
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;
    // Writes the pending changes (for the outermost batch); the status of
    // that write. Later changes go straight to the file.
    LONG Commit();

private:
    bool open_ = true;
};
}  // namespace registry

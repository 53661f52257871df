// The player's binding of the library zodlg: each use loads libzodlg.so from
// the program folder, finds the exports it needs by name and unloads the
// library when the use ends. A missing library or export is no error: the
// caller decides what it means. Main thread, except that a library whose
// path was read on the main thread may be loaded and used on another.
#pragma once

#include "zodlg/zodlg.h"

#include <QString>

class TZodlgLibrary {
public:
    // Loads the library (RTLD_NOW | RTLD_LOCAL); IsLoaded tells whether it came.
    TZodlgLibrary() : TZodlgLibrary(Path()) {}
    // Loads the library at `path` (Path() read before, on the main thread).
    explicit TZodlgLibrary(const QString& path);
    ~TZodlgLibrary();
    TZodlgLibrary(const TZodlgLibrary&) = delete;
    TZodlgLibrary& operator=(const TZodlgLibrary&) = delete;

    bool IsLoaded() const { return handle_ != nullptr; }
    // The export of that name, null when the library or the export is missing.
    template <typename Proc>
    Proc Find(const char* name) const
    {
        return reinterpret_cast<Proc>(Symbol(name));
    }

    // The file loaded: the program folder's libzodlg.so, or what a test set.
    static QString Path();
    // Tests load their own library; an empty path restores the real one.
    static void SetPathForTest(const QString& path);

private:
    void* Symbol(const char* name) const;
    void* handle_ = nullptr;
};

// Loading zodlg by name.
#include "Zodlg.h"

#include "platform/paths/paths.h"

#include <QFile>

#include <dlfcn.h>

namespace {
QString& TestPath()
{
    static QString path;
    return path;
}
}  // namespace

QString TZodlgLibrary::Path()
{
    if (!TestPath().isEmpty()) return TestPath();
    return GetProgramFolder() + QStringLiteral(ZODLG_LIBRARY_NAME);
}

void TZodlgLibrary::SetPathForTest(const QString& path) { TestPath() = path; }

TZodlgLibrary::TZodlgLibrary(const QString& path)
{
    // dlopen would search the library path for a name without a folder; the
    // library belongs beside the program only.
    if (!path.contains(QLatin1Char('/'))) return;
    handle_ = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
}

TZodlgLibrary::~TZodlgLibrary()
{
    if (handle_) dlclose(handle_);
}

void* TZodlgLibrary::Symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

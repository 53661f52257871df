// Shortcuts as the player resolves them: a link file of any content, or a
// symbolic link to any name (itself, a chain, a link file), resolves or
// not, and a target found is an absolute, clean path.
#include "fuzz_folder.h"
#include "platform/paths/paths.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace {

QString Folder() { return QString::fromLocal8Bit(FuzzFolder("fuzz_linkfile")); }

void Check(const QString& path)
{
    QString target;
    if (!ResolveShortcut(path, &target)) return;
    if (!target.startsWith(QLatin1Char('/')) || QDir::cleanPath(target) != target) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString file = Folder() + QStringLiteral("entry.desktop");
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    out.write(bytes);
    out.close();
    Check(file);

    // The first line as a symbolic link's target: relative names resolve
    // beside the link, and a link may name itself or the link file.
    const QByteArray first = bytes.left(bytes.indexOf('\n') < 0 ? 256 : bytes.indexOf('\n')).left(256);
    const QByteArray link = QFile::encodeName(Folder() + QStringLiteral("link"));
    unlink(link.constData());
    if (!first.isEmpty() && !first.contains('\0') && symlink(first.constData(), link.constData()) == 0)
        Check(QFile::decodeName(link));
    return 0;
}

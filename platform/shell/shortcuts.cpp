#include "platform/shell/shortcuts.h"

#include "platform/files/statefile.h"
#include "platform/shell/desktopmirror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <sys/stat.h>

namespace shell {

namespace {

QString ExecValue(const Launcher& launcher)
{
    QString exec = ExecProgram(launcher.program);
    if (!launcher.arguments.isEmpty()) exec += QLatin1Char(' ') + launcher.arguments;
    return exec;
}

// A text for a POSIX shell as one word, whatever it holds.
QString ShellWord(const QString& text)
{
    QString word = text;
    word.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + word + QLatin1Char('\'');
}

// Written whole and renamed, then made executable: the launchers and the
// script are started only with the bit, and a target that stood before
// keeps its own permissions through the writer.
bool WriteExecutable(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray name = QFile::encodeName(path);
    statefile::WriteOptions options;
    options.mode = 0777;
    struct stat written;
    if (statefile::WriteAtomically(name.toStdString(), content.toStdString(), options, &written) != 0) return false;
    // Whoever may read it may start it.
    const mode_t read = written.st_mode & (S_IRUSR | S_IRGRP | S_IROTH);
    return chmod(name.constData(), (written.st_mode & 07777) | S_IXUSR | (read >> 2)) == 0;
}

}  // namespace

QString DataHome()
{
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    return data.startsWith(QLatin1Char('/')) ? data : QDir::homePath() + QStringLiteral("/.local/share");
}

QString LauncherFolderPath(LauncherFolder folder)
{
    switch (folder) {
    case LauncherFolder::kDesktop: {
        const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        const QFileInfo info(desktop);
        if (desktop.isEmpty() || !info.isDir()) return QString();
        if (QDir(info.canonicalFilePath()) == QDir(QDir::homePath())) return QString();
        return QDir::cleanPath(desktop);
    }
    case LauncherFolder::kSendTo:
        return DataHome() + QStringLiteral("/nautilus/scripts");
    case LauncherFolder::kPrograms:
        return ApplicationsFolder();
    }
    return QString();
}

QString ServiceMenuFolder() { return DataHome() + QStringLiteral("/kio/servicemenus"); }

QByteArray LauncherEntry(const Launcher& launcher)
{
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\n");
    text += QStringLiteral("Name=") + KeyValue(launcher.name) + QLatin1Char('\n');
    if (!launcher.comment.isEmpty()) text += QStringLiteral("Comment=") + KeyValue(launcher.comment) + QLatin1Char('\n');
    text += QStringLiteral("Exec=") + ExecValue(launcher) + QLatin1Char('\n');
    if (!launcher.workingFolder.isEmpty())
        text += QStringLiteral("Path=") + KeyValue(launcher.workingFolder) + QLatin1Char('\n');
    if (!launcher.icon.isEmpty()) text += QStringLiteral("Icon=") + KeyValue(launcher.icon) + QLatin1Char('\n');
    if (!launcher.categories.isEmpty()) text += QStringLiteral("Categories=") + launcher.categories + QLatin1Char('\n');
    return text.toUtf8();
}

bool WriteLauncher(const QString& path, const Launcher& launcher) { return WriteExecutable(path, LauncherEntry(launcher)); }

void TrustLauncher(const QString& path)
{
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty()) return;
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(gio, {QStringLiteral("set"), path, QStringLiteral("metadata::trusted"), QStringLiteral("true")});
    // A desktop without the metadata service answers quickly with an error;
    // one that hangs must not hold the dialog.
    if (!process.waitForFinished(5000)) process.kill();
    process.waitForFinished(1000);
}

QByteArray SendToScript(const QString& program)
{
    // The selection arrives either as Nautilus's list of absolute paths, one
    // a line, or as names in the working folder. Each path becomes one
    // argument through "set --", so no name is ever read as shell code.
    QString text = QStringLiteral("#!/bin/sh\n# Plays the selected files and folders in Zoravel, in their order.\n");
    text += QStringLiteral("player=") + ShellWord(program) + QLatin1Char('\n');
    text += QStringLiteral(
        "if [ -n \"${NAUTILUS_SCRIPT_SELECTED_FILE_PATHS:-}\" ]; then\n"
        "    newline='\n'\n"
        "    rest=$NAUTILUS_SCRIPT_SELECTED_FILE_PATHS\n"
        "    set --\n"
        "    while [ -n \"$rest\" ]; do\n"
        "        line=${rest%%\"$newline\"*}\n"
        "        rest=${rest#\"$line\"}\n"
        "        rest=${rest#\"$newline\"}\n"
        "        if [ -n \"$line\" ]; then set -- \"$@\" \"$line\"; fi\n"
        "    done\n"
        "else\n"
        "    for name do\n"
        "        shift\n"
        "        case $name in\n"
        "            /*) set -- \"$@\" \"$name\" ;;\n"
        "            *) set -- \"$@\" \"${PWD%/}/$name\" ;;\n"
        "        esac\n"
        "    done\n"
        "fi\n"
        "exec \"$player\" \"$@\"\n");
    return text.toUtf8();
}

bool WriteSendToScript(const QString& path, const QString& program)
{
    return WriteExecutable(path, SendToScript(program));
}

QByteArray ServiceMenu(const Launcher& launcher)
{
    QString text = QStringLiteral("[Desktop Entry]\nType=Service\nX-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
                                  "MimeType=all/all;\nActions=PlayWithZoravel;\n\n"
                                  "[Desktop Action PlayWithZoravel]\n");
    text += QStringLiteral("Name=") + KeyValue(launcher.name) + QLatin1Char('\n');
    if (!launcher.icon.isEmpty()) text += QStringLiteral("Icon=") + KeyValue(launcher.icon) + QLatin1Char('\n');
    text += QStringLiteral("Exec=") + ExecValue(launcher) + QLatin1Char('\n');
    return text.toUtf8();
}

bool WriteServiceMenu(const QString& path, const Launcher& launcher)
{
    return WriteExecutable(path, ServiceMenu(launcher));
}

}  // namespace shell

// Program entry of the player: one window per user unless every start asks
// for its own. A second start with arguments hands them to the running window
// and ends.
#include "platform/dialogs/dialogs.h"
#include "platform/files/statefile.h"
#include "platform/instance/instance.h"
#include "platform/media/preload.h"
#include "platform/paths/paths.h"
#include "platform/registry/registry.h"
#include "player/ZoMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <exception>
#include <memory>

namespace {

// Arguments naming existing relative paths are made absolute, so that the
// running window (with a working folder of its own) finds them too.
QStringList ProgramArguments(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        QString arg = QString::fromLocal8Bit(argv[i]);
        if (!arg.isEmpty() && !arg.startsWith(QLatin1Char('/')) && !arg.contains(QLatin1String("://"))) {
            QFileInfo info(arg);
            if (info.exists()) arg = info.absoluteFilePath();
        }
        args << arg;
    }
    return args;
}

int HandOver(const QStringList& args)
{
    auto window = instance::WindowConnection::Find(QString::fromLatin1(kMainWindowClass));
    if (!window) return 0;
    const int count = static_cast<int>(args.size());
    for (int i = 0; i < count; ++i) {
        const std::intptr_t dwData = count == 1 ? -1 : (i < count - 1 ? i + 1 : 0);
        QByteArray bytes = args[i].toUtf8();
        bytes.append('\0');
        if (!window->SendCopyData(dwData, bytes)) break;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const QStringList args = ProgramArguments(argc, argv);
    bool existed = false;
    auto entryMutex = instance::NamedMutex::Create(QString::fromLatin1(kAppMutexName), &existed);
    if (existed && !args.isEmpty()) {
        QCoreApplication app(argc, argv);
        return HandOver(args);
    }

    CatchSessionEndSignals();
    // GStreamer loads on a thread of its own, beside the window's start and
    // the building of the first graph; the first graph waits for the
    // initialisation when it needs it. The plug-in registry is read at once
    // (tens of milliseconds when its cache must be checked again). The
    // plug-ins wait until the window is built: opening their libraries holds
    // the dynamic loader, which Qt needs for its own plug-ins while it starts
    // (started earlier, the decoders' libraries held the window up by some
    // 40 ms).
    media::Preloader preloader(args.isEmpty() ? QString() : args.first(), true);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zoravel"));
    // Leftovers of writers that were killed go; a settings file that cannot
    // be used is told once, and the program goes on with what it has.
    statefile::RemoveStaleTemporaries(QFile::encodeName(GetUserDataFolder()).toStdString(), {}, true);
    if (const registry::StoreProblem problem = registry::CheckStore(); problem.kind != registry::StoreProblem::kNone)
        MessageBox(nullptr, QString::fromStdString(problem.Message()), QStringLiteral("エラー"), MB_OK | MB_ICONERROR);
    try {
        // The window goes before the application object (its destruction
        // writes the settings and needs the widgets).
        auto window = std::make_unique<TZoMain>(args);
        preloader.ReleasePlugins();
        entryMutex.reset();
        window->show();
        const int status = app.exec();
        window.reset();
        return status;
    } catch (const std::exception& e) {
        MessageBox(nullptr, QString::fromLocal8Bit(e.what()), QStringLiteral("Zoravel"), MB_OK | MB_ICONERROR);
    } catch (...) {
        MessageBox(nullptr, QString(), QStringLiteral("Zoravel"), MB_OK | MB_ICONERROR);
    }
    return 1;
}

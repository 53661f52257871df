// Program entry of the player: one window per user unless every start asks
// for its own. A second start with arguments hands them to the running window
// and ends.
#include "platform/dialogs/dialogs.h"
#include "platform/dvd/probe.h"
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
#include <optional>

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

// Called by the program's launcher (launcher.cpp).
extern "C" __attribute__((visibility("default"))) int ZorviMain(int argc, char** argv)
{
    const QStringList args = ProgramArguments(argc, argv);
    bool existed = false;
    auto entryMutex = instance::NamedMutex::Create(QString::fromLatin1(kAppMutexName), &existed);
    if (existed && !args.isEmpty()) {
        QCoreApplication app(argc, argv);
        return HandOver(args);
    }

    CatchSessionEndSignals();
    // The main menu lives in a menu bar that the window never shows: the
    // menus are its pop-ups. A desktop's global menu bar would show it; and
    // looking for one costs a round trip to the session bus while the window
    // is built.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zoravel"));
    // GStreamer and the plug-ins of the first graph load on a thread of their
    // own from here on: while the window is built, mapped and painted, and
    // beside the building of the first graph. Not earlier: GStreamer's
    // initialisation must not run beside the application object's
    // construction, which sets the process's locale, and that is not safe
    // while another thread reads it. The first graph waits for the
    // initialisation when it needs it.
    media::Preloader preloader(args);
    // The check of a DVD on the command line runs beside the building of the
    // window too; the window's own check of the disc takes its verdict.
    const media::FirstItem first = media::FirstItemOf(args);
    std::optional<dvd::ProbeAhead> probeAhead;
    if (first.kind == media::FirstItem::kDvd && !first.path.isEmpty()) {
        const QFileInfo named(first.path);
        probeAhead.emplace(named.suffix().compare(QLatin1String("ifo"), Qt::CaseInsensitive) == 0 ? named.absolutePath()
                                                                                                 : first.path);
    }
    // Leftovers of writers that were killed go; a settings file that cannot
    // be used is told once, and the program goes on with what it has.
    statefile::RemoveStaleTemporaries(QFile::encodeName(GetUserDataFolder()).toStdString(), {}, true);
    if (const registry::StoreProblem problem = registry::CheckStore(); problem.kind != registry::StoreProblem::kNone)
        MessageBox(nullptr, QString::fromStdString(problem.Message()), QStringLiteral("エラー"), MB_OK | MB_ICONERROR);
    try {
        // The window goes before the application object (its destruction
        // writes the settings and needs the widgets).
        auto window = std::make_unique<TZoMain>(args);
        entryMutex.reset();
        window->show();
        preloader.WindowShown();
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

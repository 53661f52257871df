// A stand-in host for trying libzodlg.so by hand: a main window that loads
// the library by name, calls one export and unloads it again, as the player
// does. Usage:
//   zodlg_host EXPORT [ARG...] [--close-after MS] [--stay]
// ShowDecoderDlg takes the family flag (1 or 0); InitCDDB2 the disc id in
// hexadecimal and the query command; GetTrackTitle the track number;
// GetSerchFolder a start folder. The answer, the buffer's text and whether
// the library stayed loaded are printed. --close-after presses Escape on
// the open dialog after MS milliseconds; --stay keeps the window open.
#include "zodlg/zodlg.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include <dlfcn.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int closeAfter = -1;
    bool stay = false;
    if (const int at = args.indexOf("--close-after"); at >= 0 && at + 1 < args.size()) {
        closeAfter = args[at + 1].toInt();
        args.remove(at, 2);
    }
    if (args.removeAll("--stay") > 0) stay = true;
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: zodlg_host EXPORT [ARG...] [--close-after MS] [--stay]\n");
        return 2;
    }
    const QString path = QCoreApplication::applicationDirPath() + "/" ZODLG_LIBRARY_NAME;

    QMainWindow window;
    window.setWindowTitle("zodlg host");
    auto* label = new QLabel("zodlg host: " + args.join(' '), &window);
    label->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(label);
    window.resize(900, 650);
    window.show();
    window.activateWindow();

    int status = 0;
    QTimer::singleShot(300, &window, [&] {
        if (closeAfter >= 0) {
            QTimer::singleShot(closeAfter, &window, [] {
                if (QWidget* modal = QApplication::activeModalWidget()) {
                    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                    QApplication::sendEvent(modal, &escape);
                }
            });
        }
        void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            std::printf("cannot load %s: %s\n", qPrintable(path), dlerror());
            status = 1;
            app.quit();
            return;
        }
        const QString name = args[0];
        void* symbol = dlsym(handle, qPrintable(name));
        const auto arg = [&](int i) { return i < args.size() ? args[i] : QString(); };
        std::string text(4096, '\0');
        if (!symbol) {
            std::printf("%s: not exported\n", qPrintable(name));
        } else if (name == "ShowDecoderDlg") {
            reinterpret_cast<ShowDecoderDlgProc>(symbol)(static_cast<uint8_t>(arg(1).toInt()));
        } else if (name == "ShowExtDlg") {
            std::printf("answer %d\n", reinterpret_cast<ShowExtDlgProc>(symbol)() ? 1 : 0);
        } else if (name == "GetSerchFolder") {
            const QByteArray start = arg(1).toUtf8();
            std::copy(start.begin(), start.end(), text.begin());
            std::printf("answer %d\n", reinterpret_cast<GetSerchFolderProc>(symbol)(text.data()));
        } else if (name == "InitCDDB2") {
            std::printf("answer %d\n", reinterpret_cast<InitCDDB2Proc>(symbol)(arg(1).toUInt(nullptr, 16),
                                                                              qPrintable(arg(2))));
        } else if (name == "GetAlbumArtist" || name == "GetAlbumTitle") {
            std::printf("answer %d\n", reinterpret_cast<GetAlbumTextProc>(symbol)(text.data()));
        } else if (name == "GetTrackTitle") {
            std::printf("answer %d\n", reinterpret_cast<GetTrackTitleProc>(symbol)(arg(1).toUInt(), text.data()));
        } else {
            reinterpret_cast<ShowDialogProc>(symbol)();
        }
        if (text[0]) std::printf("buffer \"%s\"\n", text.c_str());
        dlclose(handle);
        const bool stillLoaded = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_NOLOAD) != nullptr;
        std::printf("unloaded %s\n", stillLoaded ? "no" : "yes");
        std::fflush(stdout);
        if (stillLoaded) status = 1;
        if (!stay) app.quit();
    });
    const int result = app.exec();
    return status ? status : result;
}

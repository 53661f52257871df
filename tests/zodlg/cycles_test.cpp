// Every export of the real libzodlg.so, loaded, called and unloaded a
// hundred times as the player does it. After each dlclose the library must
// really be gone (a GNU unique symbol, a thread-local destructor, a thread,
// a timer or a widget left behind would keep it mapped or crash the next
// event); the sanitizer build checks the cycles for leaks as well.
#include "FakeCddbServer.h"
#include "dialog_test_util.h"
#include "support/test_util.h"
#include "zodlg/zodlg.h"
#include "zodlg_test_util.h"

#include "common/Reghelp.h"
#include "common/scramble.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr int kCycles = 100;

// Presses Escape on every modal dialog that shows, from outside the library.
class Closer {
public:
    Closer()
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible()) return;
            ++closed;
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(modal, &escape);
        });
        timer_.start();
    }
    int closed = 0;

private:
    QTimer timer_;
};

TEST(LoadCycles, EveryExportLeavesTheLibraryUnloaded)
{
    testutil::IsolatedHome home;
    FakeCddbServer server;
    UseServer(server.Port());
    // The parental dialog asks its password first, so both dialogs show.
    SetBinary(HKEY_CURRENT_USER, kMainKey, "ParentalLockPassword", ScrambledPassword("pw"));
    SetDword(HKEY_CURRENT_USER, kMainKey, "ProtectParentalCtrlDlg", 1);
    const std::string matches = HttpReply(
        "211 close matches found\r\nrock 7a0b5c09 First / One\r\nfolk 7a0b5c0a Second / Two\r\n.\r\n");

    struct Export {
        const char* name;
        std::function<void(void*)> call;
        bool dialog;
    };
    char folder[ZODLG_FOLDER_BUFFER_SIZE] = "/";
    const std::vector<Export> exports = {
        {"ShowDecoderDlg", [](void* f) { reinterpret_cast<ShowDecoderDlgProc>(f)(1); }, true},
        {"ShowDecoderDlg", [](void* f) { reinterpret_cast<ShowDecoderDlgProc>(f)(0); }, true},
        {"ShowSonicDecoderDlg", [](void* f) { reinterpret_cast<ShowDialogProc>(f)(); }, true},
        {"ShowExtDlg", [](void* f) { EXPECT_FALSE(reinterpret_cast<ShowExtDlgProc>(f)()); }, true},
        {"ShowCDDBDlg", [](void* f) { reinterpret_cast<ShowDialogProc>(f)(); }, true},
        {"ShowParentalCtlDlg", [](void* f) { reinterpret_cast<ShowDialogProc>(f)(); }, true},
        {"GetSerchFolder", [&](void* f) { EXPECT_EQ(reinterpret_cast<GetSerchFolderProc>(f)(folder), -1); }, true},
        {"InitCDDB2",
         [&](void* f) {
             server.Answer(matches);
             EXPECT_EQ(reinterpret_cast<InitCDDB2Proc>(f)(kDiscId, kQuery), 2);
         },
         true},
        {"GetAlbumArtist", [](void* f) { EXPECT_EQ(reinterpret_cast<GetAlbumTextProc>(f)(nullptr), 0); }, false},
        {"GetAlbumTitle", [](void* f) { EXPECT_EQ(reinterpret_cast<GetAlbumTextProc>(f)(nullptr), 0); }, false},
        {"GetTrackTitle", [](void* f) { EXPECT_EQ(reinterpret_cast<GetTrackTitleProc>(f)(1, nullptr), 0); }, false},
    };
    Closer closer;
    for (const Export& e : exports) {
        SCOPED_TRACE(e.name);
        const int closedBefore = closer.closed;
        for (int cycle = 0; cycle < kCycles; ++cycle) {
            void* handle = dlopen(ZODLG_PATH, RTLD_NOW | RTLD_LOCAL);
            ASSERT_TRUE(handle) << dlerror();
            void* symbol = dlsym(handle, e.name);
            ASSERT_TRUE(symbol);
            e.call(symbol);
            ASSERT_EQ(dlclose(handle), 0);
            ASSERT_EQ(dlopen(ZODLG_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr) << "cycle " << cycle;
            ASSERT_EQ(QApplication::activeModalWidget(), nullptr);
        }
        // Each dialog export showed its dialog every time (the parental one
        // its password prompt).
        if (e.dialog) {
            EXPECT_EQ(closer.closed - closedBefore, kCycles);
        }
    }
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

}  // namespace

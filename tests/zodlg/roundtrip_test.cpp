// What the real library's dialogs write is what the player reads: the
// displayed file types of its open dialog and the parental values and
// password of its DVD graph.
#include "dialog_test_util.h"
#include "support/test_util.h"
#include "zodlg/zodlg.h"

#include "player/units/Dvdgraph.h"
#include "player/units/Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

// Loads the library, calls one export and unloads it, as the player does.
template <class Proc, class... Args>
auto CallExport(const char* name, Args... args)
{
    void* handle = dlopen(ZODLG_PATH, RTLD_NOW | RTLD_LOCAL);
    EXPECT_TRUE(handle) << dlerror();
    auto proc = reinterpret_cast<Proc>(dlsym(handle, name));
    EXPECT_TRUE(proc);
    if constexpr (std::is_void_v<decltype(proc(args...))>) {
        proc(args...);
        dlclose(handle);
    } else {
        auto result = proc(args...);
        dlclose(handle);
        return result;
    }
}

TEST(DialogsAndPlayer, WrittenValuesAreWhatThePlayerReads)
{
    testutil::IsolatedHome home;
    WhenShown("CExtDlg", [](QWidget* d) {
        Find<QLineEdit>(d, 6004)->setText("mkv");
        Click(d, 6003);
        Click(d, 1);
    });
    EXPECT_TRUE(CallExport<ShowExtDlgProc>("ShowExtDlg"));
    EXPECT_TRUE(ReadExtensionListValue().contains("*.mkv;"));
    EXPECT_TRUE(ReadExtensionListValue().startsWith("*.aif;"));

    const QString password = QStringLiteral("秘密の鍵");
    WhenShown("CParental", [&](QWidget* d) {
        Find<QCheckBox>(d, 6005)->click();
        Find<QComboBox>(d, 6028)->setCurrentIndex(1);
        auto* levels = Find<QComboBox>(d, 6022);
        levels->setCurrentIndex(3);
        emit levels->activated(3);   // "PG-13"
        WhenShown("CPassword", [&](QWidget* p) {
            Find<QLineEdit>(p, 6004)->setText(password);
            Find<QLineEdit>(p, 6090)->setText(password);
            Click(p, 1);
        });
        Click(d, 6003);
        Find<QCheckBox>(d, 6000)->setChecked(true);
        Click(d, 1);
    });
    CallExport<ShowDialogProc>("ShowParentalCtlDlg");
    const TDvdSettings dvd = ReadDvdSettings();
    EXPECT_EQ(dvd.UseParentalCtrl, 1u);
    EXPECT_EQ(dvd.ParentalLevel, 4u);
    EXPECT_TRUE(dvd.UsePasswordToUnlock);
    EXPECT_EQ(dvd.ParentalPassword, password);
    CancelWaits();
}

}  // namespace

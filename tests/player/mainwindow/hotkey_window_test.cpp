// The key and mouse assignment dialog from the options dialog: a key pressed
// in its key box and a gesture chosen, saved to a profile, the built-in set
// and the profile again, OK; the main window then answers the new key and
// gesture at once and after a restart. With a DVD open the new gestures
// are the DVD's, and the new file set comes back after it.
#include "platform/dialogs/filedialogs.h"
#include "player/tools/THotKeyDlg.h"
#include "player/tools/TOKBottomDlg.h"
#include "player/units/Shortcuts.h"
#include "ui_THotKeyDlg.h"
#include "window_test_util.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <functional>

using namespace mwtest;

namespace {

class HotKeyWindow : public WindowTest {
protected:
    void TearDown() override
    {
        dialogs::SetFileDialogAnswerer({});
        WindowTest::TearDown();
    }
    // Runs `step` once on the modal dialog of class T when it shows.
    template <class T> std::unique_ptr<QTimer> WhenShown(std::function<void(T*)> step)
    {
        auto timer = std::make_unique<QTimer>();
        timer->setInterval(5);
        QTimer* t = timer.get();
        QObject::connect(t, &QTimer::timeout, [t, step] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            t->stop();
            step(dialog);
        });
        t->start();
        return timer;
    }
    void Middle()
    {
        QWidget* on = ui()->ViewPanel;
        const QPointF at(on->width() / 2.0, on->height() / 2.0);
        QMouseEvent press(QEvent::MouseButtonPress, at, on->mapToGlobal(at), Qt::MiddleButton, Qt::MiddleButton,
                          Qt::NoModifier);
        QApplication::sendEvent(on, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, on->mapToGlobal(at), Qt::MiddleButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(on, &release);
    }
    bool Continuous() const { return ui()->NContinuousPlay->isChecked(); }
    static void SelectRow(THotKeyDlg* dialog, int command)
    {
        QTreeView* list = dialog->Form()->ListKey;
        list->setCurrentIndex(list->model()->index(dialog->Keys().RowOf(command), 0));
    }
    static QString Cell(THotKeyDlg* dialog, int command, int column)
    {
        QTreeView* list = dialog->Form()->ListKey;
        return list->model()->index(dialog->Keys().RowOf(command), column).data().toString();
    }
};

TEST_F(HotKeyWindow, AKeyAndAGestureSetInTheDialogRunTheirCommandAtOnceAndAfterARestart)
{
    Open();
    const QString profile = Home(QStringLiteral("mine.keys"));
    QStringList asked;
    dialogs::SetFileDialogAnswerer([&](const dialogs::FileDialogCall& call) {
        const bool save = call.kind == dialogs::FileDialogCall::Save;
        asked << QStringLiteral("%1 %2 %3").arg(save ? "save" : "open", call.filter, call.defaultExtension);
        dialogs::FileDialogResult result;
        result.accepted = true;
        result.paths = {profile};
        return result;
    });

    QStringList seen;
    auto assign = WhenShown<THotKeyDlg>([&](THotKeyDlg* d) {
        Ui::THotKeyDlg* f = d->Form();
        seen << f->CheckMenu->text() << QString::number(f->ListKey->model()->rowCount());
        // 連続再生 (ContinuousPlay), a file-only row.
        SelectRow(d, 25);
        seen << f->Edit1->text();
        f->Edit1->setFocus();
        // Right is the skip's: the warning names it; the DVD's Right may stay.
        QTest::keyClick(f->Edit1, Qt::Key_Right);
        seen << f->Edit1->text() << f->Label4->text().trimmed();
        QTest::keyPress(f->Edit1, Qt::Key_Control, Qt::ControlModifier);
        seen << f->Edit1->text();
        QTest::keyClick(f->Edit1, Qt::Key_Q, Qt::ControlModifier);
        QTest::keyRelease(f->Edit1, Qt::Key_Control);
        seen << f->Edit1->text() << f->Label4->text().trimmed();
        f->ComboMouse->setCurrentIndex(2);   // 中央ボタン
        f->Button1->click();
        seen << Cell(d, 25, 1) << Cell(d, 25, 2);
        // Saved, the built-in set, and the file again.
        f->N1->trigger();
        f->N3->trigger();
        seen << Cell(d, 25, 1) << Cell(d, 25, 2) << Cell(d, 1, 2);
        f->N2->trigger();
        seen << Cell(d, 25, 1) << Cell(d, 25, 2) << Cell(d, 1, 2);
        f->OKBtn->click();
    });
    auto options = WhenShown<TOKBottomDlg>([](TOKBottomDlg* d) {
        d->findChild<QPushButton*>(QStringLiteral("btnKey"))->click();
        d->findChild<QPushButton*>(QStringLiteral("OKBtn"))->click();
    });
    ui()->NProperty->trigger();

    EXPECT_EQ(seen, QStringList({"DVDメニュー画面では矢印キーでメニューの選択をする", "65", "Ctrl+S", "Right",
                                 "キー: スキップ", "Ctrl+", "Ctrl+Q", "", "Ctrl+Q", "M", "Ctrl+S", "", "D",
                                 "Ctrl+Q", "M", "D"}));
    EXPECT_EQ(asked, QStringList({"save キー設定ファイル|*.keys keys", "open キー設定ファイル|*.keys keys"}));
    EXPECT_EQ(MainDword("ModifyKey"), 1u);
    EXPECT_EQ(MainDword("MouseMiddle"), 25u);

    // The new key and gesture work at once; the old key no longer does.
    const bool before = Continuous();
    Tap(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_NE(Continuous(), before);
    Tap(Qt::Key_S, Qt::ControlModifier);
    EXPECT_NE(Continuous(), before);
    Middle();
    EXPECT_EQ(Continuous(), before);

    // And after a restart.
    Close();
    Open();
    const bool restarted = Continuous();
    Tap(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_NE(Continuous(), restarted);
    Middle();
    EXPECT_EQ(Continuous(), restarted);
}

TEST_F(HotKeyWindow, WithADvdMenuShownTheGesturesAreTheDvdsAndTheArrowChoiceWaits)
{
    Open();
    w->Probe().DvdState().Mode = true;
    w->Probe().DvdState().InMenu = true;
    const bool arrows = w->Settings().UseArrowKeyInMenu;
    auto assign = WhenShown<THotKeyDlg>([&](THotKeyDlg* d) {
        Ui::THotKeyDlg* f = d->Form();
        EXPECT_FALSE(f->CheckMenu->isEnabled());
        SelectRow(d, 48);   // (DVD)ルートメニュー
        f->ComboMouse->setCurrentIndex(2);
        f->Button1->click();
        SelectRow(d, 54);   // (DVD)メニュー 右
        f->Edit1->setFocus();
        QTest::keyClick(f->Edit1, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
        f->Button1->click();
        f->OKBtn->click();
    });
    {
        THotKeyDlg dialog(*w, w.get());
        ASSERT_EQ(dialog.exec(), QDialog::Accepted);
        ASSERT_TRUE(dialog.KeysChanged());
        w->LoadShortcutKeys();
    }
    // The menu's plain arrow stays while the menu shows; the new key waits for its end.
    const WORD newKey = 0x6000 | 39;
    EXPECT_EQ(ItemShortCut(ui()->miDVDMenuR), 39);
    w->CloseMedia();
    EXPECT_EQ(ItemShortCut(ui()->miDVDMenuR), newKey);
    EXPECT_EQ(w->MouseActions().MouseMiddle, 48);
    EXPECT_EQ(MainDword("DVDMouseMiddle"), 48u);
    EXPECT_EQ(MainDword("MouseMiddle"), DWORD(-1));
    EXPECT_EQ(w->Settings().UseArrowKeyInMenu, arrows);
    // Leaving the DVD brings the file set of the dialog.
    w->UpdateControlsForMedia(false);
    EXPECT_EQ(w->MouseActions(), (TMouseActions{1, -1, -1, -1, 12, 11}));
}

}  // namespace

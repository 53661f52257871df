// The key and mouse assignment dialog "キー/マウス設定": one row per command
// with its key and gesture, the key box that takes the next key pressed, the
// gesture combo, the change, the key profile files and the built-in set. The
// rows and their rules live in THotKeys; OK stores them and gives the main
// window its new gestures, preset keys and arrow-key choice. Modal, made by
// the options dialog for one run.
#pragma once

#include "player/tools/HotKeys.h"

#include <QDialog>

#include <memory>

class IToolHost;
class QKeyEvent;
class THotKeyListModel;
struct TCellLook;
namespace Ui {
class THotKeyDlg;
}

class THotKeyDlg : public QDialog {
    Q_OBJECT
public:
    THotKeyDlg(IToolHost& host, QWidget* owner);
    ~THotKeyDlg() override;

    // Keys were changed or imported: the main window loads them after OK.
    bool KeysChanged() const { return keys_.KeysChanged(); }
    const THotKeys& Keys() const { return keys_; }
    Ui::THotKeyDlg* Form() const { return ui_.get(); }

    // ---- the form's handlers ----
    void FormShow();
    TCellLook ListKeyDrawItem(int row, int column) const;
    void ListKeySelectItem(int row);
    // True when the key box took the key.
    bool Edit1KeyDown(QKeyEvent* event);
    void Edit1DblClick();
    void ComboMouseChange(int index);
    void Button1Click();
    void Button2MouseUp();
    void N1Click();
    void N2Click();
    void N3Click();
    void OKBtnClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowConflicts();
    void RowsChanged();

    IToolHost& host_;
    THotKeys keys_;
    std::unique_ptr<Ui::THotKeyDlg> ui_;
    THotKeyListModel* model_ = nullptr;
    bool loaded_ = false;
};

// The options dialog "設定": its sheets, and so far of their buttons the
// ones that open "検索ファイル" and "キー/マウス". Modal; the main window
// makes it for one run.
#pragma once

#include <QDialog>

#include <memory>

class IToolHost;
namespace Ui {
class TOKBottomDlg;
}

class TOKBottomDlg : public QDialog {
    Q_OBJECT
public:
    // Without a host the dialogs that change the main window stay closed.
    explicit TOKBottomDlg(QWidget* owner, IToolHost* host = nullptr);
    ~TOKBottomDlg() override;

    // "検索ファイル": the search kinds dialog, for one run.
    void btnSerchClick();
    // "キー/マウス": the key and mouse assignments, for one run; keys
    // changed there are loaded by the main window at once.
    void btnKeyClick();

protected:
    void showEvent(QShowEvent* e) override;

private:
    std::unique_ptr<Ui::TOKBottomDlg> ui_;
    IToolHost* host_ = nullptr;
};

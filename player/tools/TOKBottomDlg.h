// The options dialog "設定": its sheets, and so far of their buttons the
// one that opens "検索ファイル". Modal; the main window makes it for one run.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TOKBottomDlg;
}

class TOKBottomDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlg(QWidget* owner);
    ~TOKBottomDlg() override;

    // "検索ファイル": the search kinds dialog, for one run.
    void btnSerchClick();

protected:
    void showEvent(QShowEvent* e) override;

private:
    std::unique_ptr<Ui::TOKBottomDlg> ui_;
};

// The parental-lock password window: the user types the password when a disc
// asks for a higher parental level. The caller compares the text itself.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TDlgPassword;
}
class QLineEdit;

class TDlgPassword : public QDialog {
    Q_OBJECT
public:
    explicit TDlgPassword(QWidget* owner);
    ~TDlgPassword() override;

    QLineEdit* Edit1() const;
    QString Password() const;

protected:
    void showEvent(QShowEvent* e) override;

private:
    std::unique_ptr<Ui::TDlgPassword> ui_;
};

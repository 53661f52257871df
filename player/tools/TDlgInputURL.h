// The address dialog: the user types or pastes an address to open. Modal,
// made for one run by the main window, which opens the address on OK.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TDlgInputURL;
}
class QLineEdit;
class QMimeData;

// The address a clipboard holds: its text's first line whole, blanks around
// it trimmed; empty when it holds no text (a picture, or nothing but blanks).
QString PastedAddress(const QMimeData* clipboard);

class TDlgInputURL : public QDialog {
    Q_OBJECT
public:
    explicit TDlgInputURL(QWidget* owner);
    ~TDlgInputURL() override;

    QLineEdit* Edit1() const;
    // "貼り付け": the clipboard's address replaces the text; without one the text stays.
    void Button1Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    std::unique_ptr<Ui::TDlgInputURL> ui_;
};

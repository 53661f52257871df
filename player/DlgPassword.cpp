#include "player/DlgPassword.h"

#include "player/tools/WindowPlacement.h"
#include "ui_DlgPassword.h"


TDlgPassword::TDlgPassword(QWidget* owner) : QDialog(owner), ui_(std::make_unique<Ui::TDlgPassword>())
{
    ui_->setupUi(this);
    // A fixed dialog border: no resizing, no system buttons but close.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(249, 95);
    QFont face = font();
    face.setPixelSize(12);
    setFont(face);
    ui_->Edit1->setFocus();
}

TDlgPassword::~TDlgPassword() = default;

QLineEdit* TDlgPassword::Edit1() const { return ui_->Edit1; }

QString TDlgPassword::Password() const { return ui_->Edit1->text(); }

void TDlgPassword::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    // Centred on the screen, not on its owner.
    TWindowPlacement::CentreOnScreen(this);
    ui_->Edit1->setFocus();
}

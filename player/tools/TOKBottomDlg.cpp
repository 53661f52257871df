#include "player/tools/TOKBottomDlg.h"

#include "player/tools/TDlgFind.h"
#include "player/tools/WindowPlacement.h"
#include "ui_TOKBottomDlg.h"

TOKBottomDlg::TOKBottomDlg(QWidget* owner) : QDialog(owner), ui_(std::make_unique<Ui::TOKBottomDlg>())
{
    ui_->setupUi(this);
    connect(ui_->btnSerch, &QPushButton::clicked, this, &TOKBottomDlg::btnSerchClick);
}

TOKBottomDlg::~TOKBottomDlg() = default;

void TOKBottomDlg::btnSerchClick()
{
    TDlgFind dialog(this);
    dialog.exec();
}

void TOKBottomDlg::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    TWindowPlacement::CentreOver(this, parentWidget());
}

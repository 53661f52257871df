#include "player/tools/TOKBottomDlg.h"

#include "player/tools/TDlgFind.h"
#include "player/tools/THotKeyDlg.h"
#include "player/tools/ToolHost.h"
#include "player/tools/WindowPlacement.h"
#include "ui_TOKBottomDlg.h"

TOKBottomDlg::TOKBottomDlg(QWidget* owner, IToolHost* host)
    : QDialog(owner), ui_(std::make_unique<Ui::TOKBottomDlg>()), host_(host)
{
    ui_->setupUi(this);
    connect(ui_->btnSerch, &QPushButton::clicked, this, &TOKBottomDlg::btnSerchClick);
    connect(ui_->btnKey, &QPushButton::clicked, this, &TOKBottomDlg::btnKeyClick);
}

TOKBottomDlg::~TOKBottomDlg() = default;

void TOKBottomDlg::btnSerchClick()
{
    TDlgFind dialog(this);
    dialog.exec();
}

void TOKBottomDlg::btnKeyClick()
{
    if (!host_) return;
    THotKeyDlg dialog(*host_, this);
    if (dialog.exec() == QDialog::Accepted && dialog.KeysChanged()) host_->LoadShortcutKeys();
}

void TOKBottomDlg::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    TWindowPlacement::CentreOver(this, parentWidget());
}

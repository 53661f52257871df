// The commands that run a dialog of the tool windows for one use: the
// options, the address to open, and the folder search.
#include "player/ZoMain.h"

#include "player/tools/TDlgInputURL.h"
#include "player/tools/TOKBottomDlg.h"

#include <QLineEdit>

void TZoMain::NPropertyClick()
{
    TOKBottomDlg dialog(this);
    dialog.exec();
}

void TZoMain::InputURL1Click()
{
    TDlgInputURL dialog(this);
    dialogOpen_ = true;
    const bool ok = dialog.exec() == QDialog::Accepted;
    dialogOpen_ = false;
    const QString address = dialog.Edit1()->text();
    if (ok && !address.isEmpty()) OpenUrl(address);
}

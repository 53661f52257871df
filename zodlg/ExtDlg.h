// CExtDlg: the list of file types (extensions) the player offers in its
// open dialog and folder search, kept as the Main value Extension
// ("*.avi;*.mpg;..."). One column without header, sorted ascending without
// regard to case; OK writes the list in that order.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <memory>

namespace Ui {
class CExtDlg;
}

// The extensions a pattern text names: each ";"-separated piece less its
// leading "*" and "."; pieces that name none are skipped.
QStringList ExtensionsOfPatterns(const QString& patterns);
// "*.ext;" for each extension, in order.
QString PatternsOfExtensions(const QStringList& extensions);
// The type name shown for an extension (lower case), empty when unknown.
QString ExtensionTypeName(const QString& extension);

class CExtDlg : public QDialog {
public:
    explicit CExtDlg(QWidget* parent);
    ~CExtDlg() override;

protected:
    bool OnInitDialog();
    void OnBnClickedAdd();
    void OnBnClickedDelete();
    void OnBnClickedUndo();
    void OnBnClickedDefault();
    void OnLvnItemchanged();
    void OnBnClickedOk();

private:
    void Fill(const QString& patterns);
    void InsertSorted(const QString& extension);
    std::unique_ptr<Ui::CExtDlg> ui_;
    QString saved_;   // the value as read at start
};

// The export's flow; true when the dialog was closed with OK.
bool RunExtDlg();

// The setup tool's one dialog: the boxes of the player's registrations,
// read from the registry when the dialog opens and applied, as far as they
// changed, when it is confirmed. The registrations themselves are the
// functions of Registrations.h; after each item the desktop follows
// (DesktopSync.h).
#pragma once

#include "setup/DesktopSync.h"
#include "setup/Registrations.h"
#include "setup/Shortcuts.h"

#include <QDialog>
#include <QPoint>

#include <array>
#include <memory>

namespace Ui {
class CSetZoDlg;
}
class QAbstractButton;
class QMouseEvent;

class CSetZoDlg : public QDialog {
    Q_OBJECT
public:
    // `folder`: the tool's folder with a trailing "/", where the player lies.
    explicit CSetZoDlg(const QString& folder, QWidget* parent = nullptr);
    ~CSetZoDlg() override;

    // The control with the id of the dialog's table (1005, 1 for OK).
    QAbstractButton* Control(int id) const;
    // Raises and activates the dialog (a second start asks for it); a window
    // manager may only mark it.
    void BringForward();

signals:
    void broughtForward();

public:

    // One row of the association boxes: the extension read for it and the
    // box ids. RealMedia stands for ".rm", ".ra" and ".rmvb".
    struct AssociationRow {
        const char* extension;
        int associationBox;
        int iconBox;
    };
    static const std::array<AssociationRow, 13> kAssociationRows;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void OnInitDialog();
    void OnOK();
    void OnDvdDriveClicked();
    void OnCdDriveClicked();
    void OnResetClicked();
    void OnDirectXCheck();
    // Writes one launcher; false, after telling the user, when it cannot.
    bool CreateShortcut(const QString& path, const shell::Launcher& launcher);
    // The shortcut boxes' part of the confirmation.
    void ApplyShortcuts();
    void CreateMenuShortcuts();
    void ShortcutFailed();
    // The AutoPlay box is open only while its verb box is checked.
    void FollowVerbBox(zoset::Medium medium);
    void ReadMedium(zoset::Medium medium);
    void ApplyMedium(zoset::Medium medium);
    bool Checked(int id) const;
    // The desktop follows the registry after one step of the confirmation.
    void MirrorStep(const QStringList& extensionsTurnedOn, bool dvdAutoPlayOn = false, bool cdAutoPlayOn = false);

    std::unique_ptr<Ui::CSetZoDlg> ui_;
    QString folder_;
    std::array<bool, 13> startAssociation_{};
    std::array<bool, 13> startIcon_{};
    // The desktop, send-to and programs-menu boxes at start.
    std::array<bool, 3> startShortcut_{};
    zoset::MediumState dvd_, cd_;
    zoset::RegistryKeptDefaults keptDefaults_;
    shell::DesktopMirror mirror_{keptDefaults_};
    // Where a press on the dialog's face began, for moving it by hand.
    QPoint dragOffset_;
    bool dragging_ = false;
};

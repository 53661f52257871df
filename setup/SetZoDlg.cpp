#include "setup/SetZoDlg.h"

#include "ui_SetZoDlg.h"

#include "platform/dialogs/dialogs.h"
#include "setup/RuntimeCheck.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QWindow>

using namespace zoset;

const std::array<CSetZoDlg::AssociationRow, 13> CSetZoDlg::kAssociationRows{{
    {".mpg", 1005, 1009},
    {".m2p", 1011, 1030},
    {".avi", 1006, 1027},
    {".asf", 1007, 1028},
    {".wmv", 1008, 1029},
    {".mp3", 1010, 1022},
    {".wma", 1013, 1023},
    {".wav", 1014, 1024},
    {".mid", 1015, 1025},
    {".aif", 1016, 1026},
    {".rm", 1036, 1037},
    {".m3u", 1021, 1032},
    {".zol", 1020, 1031},
}};

namespace {

constexpr int kDvdVerbBox = 1033;
constexpr int kDvdAutoPlayBox = 1034;
constexpr int kCdVerbBox = 1040;
constexpr int kCdAutoPlayBox = 1041;
// The desktop, send-to and programs-menu boxes, in the order of their kinds.
constexpr std::array<int, 3> kShortcutBoxes{1017, 1018, 1019};
constexpr int kResetBox = 1035;
constexpr int kCheckButton = 1038;

// The extensions one row's boxes stand for, in the order they are written.
QStringList RowExtensions(const CSetZoDlg::AssociationRow& row)
{
    if (QLatin1String(row.extension) == QLatin1String(".rm")) return RealMediaExtensions();
    return {QLatin1String(row.extension)};
}

}  // namespace

CSetZoDlg::CSetZoDlg(const QString& folder, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CSetZoDlg>()), folder_(folder)
{
    ui_->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/icons/zoravel-setup.png")));
    // A fixed frame: the boxes have no use for more room.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    connect(ui_->c1, &QPushButton::clicked, this, &CSetZoDlg::OnOK);
    connect(ui_->c2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui_->c1033, &QCheckBox::clicked, this, &CSetZoDlg::OnDvdDriveClicked);
    connect(ui_->c1040, &QCheckBox::clicked, this, &CSetZoDlg::OnCdDriveClicked);
    connect(Control(kResetBox), &QAbstractButton::clicked, this, &CSetZoDlg::OnResetClicked);
    connect(Control(kCheckButton), &QAbstractButton::clicked, this, &CSetZoDlg::OnDirectXCheck);
    OnInitDialog();
}

CSetZoDlg::~CSetZoDlg() = default;

QAbstractButton* CSetZoDlg::Control(int id) const
{
    return findChild<QAbstractButton*>(QStringLiteral("c%1").arg(id));
}

bool CSetZoDlg::Checked(int id) const
{
    const QAbstractButton* box = Control(id);
    return box && box->isChecked();
}

void CSetZoDlg::BringForward()
{
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
    emit broughtForward();
}

void CSetZoDlg::OnInitDialog()
{
    // Keys that the desktop's own drive types would hold, so that the groups
    // are open where the desktop can start a player for the medium.
    const QMimeDatabase mime;
    CreateSystemKeys(mime.mimeTypeForName(QStringLiteral("x-content/video-dvd")).isValid(),
                     mime.mimeTypeForName(QStringLiteral("x-content/audio-cdda")).isValid());
    for (size_t i = 0; i < kAssociationRows.size(); ++i) {
        const AssociationRow& row = kAssociationRows[i];
        bool associated = false, icon = false;
        ReadAssociation(QLatin1String(row.extension), &associated, &icon);
        startAssociation_[i] = associated;
        startIcon_[i] = icon;
        Control(row.associationBox)->setChecked(associated);
        Control(row.iconBox)->setChecked(icon);
    }
    for (size_t i = 0; i < kShortcutBoxes.size(); ++i) {
        startShortcut_[i] = HasShortcut(static_cast<int>(i) + 1);
        Control(kShortcutBoxes[i])->setChecked(startShortcut_[i]);
    }
    ReadMedium(Medium::Dvd);
    ReadMedium(Medium::Cd);
}

void CSetZoDlg::ReadMedium(Medium medium)
{
    MediumState& state = medium == Medium::Dvd ? dvd_ : cd_;
    state = ReadMediumState(folder_, medium);
    QAbstractButton* verb = Control(medium == Medium::Dvd ? kDvdVerbBox : kCdVerbBox);
    QAbstractButton* autoPlay = Control(medium == Medium::Dvd ? kDvdAutoPlayBox : kCdAutoPlayBox);
    verb->setChecked(state.verb);
    autoPlay->setChecked(state.autoPlay);
    verb->setEnabled(state.verbEnabled);
    autoPlay->setEnabled(state.autoPlayEnabled);
}

void CSetZoDlg::OnDvdDriveClicked() { FollowVerbBox(Medium::Dvd); }

void CSetZoDlg::OnCdDriveClicked() { FollowVerbBox(Medium::Cd); }

void CSetZoDlg::FollowVerbBox(Medium medium)
{
    if (!(medium == Medium::Dvd ? dvd_ : cd_).autoPlayAvailable) return;
    QAbstractButton* autoPlay = Control(medium == Medium::Dvd ? kDvdAutoPlayBox : kCdAutoPlayBox);
    if (Checked(medium == Medium::Dvd ? kDvdVerbBox : kCdVerbBox)) {
        autoPlay->setEnabled(true);
    } else {
        // Without the verb there is nothing for the handler to start.
        autoPlay->setChecked(false);
        autoPlay->setEnabled(false);
    }
}

void CSetZoDlg::OnOK()
{
    // Only what differs from the start is written: a box left as it was
    // leaves the registrations (and whatever others made of them) alone.
    for (size_t i = 0; i < kAssociationRows.size(); ++i) {
        const AssociationRow& row = kAssociationRows[i];
        const bool associate = Checked(row.associationBox);
        const bool icon = Checked(row.iconBox);
        const QStringList extensions = RowExtensions(row);
        for (const QString& extension : extensions) {
            if (associate && !startAssociation_[i]) Associate(folder_, extension);
            if (!associate && startAssociation_[i]) Unassociate(extension);
        }
        for (const QString& extension : extensions) {
            if (icon && !startIcon_[i]) SetTypeIcon(folder_, extension);
            if (!icon && startIcon_[i]) RestoreTypeIcon(extension);
        }
        if (associate != startAssociation_[i] || icon != startIcon_[i])
            MirrorStep(associate && !startAssociation_[i] ? extensions : QStringList());
    }
    ApplyShortcuts();
    ApplyMedium(Medium::Dvd);
    ApplyMedium(Medium::Cd);
    // Last, so that everything registered before has been taken back first.
    if (Checked(kResetBox)) DeleteSettingsBranch();
    // The desktop's caches learn of the entries and types once, at the end.
    mirror_.RunUpdaters();
    accept();
}

void CSetZoDlg::MirrorStep(const QStringList& extensionsTurnedOn, bool dvdAutoPlayOn, bool cdAutoPlayOn)
{
    shell::MirrorState state = ReadMirrorState(folder_);
    state.extensionsTurnedOn = extensionsTurnedOn;
    state.dvdAutoPlayTurnedOn = dvdAutoPlayOn;
    state.cdAutoPlayTurnedOn = cdAutoPlayOn;
    mirror_.Follow(state);
}

void CSetZoDlg::ApplyMedium(Medium medium)
{
    const MediumState& start = medium == Medium::Dvd ? dvd_ : cd_;
    const bool verb = Checked(medium == Medium::Dvd ? kDvdVerbBox : kCdVerbBox);
    const bool autoPlay = Checked(medium == Medium::Dvd ? kDvdAutoPlayBox : kCdAutoPlayBox);
    if (verb != start.verb) {
        if (verb)
            AddVerb(folder_, medium);
        else
            RemoveVerb(medium);
        MirrorStep({});
    }
    if (autoPlay != start.autoPlay) {
        if (autoPlay)
            AddAutoPlay(folder_, medium);
        else
            RemoveAutoPlay(medium);
        MirrorStep({}, autoPlay && medium == Medium::Dvd, autoPlay && medium == Medium::Cd);
    }
}

void CSetZoDlg::OnResetClicked()
{
    // Checked, every box is cleared and closed, so that OK takes back all
    // that is in place; unchecked, each box is as it was at start.
    const bool reset = Checked(kResetBox);
    const auto restore = [reset](QAbstractButton* box, bool checked, bool enabled) {
        box->setChecked(!reset && checked);
        box->setEnabled(!reset && enabled);
    };
    for (size_t i = 0; i < kAssociationRows.size(); ++i) {
        restore(Control(kAssociationRows[i].associationBox), startAssociation_[i], true);
        restore(Control(kAssociationRows[i].iconBox), startIcon_[i], true);
    }
    for (size_t i = 0; i < kShortcutBoxes.size(); ++i) restore(Control(kShortcutBoxes[i]), startShortcut_[i], true);
    restore(Control(kDvdVerbBox), dvd_.verb, dvd_.verbEnabled);
    restore(Control(kDvdAutoPlayBox), dvd_.autoPlay, dvd_.autoPlayEnabled);
    restore(Control(kCdVerbBox), cd_.verb, cd_.verbEnabled);
    restore(Control(kCdAutoPlayBox), cd_.autoPlay, cd_.autoPlayEnabled);
}

bool CSetZoDlg::CreateShortcut(const QString& path, const shell::Launcher& launcher)
{
    if (!path.isEmpty() && shell::WriteLauncher(path, launcher)) return true;
    ShortcutFailed();
    return false;
}

void CSetZoDlg::ShortcutFailed()
{
    MessageBox(this, QStringLiteral("ショートカット作成失敗"), QStringLiteral("Zoset"), MB_OK);
}

void CSetZoDlg::ApplyShortcuts()
{
    const auto turned = [this](int kind, bool on) {
        const size_t i = static_cast<size_t>(kind - 1);
        return Checked(kShortcutBoxes[i]) == on && startShortcut_[i] != on;
    };
    bool changed = false;
    if (turned(kDesktopShortcut, true)) {
        // Without a desktop folder there is no place for it: nothing is
        // written anywhere else instead.
        const QString path = ShortcutPath(kDesktopShortcut);
        if (CreateShortcut(path, PlayerLauncher(folder_))) shell::TrustLauncher(path);
        changed = true;
    } else if (turned(kDesktopShortcut, false)) {
        RemoveShortcut(kDesktopShortcut);
        changed = true;
    }
    if (turned(kSendToShortcut, true)) {
        if (!shell::WriteSendToScript(ShortcutPath(kSendToShortcut), folder_ + QLatin1String(kPlayerName)))
            ShortcutFailed();
        if (!shell::WriteServiceMenu(shell::ServiceMenuFolder() + QLatin1Char('/') + QLatin1String(shell::kServiceMenu),
                                     PlayerLauncher(folder_)))
            ShortcutFailed();
        changed = true;
    } else if (turned(kSendToShortcut, false)) {
        RemoveShortcut(kSendToShortcut);
        changed = true;
    }
    if (turned(kMenuShortcut, true)) {
        CreateMenuShortcuts();
        changed = true;
    } else if (turned(kMenuShortcut, false)) {
        RemoveShortcut(kMenuShortcut);
        mirror_.NoteEntriesChanged();
        changed = true;
    }
    // The icons the launchers name come and go with them.
    if (changed) MirrorStep({});
}

void CSetZoDlg::CreateMenuShortcuts()
{
    // Whatever is missing is written, also into a folder that was there
    // already, so that the box never reads unchecked after it was turned
    // on; a file in place, perhaps the user's own, is left as it is.
    const QString menu = MenuFolder();
    QDir().mkpath(menu);
    const QString player = menu + QLatin1Char('/') + QLatin1String(shell::kMenuPlayer);
    const QString setup = menu + QLatin1Char('/') + QLatin1String(shell::kMenuSetup);
    if (!QFileInfo::exists(player)) CreateShortcut(player, PlayerLauncher(folder_, QStringLiteral("AudioVideo;Player;")));
    if (!QFileInfo::exists(setup)) CreateShortcut(setup, SetupLauncher(folder_));
    mirror_.NoteEntriesChanged();
}

void CSetZoDlg::OnDirectXCheck()
{
    // The runtime registers its plugins when it starts, which can take a
    // while the first time.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString message = RuntimeCheckMessage();
    QApplication::restoreOverrideCursor();
    MessageBox(this, message, QStringLiteral("GStreamer Version:"), MB_OK | MB_ICONINFORMATION);
}

void CSetZoDlg::mousePressEvent(QMouseEvent* event)
{
    // The whole face of the dialog moves it, as its caption would.
    if (event->button() != Qt::LeftButton) return QDialog::mousePressEvent(event);
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CSetZoDlg::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) {
        dragging_ = false;
        return QDialog::mouseMoveEvent(event);
    }
    move(event->globalPosition().toPoint() - dragOffset_);
}

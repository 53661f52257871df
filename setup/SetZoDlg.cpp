#include "setup/SetZoDlg.h"

#include "ui_SetZoDlg.h"

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
    ApplyMedium(Medium::Dvd);
    ApplyMedium(Medium::Cd);
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

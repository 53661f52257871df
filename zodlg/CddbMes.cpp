#include "CddbMes.h"

#include "DlgBase.h"
#include "ui_CCddbMes.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QWindow>

int CddbMatchModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(matches_.size());
}

int CddbMatchModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant CddbMatchModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const CddbMatch& match = matches_[static_cast<std::size_t>(index.row())];
    const std::string& text = index.column() == 0 ? match.category : index.column() == 1 ? match.artist : match.album;
    return QString::fromStdString(text);
}

QVariant CddbMatchModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    static const char* const kTitles[] = {"Category", "Artist", "Album"};
    return section >= 0 && section < 3 ? QString::fromLatin1(kTitles[section]) : QVariant();
}

CCddbMes::CCddbMes(const std::vector<CddbMatch>& matches, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), ui_(std::make_unique<Ui::CCddbMes>()), model_(matches)
{
    ui_->setupUi(this);
    zodlg::ApplyDialogUnits(this);
    OnInitDialog();
}

CCddbMes::~CCddbMes() = default;

bool CCddbMes::OnInitDialog()
{
    QTreeView* list = ui_->c6015;
    list->setModel(&model_);
    list->header()->setSectionsClickable(false);
    list->header()->setStretchLastSection(false);
    list->setColumnWidth(0, 64);
    list->setColumnWidth(1, 110);
    list->setColumnWidth(2, 110);
    // The choice follows the current row; a row losing its selection (a
    // Ctrl+click) leaves the choice where it was.
    connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) selected_ = current.row();
            });
    connect(list, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!index.isValid()) return;
        selected_ = index.row();
        accept();
    });
    connect(ui_->c1, &QPushButton::clicked, this, &QDialog::accept);
    if (model_.rowCount() > 0) list->setCurrentIndex(model_.index(0, 0));
    return true;
}

void CCddbMes::mousePressEvent(QMouseEvent* event)
{
    // Without a caption, the whole dialog is the handle that moves it.
    if (event->button() == Qt::LeftButton && windowHandle() && windowHandle()->startSystemMove()) return;
    QDialog::mousePressEvent(event);
}

bool ChooseMatch(const std::vector<CddbMatch>& matches, std::size_t* chosen)
{
    if (!zodlg::CanShowDialogs()) return false;
    int selected = 0;
    bool accepted = false;
    {
        CCddbMes dialog(matches, zodlg::CallerWindow());
        accepted = dialog.exec() == QDialog::Accepted;
        selected = dialog.Selected();
    }
    if (!accepted || selected < 0) return false;
    *chosen = static_cast<std::size_t>(selected);
    return true;
}

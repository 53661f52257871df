#include "FolderBrowse.h"

#include "DlgBase.h"
#include "ui_CFolderBrowse.h"
#include "zodlg/zodlg.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHeaderView>
#include <QStyle>

#include <cstring>

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kFilledRole = Qt::UserRole + 1;
constexpr QDir::Filters kFolders = QDir::Dirs | QDir::NoDotAndDotDot;

bool HasSubFolders(const QString& path) { return QDirIterator(path, kFolders).hasNext(); }

QString PathOf(const QTreeWidgetItem* item) { return item->data(0, kPathRole).toString(); }

// The child path below a folder ("/" has no separator of its own to add).
QString ChildPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

}  // namespace

int FolderSearchCode(bool subFolders, bool followSettings)
{
    return (followSettings ? 0 : 1) | (subFolders ? 0 : 2);
}

CFolderBrowse::CFolderBrowse(QWidget* parent, const QString& start)
    : QDialog(parent), ui_(std::make_unique<Ui::CFolderBrowse>())
{
    ui_->setupUi(this);
    zodlg::ApplyDialogUnits(this);
    folderIcon_ = style()->standardIcon(QStyle::SP_DirIcon);
    // Deep folders scroll sideways rather than lose the end of their names.
    ui_->c14145->header()->setStretchLastSection(false);
    ui_->c14145->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(ui_->c14145, &QTreeWidget::itemExpanded, this, &CFolderBrowse::OnTvnItemexpanding);
    connect(ui_->c1, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->c2, &QPushButton::clicked, this, &QDialog::reject);
    OnInitDialog(start);
}

CFolderBrowse::~CFolderBrowse() = default;

bool CFolderBrowse::OnInitDialog(const QString& start)
{
    root_ = AddFolder(nullptr, QDir::rootPath(), QDir::rootPath());
    const QString home = QDir::cleanPath(QDir::homePath());
    home_ = AddFolder(nullptr, home, home);
    home_->setExpanded(true);
    const QFileInfo info(start);
    SelectFolder(!start.isEmpty() && info.isDir() ? QDir::cleanPath(info.absoluteFilePath()) : home);
    return true;
}

QTreeWidgetItem* CFolderBrowse::AddFolder(QTreeWidgetItem* parent, const QString& path, const QString& label)
{
    auto* item = new QTreeWidgetItem({label});
    item->setData(0, kPathRole, path);
    item->setIcon(0, folderIcon_);
    item->setChildIndicatorPolicy(HasSubFolders(path) ? QTreeWidgetItem::ShowIndicator
                                                      : QTreeWidgetItem::DontShowIndicator);
    if (parent) {
        parent->addChild(item);
    } else {
        ui_->c14145->addTopLevelItem(item);
    }
    return item;
}

void CFolderBrowse::OnTvnItemexpanding(QTreeWidgetItem* item)
{
    if (item->data(0, kFilledRole).toBool()) return;
    item->setData(0, kFilledRole, true);
    const QString path = PathOf(item);
    const QStringList names = QDir(path).entryList(kFolders, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names) AddFolder(item, ChildPath(path, name), name);
}

void CFolderBrowse::SelectFolder(const QString& path)
{
    // Under the home folder it is found there, elsewhere under "/".
    const QString home = PathOf(home_);
    const bool inHome = path == home || path.startsWith(ChildPath(home, QString()));
    QTreeWidgetItem* item = inHome ? home_ : root_;
    const QString rest = path.mid(PathOf(item).size());
    for (const QString& name : rest.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        item->setExpanded(true);
        QTreeWidgetItem* child = nullptr;
        for (int i = 0; i < item->childCount() && !child; ++i) {
            if (item->child(i)->text(0) == name) child = item->child(i);
        }
        // A hidden folder on the way is shown so that the caller's folder can be.
        if (!child) child = AddFolder(item, ChildPath(PathOf(item), name), name);
        item = child;
    }
    ui_->c14145->setCurrentItem(item);
}

void CFolderBrowse::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (QTreeWidgetItem* item = ui_->c14145->currentItem())
        ui_->c14145->scrollToItem(item, QAbstractItemView::PositionAtCenter);
}

QString CFolderBrowse::Folder() const
{
    const QTreeWidgetItem* item = ui_->c14145->currentItem();
    return item ? PathOf(item) : QString();
}

int CFolderBrowse::Code() const { return FolderSearchCode(ui_->c1005->isChecked(), ui_->c1006->isChecked()); }

int RunFolderBrowse(char* buffer)
{
    // Every way of ending without a folder answers -1: the caller would
    // otherwise search whatever its buffer held.
    if (!buffer || !zodlg::CanShowDialogs()) return -1;
    const QString start = QString::fromUtf8(buffer, static_cast<qsizetype>(strnlen(buffer, ZODLG_FOLDER_BUFFER_SIZE)));
    CFolderBrowse dialog(zodlg::CallerWindow(), start);
    if (dialog.exec() != QDialog::Accepted) return -1;
    const QByteArray path = dialog.Folder().toUtf8();
    // A path the buffer cannot hold with its zero leaves the buffer as it was.
    if (path.isEmpty() || path.size() >= ZODLG_FOLDER_BUFFER_SIZE) return -1;
    std::memcpy(buffer, path.constData(), static_cast<std::size_t>(path.size()) + 1);
    return dialog.Code();
}

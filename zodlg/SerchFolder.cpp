// GetSerchFolder: the folder chooser of the player's folder search, with the
// two boxes that say how the search runs. Runs on the player's application
// object and leaves no widget behind when it returns.
#include "zodlg/zodlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTreeView>
#include <QVBoxLayout>

#include <climits>
#include <cstring>

namespace {

// The answer's code: bit 0 set when "サブフォルダも検索" is off, bit 1 when
// "検索設定に従う" is off.
int BoxCode(bool subFolders, bool followKinds) { return (subFolders ? 0 : 1) | (followKinds ? 0 : 2); }

}  // namespace

extern "C" {

ZODLG_API int GetSerchFolder(char* buffer)
{
    // Widgets need the host's application object, on its thread.
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!buffer || !app || QThread::currentThread() != app->thread()) return -1;

    QDialog dialog(QApplication::activeWindow());
    dialog.setObjectName(QStringLiteral("CFolderBrowse"));
    dialog.setWindowTitle(QStringLiteral("フォルダの検索"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("検索するフォルダを選択して下さい。"), &dialog));

    QFileSystemModel model;
    model.setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    model.setRootPath(QDir::rootPath());
    auto* tree = new QTreeView(&dialog);
    tree->setObjectName(QStringLiteral("SysTreeView32"));
    tree->setModel(&model);
    for (int column = 1; column < model.columnCount(); ++column) tree->hideColumn(column);
    tree->header()->hide();
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(tree);

    auto* subFolders = new QCheckBox(QStringLiteral("サブフォルダも検索"), &dialog);
    subFolders->setObjectName(QStringLiteral("c1005"));
    subFolders->setChecked(true);
    auto* followKinds = new QCheckBox(QStringLiteral("検索設定に従う"), &dialog);
    followKinds->setObjectName(QStringLiteral("c1006"));
    followKinds->setChecked(true);
    layout->addWidget(subFolders);
    layout->addWidget(followKinds);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    dialog.resize(320, 420);

    // The caller's folder is selected; the home folder otherwise.
    const QString initial = QString::fromUtf8(buffer);
    const QString startPath = initial.isEmpty() || !QDir(initial).exists() ? QDir::homePath() : initial;
    tree->setCurrentIndex(model.index(startPath));
    // The folders above it arrive one by one: it is brought into view as they do.
    QObject::connect(&model, &QFileSystemModel::directoryLoaded, &dialog, [&model, tree, startPath] {
        const QModelIndex start = model.index(startPath);
        if (tree->currentIndex() == start) tree->scrollTo(start, QAbstractItemView::PositionAtCenter);
    });

    const bool chosen = dialog.exec() == QDialog::Accepted;
    const QString path = chosen ? model.filePath(tree->currentIndex()) : QString();
    const bool withSub = subFolders->isChecked();
    const bool follow = followKinds->isChecked();
    const QByteArray bytes = path.toUtf8();
    // Nothing chosen, or a path the caller's buffer cannot hold: the buffer stays.
    if (bytes.isEmpty() || bytes.size() >= PATH_MAX) return -1;
    std::memcpy(buffer, bytes.constData(), static_cast<size_t>(bytes.size()) + 1);
    return BoxCode(withSub, follow);
}

}  // extern "C"

#include "platform/dialogs/inputs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
dialogs::FolderAnswerer g_folder;
}  // namespace

void dialogs::SetFolderAnswerer(FolderAnswerer answerer) { g_folder = std::move(answerer); }

QString SelectFolder(QWidget* owner, const QString& caption, const QString& prompt, const QPoint& topLeft)
{
    if (g_folder) return g_folder({caption, prompt, topLeft});

    // A tree of the file system from "/", opened at the home folder, with the
    // selection kept visible when the tree loses the focus.
    QDialog box(owner);
    box.setWindowTitle(caption);
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(new QLabel(prompt, &box));
    auto* model = new QFileSystemModel(&box);
    model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    model->setRootPath(QStringLiteral("/"));
    auto* tree = new QTreeView(&box);
    tree->setModel(model);
    for (int column = 1; column < model->columnCount(); ++column) tree->hideColumn(column);
    tree->header()->hide();
    const QModelIndex home = model->index(QDir::homePath());
    tree->setCurrentIndex(home);
    tree->scrollTo(home);
    layout->addWidget(tree);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &box);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    layout->addWidget(buttons);
    box.resize(320, 400);
    box.move(topLeft);
    if (box.exec() != QDialog::Accepted || !tree->currentIndex().isValid()) return QString();
    return model->filePath(tree->currentIndex());
}

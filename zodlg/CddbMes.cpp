#include "CddbMes.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

void CCddbMes::AddMatch(const std::string& category, const std::string& artist, const std::string& album)
{
    categories_.push_back(category);
    artists_.push_back(artist);
    albums_.push_back(album);
}

bool CCddbMes::DoModal(QWidget* parent)
{
    // Widgets need the host's application object, on its thread; a host
    // without one (no GUI) cannot be asked, which counts as cancelled.
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread()) return false;

    // The row chosen; it outlives the dialog, whose teardown moves the
    // list's current item as the rows go.
    int row = 0;
    QDialog dialog(parent);
    dialog.setObjectName("CCddbMes");
    dialog.setWindowTitle("freedb");
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QTreeWidget(&dialog);
    list->setObjectName("c6015");
    list->setColumnCount(3);
    list->setHeaderLabels({"Category", "Artist", "Album"});
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->header()->setSectionsClickable(false);
    list->setColumnWidth(0, 64);
    list->setColumnWidth(1, 110);
    list->setColumnWidth(2, 110);
    for (std::size_t i = 0; i < categories_.size(); ++i)
        new QTreeWidgetItem(list, {QString::fromStdString(categories_[i]), QString::fromStdString(artists_[i]),
                                   QString::fromStdString(albums_[i])});
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    layout->addWidget(buttons);
    dialog.resize(330, 212);

    QObject::connect(list, &QTreeWidget::currentItemChanged, &dialog, [&row, list](QTreeWidgetItem* item) {
        if (item) row = list->indexOfTopLevelItem(item);
    });
    QObject::connect(list, &QTreeWidget::itemDoubleClicked, &dialog, [&row, list, &dialog](QTreeWidgetItem* item) {
        if (!item) return;
        list->setCurrentItem(item);
        row = list->indexOfTopLevelItem(item);
        dialog.accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    // The first row is current from the start, so that the list taking the
    // focus later does not move the choice.
    if (list->topLevelItemCount() > 0) list->setCurrentItem(list->topLevelItem(0));
    const bool chosen = dialog.exec() == QDialog::Accepted;
    QObject::disconnect(list, nullptr, &dialog, nullptr);
    selected_ = row;
    return chosen;
}

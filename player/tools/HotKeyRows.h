// The assignment list's model over THotKeys (caption, key, gesture letter)
// and the delegate that paints each cell in the colours its dialog gives.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QStyledItemDelegate>

#include <functional>

class THotKeys;

class THotKeyListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit THotKeyListModel(const THotKeys& keys, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The rows changed under the model: every cell is shown again.
    void Refresh();

private:
    const THotKeys& keys_;
};

// A cell's background and text colour.
struct TCellLook {
    QColor Back;
    QColor Text;
};

class THotKeyDelegate : public QStyledItemDelegate {
public:
    using Look = std::function<TCellLook(int row, int column)>;
    THotKeyDelegate(Look look, QObject* parent);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    Look look_;
};

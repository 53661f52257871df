#include "player/tools/HotKeyRows.h"

#include "player/tools/HotKeys.h"

#include <QApplication>
#include <QPainter>

namespace {

const char* const kColumns[] = {"機能", "キー", "マウス"};

}  // namespace

THotKeyListModel::THotKeyListModel(const THotKeys& keys, QObject* parent) : QAbstractTableModel(parent), keys_(keys) {}

int THotKeyListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : keys_.Count(); }

int THotKeyListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant THotKeyListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    const THotKeyRow& row = keys_.Row(index.row());
    switch (index.column()) {
    case 0: return QString::fromUtf8(row.Command->Caption);
    case 1: return row.Key;
    default: return row.Mouse;
    }
}

QVariant THotKeyListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 2) return {};
    return QString::fromUtf8(kColumns[section]);
}

void THotKeyListModel::Refresh()
{
    if (keys_.Count() > 0) emit dataChanged(index(0, 0), index(keys_.Count() - 1, 2));
}

THotKeyDelegate::THotKeyDelegate(Look look, QObject* parent) : QStyledItemDelegate(parent), look_(std::move(look)) {}

void THotKeyDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem o = option;
    initStyleOption(&o, index);
    const bool selected = o.state & QStyle::State_Selected;
    const TCellLook look = selected ? TCellLook{o.palette.color(QPalette::Highlight),
                                                o.palette.color(QPalette::HighlightedText)}
                                    : look_(index.row(), index.column());
    painter->save();
    painter->fillRect(o.rect, look.Back);
    painter->setPen(look.Text);
    painter->setFont(o.font);
    const QRect text = o.rect.adjusted(4, 0, -2, 0);
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                      o.fontMetrics.elidedText(o.text, Qt::ElideRight, text.width()));
    painter->restore();
}

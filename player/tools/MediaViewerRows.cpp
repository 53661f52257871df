#include "player/tools/MediaViewerRows.h"

#include "player/tools/MediaLibrary.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>

int TLibraryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : library_.Count();
}

QVariant TLibraryModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= library_.Count()) return {};
    return library_.Items()[static_cast<size_t>(index.row())].Name;
}

void TLibraryModel::Reload()
{
    beginResetModel();
    endResetModel();
}

void TViewerDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (!index.isValid()) return;
    const TRowLook look = lookOf_(index.row());
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    painter->save();
    painter->fillRect(option.rect, palette.brush(selected ? QPalette::Highlight : QPalette::Base));

    QFont font = option.font;
    QColor colour = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    if (look.Marked) {
        if (style_.MarkBold) font.setBold(true);
        if (!selected) colour = style_.MarkColour;
    }
    painter->setFont(font);
    painter->setPen(colour);

    QRect text = option.rect;
    if (style_.NumberWidth > 0) {
        // The number stands right-aligned in its column.
        const QRect number(text.left(), text.top(), style_.NumberWidth, text.height());
        painter->drawText(number, Qt::AlignRight | Qt::AlignVCenter, look.Number);
        text.setLeft(number.right() + 1 + 1);
    }
    if (style_.IconColumn > 0) {
        if (!look.Icon.isNull()) {
            const int side = std::min(style_.IconColumn, text.height());
            const QRect icon(text.left(), text.top() + (text.height() - side) / 2, side, side);
            look.Icon.paint(painter, icon);
        }
        text.setLeft(text.left() + style_.IconColumn);
    }
    text.setLeft(text.left() + 2);
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, look.Text);
    painter->restore();
}

QSize TViewerDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    const int text = QFontMetrics(option.font).height() + 2;
    return QSize(100, std::max(text, style_.IconColumn > 0 ? std::min(style_.IconColumn, 16) + 2 : 0));
}

// The media library window's list: a model over the library's entries
// (kinds 0 and 1; kind 2 shows the play list's own model) and the delegate
// that draws a row as the window wants it: icon, number column, marked
// entry in bold and the marking colour, selection colours.
#pragma once

#include <QAbstractListModel>
#include <QColor>
#include <QIcon>
#include <QStyledItemDelegate>

#include <functional>

class TMediaLibrary;

class TLibraryModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit TLibraryModel(const TMediaLibrary& library, QObject* parent = nullptr)
        : QAbstractListModel(parent), library_(library)
    {
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The library's entries changed as a whole (loaded, sorted, cleared).
    void Reload();
    // Around the removal of one entry.
    void BeginRemove(int row) { beginRemoveRows(QModelIndex(), row, row); }
    void EndRemove() { endRemoveRows(); }

private:
    const TMediaLibrary& library_;
};

// How one row looks; the window says it, the delegate draws it.
struct TRowLook {
    QString Text;
    QString Number;      // kind 2: the entry's number
    QIcon Icon;          // null: none drawn
    bool Marked = false; // the playing entry
};

class TViewerDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using LookOf = std::function<TRowLook(int row)>;
    struct Style {
        int IconColumn = 0;     // width of the icon column; 0 without icons
        int NumberWidth = 0;    // kind 2's number column
        bool MarkBold = true;
        QColor MarkColour;
    };

    TViewerDelegate(LookOf lookOf, Style style, QObject* parent = nullptr)
        : QStyledItemDelegate(parent), lookOf_(std::move(lookOf)), style_(std::move(style))
    {
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    LookOf lookOf_;
    Style style_;
};

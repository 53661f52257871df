// The list editor's table: a model over its rows (title, kind, artist and
// path columns; titles editable in the library modes) and the view, which
// reorders rows by dragging them with the mouse inside itself.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QTreeView>

#include <functional>

class TListEditRows;

class TListEditModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { ColumnTitle, ColumnKind, ColumnArtist, ColumnPath, ColumnCount };

    TListEditModel(TListEditRows& rows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The rows changed as a whole, or rows first .. last changed in place.
    void Reload();
    void RowsChanged(int first, int last);
    void SetCaption(int column, const QString& caption);
    void SetEditable(bool editable) { editable_ = editable; }
    // Icons are asked for only while shown; `iconOf` gives a row's icon.
    void SetIcons(std::function<QVariant(int row)> iconOf);
    // A title was edited to `text` (the rows are not changed by the model).
    std::function<void(int row, const QString& text)> OnEdited;

private:
    TListEditRows& rows_;
    QStringList captions_;
    bool editable_ = false;
    std::function<QVariant(int row)> iconOf_;
};

// The table. A left press on a row and a move of 10 pixels start dragging
// its selection; the form says where it may land and moves the rows on the
// release. Other presses, clicks and keys behave as in any table.
class TListEditView : public QTreeView {
    Q_OBJECT

public:
    using QTreeView::QTreeView;
    using QTreeView::edit;

    struct DragHandlers {
        std::function<void(const QPoint& pos)> Start;
        std::function<void(const QPoint& pos, Qt::KeyboardModifiers modifiers)> Move;
        std::function<void(const QPoint& pos)> Drop;
        // Where the pointer passes without a dragged row, while a drag is on.
        std::function<void()> MoveWithoutRow;
    };
    void SetDragHandlers(DragHandlers handlers) { drag_ = std::move(handlers); }
    bool Dragging() const { return dragging_; }
    // Ends a drag without a drop.
    void CancelDrag();
    // Ends an edit of a title without taking its text.
    void CancelEdit();
    // An edit of a title begins or ends.
    std::function<void(bool editing)> OnEditing;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    DragHandlers drag_;
    int pressedRow_ = -1;
    QPoint pressedAt_;
    bool dragging_ = false;
};

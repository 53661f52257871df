// The bookmark editor: a modeless tool window of the main window listing
// the open file's or DVD's bookmarks or repeat sections, or the files that
// have bookmarks; it makes, plays, annotates and deletes them. The main
// window keeps its bookmark menus disabled while it is open and calls
// Refresh after changes; closing it posts the main window a notice, which
// deletes it.
#pragma once

#include "player/tools/BookmarkEditor.h"

#include <QMainWindow>

#include <memory>

namespace Ui {
class TBookmarkDlg;
}
class IToolHost;
class QTreeWidget;

class TBookmarkDlg : public QMainWindow {
    Q_OBJECT
public:
    TBookmarkDlg(IToolHost& host, bool sections);
    ~TBookmarkDlg() override;

    QTreeWidget* ListBkmrk() const;
    const TBookmarkEditor& Editor() const { return editor_; }

    // Called by the main window after its bookmarks changed.
    void Refresh();

    void ActMakeBkmrkExecute();
    void ActDeleteExecute();
    void ActDeleteAllExecute();
    void InputNotesExecute();
    void ActShowTitleExecute();
    void ShowBmkClick();
    void ShowRepeatClick();
    void N7Click();
    void ListBkmrkDblClick();

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void SetMode(TBookmarkEditor::Mode mode);
    void ShowRows();
    int SelectedRow() const;
    int Ask(const QString& text);

    IToolHost& host_;
    std::unique_ptr<Ui::TBookmarkDlg> ui_;
    TBookmarkEditor editor_;
};

// The list editor: a table in which the user builds, sorts, reorders,
// renames and saves a play-list file, or edits the media library or the
// folder library, and hands a list to the player. The rows and what is
// done to them live in TListEditRows; this form shows them, keeps its
// placement, columns and font under `ListEditer` and talks to the main
// window through IToolHost.
#pragma once

#include "player/tools/ListEditRows.h"

#include <QMainWindow>
#include <QStringList>

#include <memory>
#include <vector>

class IToolHost;
class QAction;
class QTimer;
class QLabel;
class TListEditModel;
namespace Ui {
class TListEditForm;
}

class TListEditForm : public QMainWindow {
    Q_OBJECT

public:
    // Made in the host's ListEditMode.
    explicit TListEditForm(IToolHost& host);
    ~TListEditForm() override;

    int Mode() const { return rows_.Mode(); }
    const TListEditRows& Rows() const { return rows_; }
    bool Modified() const { return rows_.Modified; }
    const QString& ListPath() const { return listPath_; }
    bool Editing() const { return editing_; }
    Ui::TListEditForm* Form() const { return ui_.get(); }
    QLabel* LblFontSize() const { return lblFontSize_; }
    QTimer* Timer() const { return timer_; }

    // A ".zol" or ".m3u" list replaces the rows (mode 1: the main window's
    // opened list becomes one row).
    void OpenListFile(const QString& path);
    // Paths dropped on the window or handed over, as a file manager drops them.
    void AddDroppedPaths(const QStringList& paths);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // ---- the form's handlers ----
    // False when the window stays open.
    bool FormClose();
    void FormDestroy();
    void FormDeactivate();
    void AcNewListExecute();
    void AcOpenListExecute();
    void AcOpenFileExecute();
    void AcEditListExecute();
    void AcAddPlayingFileExecute();
    void AcAddAllFilesExecute();
    // True when the rows were written.
    bool AcSaveListExecute();
    bool AcSaveToNewExecute();
    void AcMoveUpExecute();
    void AcMoveDownExecute();
    void AcDeleteExecute();
    void AcToPlayListExecute();
    void AcDeleteNoFileExecute();
    void AcShowGridExecute();
    void AcSelectAllExecute();
    void AcCapDlgExecute();
    void AcFileDlgExecute();
    void AcListDlgExecute();
    void AcChangeWindowExecute();
    void miShuffleClick();
    void N3Click();
    void N4Click();
    void FontDialogApply(const QFont& font);
    void miShowIconClick();
    void MiRenameClick();
    void MiEditListClick();
    void N5Click();
    void N8Click();
    void PopupMenuPopup(const QPoint& pos);
    void ListViewForEditColumnClick(int column);
    void ListViewForEditEdited(int row, const QString& text);
    bool ListViewForEditKeyDown(QKeyEvent* event);
    void SetEditingState(bool enabled);
    void TimerTimer();

    // ---- dragging rows ----
    void DragStart(const QPoint& pos);
    void DragOver(const QPoint& pos, Qt::KeyboardModifiers modifiers);
    void DragDrop(const QPoint& pos);
    void EndDrag();

    // ---- operations ----
    void ReadSettings();
    void WriteSettings();
    void ApplyMode();
    void Reload();
    void UpdateCountLabel();
    void RestoreColumnCaptions();
    void ShowCaption(bool insert);
    std::vector<int> SelectedRows() const;
    void SelectRows(const std::vector<int>& rows);
    bool SaveTo(const QString& path);
    QString AskSavePath();
    void ChooseFolderRow();
    void OpenDialogShow(QWidget* dialog);
    void ApplyListFont(const QFont& font);
    QVariant RowIcon(int row);
    // The first enabled, visible action that has the key's code takes it.
    bool DispatchKey(QKeyEvent* event);
    void Warn(const QString& text, unsigned icon);

    IToolHost& host_;
    std::unique_ptr<Ui::TListEditForm> ui_;
    TListEditRows rows_;
    TListEditModel* model_ = nullptr;
    QLabel* lblFontSize_ = nullptr;
    QTimer* timer_ = nullptr;
    QString listPath_;
    QString libraryPath_;
    QString normalCaption_;
    QString insertCaption_;
    bool editing_ = false;
    bool insertAtTop_ = false;
    int dropTarget_ = -1;
    int draggedRow_ = -1;
    QPoint dragPos_;
    Qt::KeyboardModifiers dragModifiers_;
    bool sortDescending_[4] = {};
    int lastSortColumn_ = -1;
    bool closing_ = false;
    bool destroyed_ = false;
    // The font values kept as read and written back.
    unsigned fontColor_ = 0;
    unsigned fontCharset_ = 128;
    QList<QAction*> keyActions_;
};

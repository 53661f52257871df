// CFolderBrowse: the folder chooser of the player's folder search. A tree
// of folders only (hidden ones left out) with two top items, the file
// system's root "/" and the home folder, which starts open; the caller's
// folder is selected at start when it exists, else the home folder. The
// boxes 1005 "サブフォルダも検索" and 1006 "検索設定に従う" say how the search
// runs. Each item keeps its folder's path; the items under a folder are
// read when it is first opened.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

#include <memory>

class QTreeWidgetItem;

namespace Ui {
class CFolderBrowse;
}

// The answer's code for the two boxes: 0 both checked, 1 only
// "サブフォルダも検索", 2 only "検索設定に従う", 3 neither.
int FolderSearchCode(bool subFolders, bool followSettings);

class CFolderBrowse : public QDialog {
public:
    CFolderBrowse(QWidget* parent, const QString& start);
    ~CFolderBrowse() override;

    // The selected item's folder; empty when none is selected.
    QString Folder() const;
    int Code() const;

protected:
    bool OnInitDialog(const QString& start);
    void OnTvnItemexpanding(QTreeWidgetItem* item);
    void showEvent(QShowEvent* event) override;

private:
    QTreeWidgetItem* AddFolder(QTreeWidgetItem* parent, const QString& path, const QString& label);
    void SelectFolder(const QString& path);
    std::unique_ptr<Ui::CFolderBrowse> ui_;
    QTreeWidgetItem* home_ = nullptr;
    QTreeWidgetItem* root_ = nullptr;
    QIcon folderIcon_;
};

// The export's flow over the caller's buffer of ZODLG_FOLDER_BUFFER_SIZE bytes.
int RunFolderBrowse(char* buffer);

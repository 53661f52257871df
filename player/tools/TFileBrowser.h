// The file browser: a tree of the desktop's namespace (platform/shell's
// provider) from the desktop down to drives, folders and the media files of
// the Extension list. Opening a file plays it in the main window, an ".ifo"
// starts its DVD. The "フォルダ" menu keeps folder shortcuts in
// "Folders.zorf"; the tree follows volumes that come and go. A folder is
// listed when it is expanded and forgotten when it is collapsed, so every
// expansion shows it as it is now.
#pragma once

#include "platform/shell/namespace.h"

#include <QMainWindow>
#include <QSet>
#include <QTreeWidgetItem>

#include <memory>

class IToolHost;
class QTimer;
namespace Ui {
class TFileBrowser;
}

// What a node of the tree stands for; owned by its node.
struct TShellItemData {
    shell::ShellItem Item;
    bool Bound = false;      // a folder that can be listed (a folder of the shell's own)
    bool Filled = false;     // the children are listed
    bool IconSet = false;    // the images are fetched
    bool Refresh = false;    // listed anew at every expansion, always with an expand button
};

class TShellNode : public QTreeWidgetItem {
public:
    explicit TShellNode(TShellItemData data);
    QVariant data(int column, int role) const override;
    TShellItemData Data;

private:
    mutable QIcon icon_;
};

class TFileBrowser : public QMainWindow {
    Q_OBJECT

public:
    static constexpr const char* kKey = "Software\\Bruvo\\ZoDVD\\Browser";
    // Tries of the drive timers before they give up.
    static constexpr int kDriveTries = 30;

    explicit TFileBrowser(IToolHost& host);
    ~TFileBrowser() override;

    Ui::TFileBrowser* Form() const { return ui_.get(); }
    TShellNode* RootNode() const { return root_; }
    QString BrowsePath() const { return browsePath_; }
    // The node path of `node`: display names leaf first, joined by "/".
    static QString BuildNodePath(const QTreeWidgetItem* node, bool fromSelf);
    // The drive timers (30 adds an arrived volume, 31 renames drives).
    bool DriveTimerActive(int id) const;
    shell::MountWatcher* Watcher() const { return watcher_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // ---- the form (TFileBrowser.cpp) ----
    void FormShow();
    void FormClose();
    void FormDestroy();
    void BuildExtensionList();
    bool Matches(const QString& extension) const;
    void FillChildren(TShellNode* node);
    void ProbeChildren(TShellNode* node);
    TShellNode* MakeNode(const shell::ShellItem& item) const;
    void TreeViewExpanding(QTreeWidgetItem* item);
    void TreeViewCollapsed(QTreeWidgetItem* item);
    void TreeViewDblClick();
    void OpenSelectedItem();
    void SelectNodePath(const QString& path);
    void ListRootAnew();
    static void DeleteChildren(QTreeWidgetItem* node);
    TShellNode* Selected() const;

    // ---- menus, shortcuts, drives (TFileBrowserCommands.cpp) ----
    void ConnectCommands();
    void MiRefreshClick();
    void N1Click();
    void N2Click();
    void MiMainClick();
    void MiFolderClick();
    void MiResistFolderClick();
    void FolderShortcutClick(QAction* item);
    void N6Click();
    void TreeViewMouseUp(const QPoint& pos);
    void RenameNode(TShellNode* node);
    TShellNode* ComputerNode() const;
    void VolumeArrived(bool medium);
    void VolumeRemoved(const QString& mountPoint, bool medium);
    void AddArrivedDrive();
    bool UpdateDriveNames();
    void RemoveDriveNode(const QString& mountPoint);
    QAction* ShortcutSeparator() const;

    IToolHost& host_;
    std::unique_ptr<Ui::TFileBrowser> ui_;
    TShellNode* root_ = nullptr;
    QString browsePath_;
    QSet<QString> extensionList_;
    bool active_ = false;
    bool destroyed_ = false;
    bool folderMenuBuilt_ = false;              // MiFolder's Tag
    Qt::KeyboardModifiers menuModifiers_;       // held at the last press in the folder menu
    shell::MountWatcher* watcher_ = nullptr;
    QTimer* timer30_ = nullptr;
    QTimer* timer31_ = nullptr;
    int tries30_ = 0;
    int tries31_ = 0;
};

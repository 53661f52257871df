// The file browser's menus: refresh, the displayed file types, the hidden
// window keys, the folder shortcuts of "Folders.zorf"; its context menu; and
// the volumes that come and go under "コンピュータ".
#include "player/tools/TFileBrowser.h"

#include "platform/dialogs/dialogs.h"
#include "platform/dialogs/inputs.h"
#include "platform/paths/paths.h"
#include "platform/shell/fileops.h"
#include "player/tools/LibraryFile.h"
#include "player/tools/ToolHost.h"
#include "player/units/Zodlg.h"
#include "ui_TFileBrowser.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>

void TFileBrowser::ConnectCommands()
{
    connect(ui_->MiRefresh, &QAction::triggered, this, &TFileBrowser::MiRefreshClick);
    connect(ui_->N2, &QAction::triggered, this, &TFileBrowser::N2Click);
    connect(ui_->MiMain, &QAction::triggered, this, &TFileBrowser::MiMainClick);
    connect(ui_->MiList, &QAction::triggered, this, [this] { host_.MiListEditClick(); });
    connect(ui_->MiCap, &QAction::triggered, this, [this] { host_.MiCaptureClick(); });
    connect(ui_->MiFBrowser, &QAction::triggered, this, &QWidget::close);
    connect(ui_->MiResistFolder, &QAction::triggered, this, &TFileBrowser::MiResistFolderClick);
    connect(ui_->N6, &QAction::triggered, this, &TFileBrowser::N6Click);
    connect(ui_->N1, &QMenu::aboutToShow, this, &TFileBrowser::N1Click);
    connect(ui_->MiFolder, &QMenu::aboutToShow, this, &TFileBrowser::MiFolderClick);
    ui_->MiFolder->installEventFilter(this);
    connect(ui_->TreeView, &QWidget::customContextMenuRequested, this, &TFileBrowser::TreeViewMouseUp);
}

void TFileBrowser::MiRefreshClick()
{
    const QString path = BuildNodePath(Selected(), true);
    ListRootAnew();
    SelectNodePath(path);
}

void TFileBrowser::N1Click() { host_.KeepPointerVisible(); }

void TFileBrowser::N2Click()
{
    host_.SetDialogOpen(true);
    TZodlgLibrary library;
    const auto showExtDlg = library.Find<ShowExtDlgProc>("ShowExtDlg");
    if (showExtDlg && showExtDlg()) {
        host_.ClearExtensionListCache();
        BuildExtensionList();
    }
    host_.SetDialogOpen(false);
}

void TFileBrowser::MiMainClick()
{
    if (host_.FocusToolWindow(TToolWindow::PlayListEditor)) return;
    if (host_.FocusToolWindow(TToolWindow::Capture)) return;
    host_.FocusMainWindow();
}

void TFileBrowser::N6Click()
{
    MessageBox(this, QStringLiteral("コントロールキーを押しながら\nメニューから削除したいアイテムを選んでください。"),
               QStringLiteral("登録したフォルダの解除について"), MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
}

// ---- folder shortcuts ----

QAction* TFileBrowser::ShortcutSeparator() const
{
    const QList<QAction*> items = ui_->MiFolder->actions();
    for (QAction* item : items)
        if (item->isSeparator()) return item;
    return nullptr;
}

void TFileBrowser::MiFolderClick()
{
    host_.KeepPointerVisible();
    menuModifiers_ = {};
    if (folderMenuBuilt_) return;
    const QList<QAction*> items = ui_->MiFolder->actions();
    const qsizetype first = items.indexOf(ShortcutSeparator()) + 1;
    for (qsizetype i = first; i < items.size(); ++i) delete items.at(i);
    folderMenuBuilt_ = true;
    const std::vector<TLibraryEntry> lines = TLibraryFile::InListFiles(TLibraryFile::kFolders).Read();
    for (size_t i = 0; i < lines.size(); ++i) {
        QAction* item = ui_->MiFolder->addAction(lines[i].Name);
        item->setProperty("Tag", static_cast<int>(i));
        item->setProperty("Path", lines[i].Path);
        connect(item, &QAction::triggered, this, [this, item] { FolderShortcutClick(item); });
    }
}

void TFileBrowser::MiResistFolderClick()
{
    TShellNode* node = Selected();
    if (!node) return;
    const QTreeWidgetItem* folder = node->Data.Bound ? node : node->parent();
    if (!folder) return;
    const QString path = BuildNodePath(folder, true);
    QString name = folder->text(0);
    if (!InputQuery(this, QStringLiteral("フォルダの登録"), QStringLiteral("登録名を入力してください"), &name)) return;
    // The menu is read from the file when next opened: another window may have changed it.
    if (TLibraryFile::InListFiles(TLibraryFile::kFolders).Append({name, path})) folderMenuBuilt_ = false;
}

void TFileBrowser::FolderShortcutClick(QAction* item)
{
    const Qt::KeyboardModifiers modifiers = menuModifiers_ | QGuiApplication::keyboardModifiers();
    const TLibraryEntry entry{item->text(), item->property("Path").toString()};
    if (modifiers & Qt::ControlModifier) {
        // The line itself goes, wherever another window may have moved it.
        TLibraryFile::InListFiles(TLibraryFile::kFolders).Remove(entry);
        folderMenuBuilt_ = false;
        return;
    }
    if (entry.Path.isEmpty()) return;
    ListRootAnew();
    SelectNodePath(entry.Path);
}

// ---- the context menu ----

void TFileBrowser::TreeViewMouseUp(const QPoint& pos)
{
    host_.KeepPointerVisible();
    auto* node = static_cast<TShellNode*>(ui_->TreeView->itemAt(pos));
    if (!node) return;
    ui_->TreeView->setCurrentItem(node);
    if (!node->parent()) return;
    const QString path = node->Data.Item.parsingName;
    const bool wasFolder = IsExistingFolder(path);
    const bool wasFile = IsExistingFile(path);
    if (!wasFolder && !wasFile) return;

    QMenu menu(this);
    QAction* open = menu.addAction(QStringLiteral("開く"));
    QAction* withApp = menu.addAction(QStringLiteral("アプリケーションで開く"));
    QAction* explore = menu.addAction(QStringLiteral("フォルダを開く"));
    menu.addSeparator();
    QAction* rename = menu.addAction(QStringLiteral("名前の変更"));
    QAction* trash = menu.addAction(QStringLiteral("ゴミ箱に移動"));
    menu.addSeparator();
    QAction* properties = menu.addAction(QStringLiteral("プロパティ"));
    open->setEnabled(wasFile);
    rename->setEnabled(node->Data.Item.special == shell::ShellItem::Special::None);
    trash->setEnabled(node->Data.Item.special == shell::ShellItem::Special::None);
    menu.setObjectName(QStringLiteral("ContextMenu"));

    QAction* chosen = menu.exec(ui_->TreeView->viewport()->mapToGlobal(pos));
    if (chosen == open) OpenSelectedItem();
    else if (chosen == withApp) shell::OpenWithDefaultApplication(path);
    else if (chosen == explore) wasFolder ? shell::ExploreFolder(path) : shell::ExploreFolder(ExtractFileDir(path), path);
    else if (chosen == rename) RenameNode(node);
    else if (chosen == trash) shell::MoveToTrash(path);
    else if (chosen == properties) shell::ShowProperties(path);
    if (!chosen || chosen == open) return;
    // An item that was deleted or given another name leaves the tree.
    if ((wasFolder && !IsExistingFolder(path)) || (wasFile && !IsExistingFile(path) && !QFileInfo(path).isSymLink()))
        delete node;
}

void TFileBrowser::RenameNode(TShellNode* node)
{
    const QString path = node->Data.Item.parsingName;
    QString name = node->Data.Item.displayName;
    if (!InputQuery(this, QStringLiteral("名前の変更"), QStringLiteral("新しい名前を入力してください。"), &name) ||
        name == node->Data.Item.displayName)
        return;
    const QString folder = ExtractFileDir(path);
    const char* refusal = nullptr;
    if (!shell::IsUsableFileName(folder, name))
        refusal = "このファイル名は使えません。";
    else if (shell::RenameNoReplace(path, (folder == QLatin1String("/") ? QString() : folder) + QLatin1Char('/') + name) ==
             shell::RenameResult::Exists)
        refusal = "同じファイル名が既にあるため変更できません。";
    if (refusal)
        MessageBox(this, QString::fromUtf8(refusal), QStringLiteral("情報"), MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
}

// ---- volumes ----

TShellNode* TFileBrowser::ComputerNode() const
{
    for (int i = 0; i < root_->childCount(); ++i) {
        auto* node = static_cast<TShellNode*>(root_->child(i));
        if (node->Data.Item.special == shell::ShellItem::Special::Computer) return node;
    }
    return nullptr;
}

bool TFileBrowser::DriveTimerActive(int id) const
{
    return id == 30 ? timer30_->isActive() : id == 31 ? timer31_->isActive() : false;
}

void TFileBrowser::VolumeArrived(bool medium)
{
    QTimer* timer = medium ? timer31_ : timer30_;
    (medium ? tries31_ : tries30_) = 0;
    timer->start();
}

void TFileBrowser::VolumeRemoved(const QString& mountPoint, bool medium)
{
    if (medium) UpdateDriveNames();
    else RemoveDriveNode(mountPoint);
}

void TFileBrowser::AddArrivedDrive()
{
    TShellNode* computer = ComputerNode();
    if (root_->childCount() == 0 || (computer && !computer->Data.Filled)) {
        timer30_->stop();
        return;
    }
    if (computer) {
        for (const shell::ShellItem& item : shell::Children(computer->Data.Item)) {
            bool known = false;
            for (int i = 0; i < computer->childCount() && !known; ++i) {
                const shell::ShellItem& other = static_cast<TShellNode*>(computer->child(i))->Data.Item;
                known = other.parsingName == item.parsingName && other.special == item.special;
            }
            if (known) continue;
            timer30_->stop();
            // Added at the end, as it came.
            TShellNode* node = MakeNode(item);
            computer->addChild(node);
            ProbeChildren(node);
            return;
        }
    }
    if (++tries30_ >= kDriveTries) timer30_->stop();
}

bool TFileBrowser::UpdateDriveNames()
{
    TShellNode* computer = ComputerNode();
    if (root_->childCount() == 0 || (computer && !computer->Data.Filled)) return true;
    if (!computer) return false;
    bool changed = false;
    for (const shell::ShellItem& item : shell::Children(computer->Data.Item)) {
        if (item.device.isEmpty()) continue;
        for (int i = 0; i < computer->childCount(); ++i) {
            auto* node = static_cast<TShellNode*>(computer->child(i));
            if (node->Data.Item.device != item.device) continue;
            if (node->Data.Item.displayName != item.displayName || node->Data.Item.parsingName != item.parsingName) {
                // A medium came or went: the node stands for what the drive holds now.
                node->setExpanded(false);
                DeleteChildren(node);
                node->Data = {item, shell::CanList(item), false, false, item.refresh};
                node->setText(0, item.displayName);
                ProbeChildren(node);
                changed = true;
            }
            break;
        }
    }
    return changed;
}

void TFileBrowser::RemoveDriveNode(const QString& mountPoint)
{
    TShellNode* computer = ComputerNode();
    if (!computer || !computer->Data.Filled || mountPoint.isEmpty()) return;
    for (int i = 0; i < computer->childCount(); ++i) {
        auto* node = static_cast<TShellNode*>(computer->child(i));
        if (node->Data.Item.parsingName == mountPoint) {
            delete node;
            return;
        }
    }
}

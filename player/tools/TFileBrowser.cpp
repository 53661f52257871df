#include "player/tools/TFileBrowser.h"

#include "common/Reghelp.h"
#include "platform/dialogs/dialogs.h"
#include "platform/keys/keys.h"
#include "platform/paths/paths.h"
#include "platform/shell/icons.h"
#include "player/tools/ToolHost.h"
#include "player/tools/WindowPlacement.h"
#include "player/units/PlaylistModel.h"
#include "player/units/Shortcuts.h"
#include "ui_TFileBrowser.h"

#include <QFileIconProvider>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>

namespace {

bool IsArchive(const QString& extension)
{
    return extension == QLatin1String("zip") || extension == QLatin1String("cab");
}

QIcon ThemeIcon(const char* name, QAbstractFileIconProvider::IconType fallback)
{
    static QFileIconProvider provider;
    return QIcon::fromTheme(QLatin1String(name), provider.icon(fallback));
}

// The icon with a small arrow in its lower left corner: the item is a link.
QIcon WithLinkEmblem(const QIcon& icon)
{
    QPixmap pixmap = icon.pixmap(16, 16);
    if (pixmap.isNull()) pixmap = QPixmap(16, 16), pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(0, 9, 6, 6);
    painter.drawLine(1, 14, 5, 10);
    painter.drawLine(3, 10, 5, 10);
    painter.drawLine(5, 10, 5, 12);
    return QIcon(pixmap);
}

QIcon IconOf(const shell::ShellItem& item)
{
    using Special = shell::ShellItem::Special;
    switch (item.special) {
    case Special::Desktop: return ThemeIcon("user-desktop", QAbstractFileIconProvider::Desktop);
    case Special::Home: return ThemeIcon("user-home", QAbstractFileIconProvider::Folder);
    case Special::Computer: return ThemeIcon("computer", QAbstractFileIconProvider::Computer);
    case Special::FileSystem: return ThemeIcon("drive-harddisk", QAbstractFileIconProvider::Drive);
    case Special::Drive: return ThemeIcon("drive-optical", QAbstractFileIconProvider::Drive);
    case Special::Volume: return ThemeIcon("drive-removable-media", QAbstractFileIconProvider::Drive);
    case Special::None: break;
    }
    shell::IconProvider& icons = shell::IconProvider::Shared();
    if (item.folder) return ThemeIcon("folder", QAbstractFileIconProvider::Folder);
    // Files by their type alone: a folder of thousands stays quick.
    return icons.Icon(icons.IndexForExtension(GetFileExtension(item.parsingName)));
}

}  // namespace

// ---- the node ----

TShellNode::TShellNode(TShellItemData data) : Data(std::move(data)) { setText(0, Data.Item.displayName); }

QVariant TShellNode::data(int column, int role) const
{
    if (role == Qt::DecorationRole && column == 0) {
        // Fetched when the node is first drawn, and again after a rename.
        if (!Data.IconSet) {
            const_cast<TShellNode*>(this)->Data.IconSet = true;
            icon_ = IconOf(Data.Item);
            if (Data.Item.link) icon_ = WithLinkEmblem(icon_);
        }
        return icon_;
    }
    return QTreeWidgetItem::data(column, role);
}

// ---- the window ----

TFileBrowser::TFileBrowser(IToolHost& host)
    : QMainWindow(host.HostWindow(), Qt::Window), host_(host), ui_(std::make_unique<Ui::TFileBrowser>())
{
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose, false);
    TWindowPlacement(kKey, QRect(100, 100, 250, 450)).Restore(this);
    if (const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kKey, KEY_READ)) {
        DWORD type = 0, size = 0;
        // An empty text (one terminating byte) is no path.
        if (RegQueryValueEx(key.get(), "Path", nullptr, &type, nullptr, &size) == ERROR_SUCCESS && size >= 2)
            RegReadString(key.get(), "Path", &browsePath_, size + 1);
    }

    BuildExtensionList();
    QTreeWidget* tree = ui_->TreeView;
    root_ = new TShellNode({shell::DesktopItem(), true, false, false, false});
    root_->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    tree->addTopLevelItem(root_);

    // The player's window keys work here too: the hidden items carry them.
    ui_->MiChange->menuAction()->setVisible(false);
    const std::pair<QAction*, const char*> copied[] = {{ui_->MiMain, "miChangeWindow"},
                                                       {ui_->MiList, "miShowEditList"},
                                                       {ui_->MiCap, "miShowCapDlg"},
                                                       {ui_->MiFBrowser, "miShowBrowser"}};
    for (const auto& [item, name] : copied) {
        const QAction* source = host_.HostWindow() ? host_.HostWindow()->findChild<QAction*>(name) : nullptr;
        SetItemShortCut(item, source ? ItemShortCut(source) : 0);
    }

    connect(tree, &QTreeWidget::itemExpanded, this, &TFileBrowser::TreeViewExpanding);
    connect(tree, &QTreeWidget::itemCollapsed, this, &TFileBrowser::TreeViewCollapsed);
    connect(tree, &QTreeWidget::itemDoubleClicked, this, [this] { TreeViewDblClick(); });
    connect(tree, &QTreeWidget::currentItemChanged, this, [](QTreeWidgetItem* current) {
        // The chosen folder opens as it is chosen, with the mouse or the keys.
        if (current && current->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator) current->setExpanded(true);
    });
    tree->installEventFilter(this);
    installEventFilter(this);
    ConnectCommands();

    watcher_ = new shell::MountWatcher(this);
    connect(watcher_, &shell::MountWatcher::Arrived, this, &TFileBrowser::VolumeArrived);
    connect(watcher_, &shell::MountWatcher::Removed, this, &TFileBrowser::VolumeRemoved);
    timer30_ = new QTimer(this);
    timer31_ = new QTimer(this);
    for (QTimer* t : {timer30_, timer31_}) t->setInterval(1000);
    connect(timer30_, &QTimer::timeout, this, &TFileBrowser::AddArrivedDrive);
    connect(timer31_, &QTimer::timeout, this, [this] {
        if (UpdateDriveNames() || ++tries31_ >= kDriveTries) timer31_->stop();
    });
}

TFileBrowser::~TFileBrowser() { FormDestroy(); }

void TFileBrowser::FormDestroy()
{
    if (destroyed_) return;
    destroyed_ = true;
    if (isMaximized()) return;
    TWindowPlacement(kKey, QRect(100, 100, 250, 450)).Save(this);
    if (const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kKey, KEY_WRITE)) RegWriteString(key.get(), "Path", browsePath_);
}

void TFileBrowser::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFileBrowser::FormShow()
{
    ui_->TreeView->setFocus();
    root_->setExpanded(true);
    FillChildren(root_);
    SelectNodePath(browsePath_);
}

void TFileBrowser::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    FormClose();
}

void TFileBrowser::FormClose() { host_.PostToolNotice(ToolNotice::FileBrowserClosed, 0); }

void TFileBrowser::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) active_ = isActiveWindow();
}

bool TFileBrowser::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == ui_->TreeView || watched == this)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            close();
            return true;
        }
        if (watched == ui_->TreeView && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            OpenSelectedItem();
            return true;
        }
        QMenu* const menus[] = {ui_->N1, ui_->MiFolder};
        if (DispatchShortCut(menus, keys::ShortCutOf(*key))) return true;
    }
    if ((event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::KeyPress) && watched == ui_->MiFolder)
        menuModifiers_ = static_cast<QInputEvent*>(event)->modifiers();
    return QMainWindow::eventFilter(watched, event);
}

// ---- listing ----

void TFileBrowser::BuildExtensionList()
{
    // "*.avi;*.mpg" gives the pieces "avi" and "mpg", compared as written.
    QString text = host_.ReadExtensionList();
    text.remove(QLatin1Char('*'));
    text.remove(QLatin1Char(';'));
    if (text.startsWith(QLatin1Char('.'))) text.remove(0, 1);
    const QStringList pieces = text.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    extensionList_ = QSet<QString>(pieces.begin(), pieces.end());
}

bool TFileBrowser::Matches(const QString& extension) const
{
    return !extension.isEmpty() && extensionList_.contains(extension);
}

TShellNode* TFileBrowser::MakeNode(const shell::ShellItem& item) const
{
    auto* node = new TShellNode({item, item.folder && shell::CanList(item), false, false, item.refresh});
    if (!node->Data.Bound) node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    return node;
}

void TFileBrowser::FillChildren(TShellNode* node)
{
    if (node->Data.Filled) return;
    node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    std::vector<shell::ShellItem> items = shell::Children(node->Data.Item);
    std::vector<shell::ShellItem> kept;
    kept.reserve(items.size());
    for (shell::ShellItem& item : items) {
        const QString extension = GetFileExtension(item.displayName);
        if (!item.folder && !Matches(extension)) continue;
        if (IsArchive(extension)) continue;
        kept.push_back(std::move(item));
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const shell::ShellItem& a, const shell::ShellItem& b) { return shell::CompareItems(a, b) < 0; });
    QList<QTreeWidgetItem*> nodes;
    nodes.reserve(static_cast<qsizetype>(kept.size()));
    for (const shell::ShellItem& item : kept) {
        TShellNode* child = MakeNode(item);
        if (child->Data.Bound) ProbeChildren(child);
        nodes.append(child);
    }
    node->addChildren(nodes);
    node->Data.Filled = true;
    if (node->Data.Refresh) node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
}

void TFileBrowser::ProbeChildren(TShellNode* node)
{
    bool any = node->Data.Refresh;
    if (!any) {
        any = shell::AnyChild(node->Data.Item, [this](const shell::ShellItem& item) {
            const QString extension = GetFileExtension(item.displayName);
            if (IsArchive(extension)) return false;
            return item.folder || Matches(extension);
        });
    }
    node->setChildIndicatorPolicy(any ? QTreeWidgetItem::ShowIndicator : QTreeWidgetItem::DontShowIndicator);
}

void TFileBrowser::DeleteChildren(QTreeWidgetItem* node)
{
    const QList<QTreeWidgetItem*> children = node->takeChildren();
    qDeleteAll(children);
}

void TFileBrowser::TreeViewExpanding(QTreeWidgetItem* item)
{
    auto* node = static_cast<TShellNode*>(item);
    if (node->Data.Refresh && node->Data.Filled) {
        DeleteChildren(node);
        node->Data.Filled = false;
    }
    FillChildren(node);
}

void TFileBrowser::TreeViewCollapsed(QTreeWidgetItem* item)
{
    auto* node = static_cast<TShellNode*>(item);
    // The selection leaves the children first, so it does not open the node again.
    if (ui_->TreeView->currentItem() && ui_->TreeView->currentItem() != node) {
        for (QTreeWidgetItem* p = ui_->TreeView->currentItem()->parent(); p; p = p->parent()) {
            if (p == node) {
                const QSignalBlocker quiet(ui_->TreeView);
                ui_->TreeView->setCurrentItem(node);
                break;
            }
        }
    }
    DeleteChildren(node);
    node->Data.Filled = false;
    node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
}

TShellNode* TFileBrowser::Selected() const { return static_cast<TShellNode*>(ui_->TreeView->currentItem()); }

// ---- node paths ----

QString TFileBrowser::BuildNodePath(const QTreeWidgetItem* node, bool fromSelf)
{
    QStringList parts;
    for (const QTreeWidgetItem* n = fromSelf ? node : (node ? node->parent() : nullptr); n; n = n->parent())
        parts << n->text(0);
    return parts.join(QLatin1Char('/'));
}

void TFileBrowser::SelectNodePath(const QString& path)
{
    if (path.isEmpty()) return;
    const QStringList parts = path.split(QLatin1Char('/'));
    QTreeWidgetItem* current = root_;
    for (qsizetype i = parts.size() - 1; i >= 0; --i) {
        for (int c = 0; c < current->childCount(); ++c) {
            QTreeWidgetItem* child = current->child(c);
            if (child->text(0) != parts.at(i)) continue;
            current = child;
            ui_->TreeView->setCurrentItem(child);
            child->setExpanded(true);
            break;
        }
    }
    ui_->TreeView->scrollToItem(current);
}

void TFileBrowser::ListRootAnew()
{
    DeleteChildren(root_);
    root_->Data.Filled = false;
    FillChildren(root_);
    root_->setExpanded(true);
}

// ---- opening ----

void TFileBrowser::TreeViewDblClick()
{
    if (!host_.AddingItems()) OpenSelectedItem();
}

void TFileBrowser::OpenSelectedItem()
{
    TShellNode* node = Selected();
    if (!node || node->Data.Bound || node->Data.Item.folder) return;
    QString path = node->Data.Item.parsingName;
    QString target;
    if (ResolveShortcut(path, &target)) path = target;
    if (!IsExistingFile(path)) return;
    if (host_.DvdPlaying() && MessageBox(this, QStringLiteral("DVDを再生中です。\n停止してよろしいですか？"),
                                         QStringLiteral("確認"), MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) != IDYES)
        return;
    host_.SetAddingItems(true);
    if (GetFileExtension(path) != QLatin1String("ifo")) {
        host_.CloseMedia();
        host_.UpdateControlsForMedia(false);
        host_.SetListIndex(0);
        host_.AddPathOrPlayList(path);
        if (!host_.PlayList().IsEmpty()) {
            browsePath_ = BuildNodePath(node, false);
            host_.SetOpenedPath(path);
            QWidget* main = host_.HostWindow();
            const bool keepBack = host_.IsFullScreen() || (main && main->isMaximized());
            if (keepBack) host_.SetKeepInBackground(true);
            host_.PlayListItem(true, false);
            if (keepBack) host_.SetKeepInBackground(false);
        } else {
            host_.ShowNoFileNotice();
        }
    } else {
        browsePath_ = BuildNodePath(node, false);
        host_.SetViewerPath(path);
        host_.StartDvd();
    }
    host_.SetAddingItems(false);
}

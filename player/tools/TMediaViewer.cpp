#include "player/tools/TMediaViewer.h"

#include "platform/dialogs/dialogs.h"
#include "platform/keys/keys.h"
#include "platform/paths/paths.h"
#include "platform/shell/icons.h"
#include "player/tools/LibraryFile.h"
#include "player/tools/MediaViewerRows.h"
#include "player/tools/ToolHost.h"
#include "player/units/PlaylistModel.h"
#include "player/units/Settings.h"
#include "player/units/Shortcuts.h"
#include "ui_TMediaViewer.h"

#include <QActionGroup>
#include <QCursor>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QWindow>

#include <sys/stat.h>

namespace {

// How near the right and bottom edges a press sizes the window.
constexpr int kSizeGrip = 4;

int Tag(const QAction* item) { return item->property("Tag").toInt(); }

int Digits(int n)
{
    int digits = 1;
    while (n >= 10) {
        n /= 10;
        ++digits;
    }
    return digits;
}

QColor ColourOf(unsigned colorRef)
{
    return QColor(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF);
}

bool PathExists(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

}  // namespace

TMediaViewer::TMediaViewer(IToolHost& host, QWidget* callingButton)
    : QMainWindow(host.HostWindow(), Qt::Tool | Qt::FramelessWindowHint),
      host_(host),
      ui_(std::make_unique<Ui::TMediaViewer>()),
      library_(host.ViewerKind(), [this](const QString& text) {
          return QFontMetrics(ui_->LibraryListView->font()).horizontalAdvance(text);
      }),
      metrics_(TViewerMetrics::Current())
{
    ui_->setupUi(this);
    const TMainSettings& settings = host_.Settings();
    QListView* list = ui_->LibraryListView;

    QFont font = list->font();
    if (settings.ViewerFontSize > 0) font.setPointSize(static_cast<int>(settings.ViewerFontSize));
    if (!settings.ViewerFont.isEmpty()) font.setFamily(settings.ViewerFont);
    list->setFont(font);

    const int kind = library_.Kind();
    if (kind == TMediaLibrary::kList) {
        const int count = host_.PlayList().Count();
        library_.NumberWidth = (Digits(count) + 1) * QFontMetrics(font).horizontalAdvance(QLatin1Char('8'));
    }
    library_.LockWidth = settings.LockMLWidth;
    menuHeight_ = kind == TMediaLibrary::kList ? 0 : metrics_.MenuBar;

    // Where the window stands: the calling button for a key, else the pointer.
    if (host_.CalledByKey() && callingButton)
        anchor_ = callingButton->mapToGlobal(QPoint(0, 0));
    else
        anchor_ = QCursor::pos() - QPoint(20, kind == TMediaLibrary::kList ? 10 : metrics_.MenuBar + 10);
    QScreen* screen = QGuiApplication::screenAt(anchor_);
    if (!screen) screen = QGuiApplication::primaryScreen();
    area_ = QRect(anchor_.x(), anchor_.y() - 600, 350, 600);
    if (screen) {
        area_ = host_.IsFullScreen() ? screen->geometry() : screen->availableGeometry();
        library_.SetLimits(area_, settings.ViewerMax, QSize(0, menuHeight_));
    } else {
        library_.MaxHeight = static_cast<int>(600 * static_cast<double>(settings.ViewerMax & 0xFF) * 0.01) - menuHeight_;
    }

    move(anchor_);
    ApplyKindMenus();

    // Icons come from the shell's shared provider; the play list of a disc has none.
    icons_ = settings.ShowLibraryIcon && !(kind == TMediaLibrary::kList && (host_.DvdMode() || host_.CdOpen()));
    library_.ExtraWidth = (icons_ ? metrics_.SmallIcon : 0) + library_.NumberWidth + metrics_.ScrollBar +
                          2 * metrics_.Edge + 10;

    TViewerDelegate::Style style;
    style.IconColumn = icons_ ? metrics_.SmallIcon : 0;
    style.NumberWidth = library_.NumberWidth;
    style.MarkBold = settings.IndexFontBold;
    style.MarkColour = ColourOf(settings.IndexFontColor);
    list->setItemDelegate(
        new TViewerDelegate([this](int row) { return LibraryListViewDrawItem(row); }, style, this));
    if (kind == TMediaLibrary::kList) {
        list->setModel(&host_.PlayList());
    } else {
        model_ = new TLibraryModel(library_, this);
        list->setModel(model_);
    }

    list->viewport()->setMouseTracking(true);
    list->viewport()->installEventFilter(this);
    list->installEventFilter(this);
    list->verticalScrollBar()->installEventFilter(this);
    ui_->MainMenu1->installEventFilter(this);
    ui_->MainMenu1->setMouseTracking(true);
    connect(list, &QListView::clicked, this, [this] { LibraryListViewClick(); });
    connect(list, &QWidget::customContextMenuRequested, this, &TMediaViewer::ShowPopup);
    for (QMenu* menu : {ui_->N1, ui_->N7, ui_->PopupLibrary, ui_->PopupMenu1})
        connect(menu, &QMenu::aboutToShow, this, [this] { menuShown_ = true; });
    connect(ui_->PopupMenu1, &QMenu::aboutToShow, this, &TMediaViewer::PopupMenu1Popup);
    ShowItemShortCuts(this);
    ConnectCommands();

    if (kind == TMediaLibrary::kLibrary) {
        for (const char* caption : {"すべて", "メディアファイル", "リスト", "フォルダ/ドライブ"})
            InsertViewItem(QString::fromUtf8(caption), viewItems_ ? viewItems_->actions().size() : 0,
                           &TMediaViewer::CategoryClick);
        viewItems_->actions().front()->setChecked(true);
        LoadLibraryList();
    } else if (kind == TMediaLibrary::kFolders) {
        ui_->miAddFileToLib->setVisible(false);
        ui_->miAddListToLib->setVisible(false);
        LoadFolderLibrary();
    } else {
        ui_->MainMenu1->hide();
        popupAllowed_ = !host_.DvdMode() && !host_.CdOpen();
        FillFromPlayList();
        if (!library_.LockWidth) {
            if (host_.ListViewerWidth() != 0)
                library_.ContentWidth = host_.ListViewerWidth();
            else
                host_.SetListViewerWidth(library_.ContentWidth);
        }
    }
}

TMediaViewer::~TMediaViewer() { FormDestroy(); }

void TMediaViewer::FormDestroy()
{
    if (destroyed_) return;
    destroyed_ = true;
    ui_->LibraryListView->setModel(nullptr);
    host_.SetDialogOpen(false);
}

QAction* TMediaViewer::InsertViewItem(const QString& caption, int tag, void (TMediaViewer::*handler)(QAction*))
{
    if (!viewItems_) viewItems_ = new QActionGroup(this);
    QAction* item = new QAction(caption, viewItems_);
    item->setCheckable(true);
    item->setProperty("Tag", tag);
    QAction* separator = nullptr;
    for (QAction* a : ui_->N7->actions()) {
        if (a->isSeparator()) {
            separator = a;
            break;
        }
    }
    ui_->N7->insertAction(separator, item);
    connect(item, &QAction::triggered, this, [this, item, handler] { (this->*handler)(item); });
    return item;
}

void TMediaViewer::ApplyKindMenus()
{
    const TMainSettings& s = host_.Settings();
    const int kind = library_.Kind();
    library_.SortKey = static_cast<int>(kind == TMediaLibrary::kLibrary   ? s.LibrarySort
                                        : kind == TMediaLibrary::kFolders ? s.FolderSort
                                                                          : s.ListSort);
    if (kind == TMediaLibrary::kLibrary) {
        for (QAction* item : {ui_->N38, ui_->N8, ui_->N11}) item->setVisible(false);
    } else if (kind == TMediaLibrary::kFolders) {
        for (QAction* item : {ui_->N2, ui_->N12}) {
            item->setVisible(false);
            item->setEnabled(false);
        }
    }
    QMenu* sortMenu = kind == TMediaLibrary::kList ? ui_->N27 : ui_->mSort1;
    sortItems_ = new QActionGroup(this);
    const QList<QAction*> captions = ui_->mSort1->actions();
    const QList<QAction*> items = sortMenu->actions();
    for (int i = 0; i < items.size(); ++i) {
        QAction* item = items[i];
        sortItems_->addAction(item);
        if (kind == TMediaLibrary::kList) item->setText(captions[i]->text());
        item->setChecked(Tag(item) == library_.SortKey);
        if (item == ui_->N24)
            connect(item, &QAction::triggered, this, [this] { N24Click(); });
        else
            connect(item, &QAction::triggered, this, [this, item] { mSortClick(item); });
    }
}

// ---- loading ----

void TMediaViewer::LoadLibraryList()
{
    library_.CategoryShown = Tag(viewItems_->checkedAction());
    library_.LoadLibraryList(TLibraryFile::InListFiles(TLibraryFile::kLibrary));
    model_->Reload();
    FitToContent();
}

void TMediaViewer::LoadFolderLibrary()
{
    const std::vector<TLibraryEntry> folders =
        TMediaLibrary::RegisteredFolders(TLibraryFile::InListFiles(TLibraryFile::kFolderLibrary));
    for (const TLibraryEntry& folder : folders) {
        InsertViewItem(folder.Name, static_cast<int>(folderPaths_.size()), &TMediaViewer::FolderMenuClick);
        folderPaths_.append(folder.Path);
    }
    DWORD& last = host_.MutableSettings().LastSelectedFolder;
    if (last >= static_cast<DWORD>(folderPaths_.size())) last = 0;
    if (folderPaths_.isEmpty()) return;
    shownFolder_ = static_cast<int>(last);
    viewItems_->actions().at(shownFolder_)->setChecked(true);
    ListFolderContents(folderPaths_.at(shownFolder_));
}

void TMediaViewer::ListFolderContents(const QString& folder)
{
    library_.ListFolderContents(folder, host_.ReadExtensionList(), host_.Settings().ShowExtension);
    model_->Reload();
    FitToContent();
}

void TMediaViewer::FillFromPlayList()
{
    if (library_.LockWidth || host_.ListViewerWidth() != 0) return;
    const TPlayListModel& list = host_.PlayList();
    std::vector<QString> titles;
    const int count = std::min(list.Count(), 501);
    titles.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) titles.push_back(list.Item(i).Title);
    library_.MeasureTitles(titles);
}

void TMediaViewer::ClearLibraryItems()
{
    library_.Clear();
    model_->Reload();
}

void TMediaViewer::FitToContent()
{
    QListView* list = ui_->LibraryListView;
    const int count = list->model() ? list->model()->rowCount() : 0;
    const int rowHeight = count > 0 ? list->sizeHintForRow(0) : 0;
    const TMediaLibrary::Fit fit =
        library_.FitToContent(count, rowHeight, 0, QSize(0, menuHeight_), pos(), area_, metrics_);
    resize(fit.Client.width(), fit.Client.height() + menuHeight_);
    move(fit.TopLeft);
}

// ---- showing, closing, activation ----

void TMediaViewer::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TMediaViewer::FormShow()
{
    host_.SetDialogOpen(true);
    FitToContent();
    int row = -1;
    if (library_.Kind() == TMediaLibrary::kList) {
        row = host_.ListIndex();
    } else if (library_.Kind() == TMediaLibrary::kFolders) {
        const int remembered = host_.RememberedFolderRow();
        if (remembered > 0 && remembered < library_.Count()) row = remembered;
    }
    QListView* list = ui_->LibraryListView;
    if (row >= 0 && list->model() && row < list->model()->rowCount()) {
        SelectRow(row);
        // The chosen row stands second from the top, the one before it in view.
        list->scrollTo(list->model()->index(std::max(row - 1, 0), 0), QAbstractItemView::PositionAtTop);
    }
    activateWindow();
    raise();
    list->setFocus();
    busy_ = false;
}

void TMediaViewer::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    FormClose();
}

void TMediaViewer::FormClose()
{
    handingOver_ = true;
    host_.PostToolNotice(ToolNotice::LibraryRequest, static_cast<LPARAM>(LibraryRequest::Nothing));
}

void TMediaViewer::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) WndProcDeactivate();
}

void TMediaViewer::WndProcDeactivate()
{
    if (handingOver_ || busy_) return;
    // One notice: the main window frees the window, nothing more is asked.
    handingOver_ = true;
    host_.PostToolNotice(ToolNotice::LibraryRequest, static_cast<LPARAM>(LibraryRequest::Nothing));
}

// ---- the list ----

int TMediaViewer::SelectedRow() const
{
    const QModelIndexList rows = ui_->LibraryListView->selectionModel()
                                     ? ui_->LibraryListView->selectionModel()->selectedIndexes()
                                     : QModelIndexList();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void TMediaViewer::SelectRow(int row)
{
    QListView* list = ui_->LibraryListView;
    list->setCurrentIndex(list->model()->index(row, 0));
}

TRowLook TMediaViewer::LibraryListViewDrawItem(int row)
{
    TRowLook look;
    shell::IconProvider& icons = shell::IconProvider::Shared();
    if (library_.Kind() == TMediaLibrary::kList) {
        const TPlayListModel& list = host_.PlayList();
        if (!list.IsValidIndex(row)) return look;
        const TPlayListItem& entry = list.Item(row);
        look.Text = entry.Title;
        look.Number = QString::number(row + 1);
        look.Marked = row == host_.ListIndex();
        if (icons_) look.Icon = icons.Icon(icons.IndexForExtension(GetFileExtension(entry.Path)));
        return look;
    }
    if (row < 0 || row >= library_.Count()) return look;
    TLibraryItem& item = library_.Item(row);
    look.Text = item.Name;
    const TPlayListModel& list = host_.PlayList();
    look.Marked = !list.IsEmpty() && list.Current() && list.Current()->Path == item.Path;
    if (!look.Marked && library_.Kind() == TMediaLibrary::kLibrary &&
        (host_.CdOpen() || (host_.DvdPlaying() && item.Kind == TMediaLibrary::kDrive)))
        look.Marked = TMediaLibrary::SameDrive(item.Path, host_.OpenDriveLetter());
    if (icons_) {
        if (!item.IconLoaded) {
            item.IconIndex = library_.Kind() == TMediaLibrary::kLibrary
                                 ? icons.IndexForPath(item.Path)
                                 : icons.IndexForExtension(GetFileExtension(item.Path));
            item.IconLoaded = 1;
        }
        if (item.IconIndex != 0) look.Icon = icons.Icon(item.IconIndex);
    }
    return look;
}

void TMediaViewer::LibraryListViewClick()
{
    if (menuShown_) {
        menuShown_ = false;
        return;
    }
    const int row = SelectedRow();
    if (host_.AddingItems() || busy_ || row < 0) return;
    handingOver_ = true;
    if (library_.Kind() == TMediaLibrary::kList) {
        host_.SetListIndex(row);
        host_.PostToolNotice(ToolNotice::LibraryRequest, static_cast<LPARAM>(LibraryRequest::PlayListIndex));
        return;
    }
    const TLibraryItem item = library_.Items()[static_cast<size_t>(row)];
    if (item.Kind != TMediaLibrary::kDrive && !PathExists(item.Path)) {
        busy_ = true;
        if (MessageBox(this, QStringLiteral("ファイルまたはフォルダが見つかりません。\nライブラリから削除しますか？"),
                       QStringLiteral("確認"), MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) == IDYES)
            DeleteLibraryEntry(row);
        busy_ = false;
        handingOver_ = false;
        activateWindow();
        return;
    }
    if (host_.DvdPlaying()) {
        busy_ = true;
        const int answer = MessageBox(this, QStringLiteral("DVDを再生中です。\n停止してよろしいですか？"),
                                      QStringLiteral("確認"), MB_YESNO | MB_ICONQUESTION | MB_TOPMOST);
        busy_ = false;
        if (answer != IDYES) {
            handingOver_ = false;
            activateWindow();
            return;
        }
    }
    const TLibraryChoice choice =
        TMediaLibrary::ChoiceFor(item, {host_.DvdPlaying(), host_.CdOpen(), host_.OpenDriveLetter()});
    if (library_.Kind() == TMediaLibrary::kFolders) host_.SetRememberedFolderRow(row);
    host_.SetViewerPath(choice.Path);
    host_.PostToolNotice(ToolNotice::LibraryRequest, static_cast<LPARAM>(choice.Request));
}

void TMediaViewer::DeleteLibraryEntry(int index)
{
    if (index < 0 || index >= library_.Count()) return;
    const TLibraryItem& item = library_.Items()[static_cast<size_t>(index)];
    if (library_.Kind() == TMediaLibrary::kLibrary) {
        // The registration goes first; the row only when its line was found.
        const TLibraryFile file = TLibraryFile::InListFiles(TLibraryFile::kLibrary);
        if (item.Kind > TMediaLibrary::kMediaFile || !file.Remove({item.Name, item.Path})) return;
    }
    // The folder viewer lists a folder's files, not registrations: the row alone goes.
    DeleteItem(index);
    FitToContent();
}

void TMediaViewer::DeleteItem(int index)
{
    if (index >= 0 && model_ && index < library_.Count()) {
        model_->BeginRemove(index);
        library_.DeleteItem(index);
        model_->EndRemove();
    }
    ui_->LibraryListView->viewport()->update();
}

bool TMediaViewer::LibraryListViewKeyDown(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (SelectedRow() >= 0) LibraryListViewClick();
        return true;
    case Qt::Key_Escape:
        if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
        handingOver_ = true;
        close();
        return true;
    default:
        break;
    }
    // The pop-up and registration menus' keys (Ctrl+O, Ctrl+R, Delete).
    if (library_.Kind() == TMediaLibrary::kList) return false;
    QMenu* const menus[] = {ui_->PopupLibrary, ui_->N1};
    return DispatchShortCut(menus, keys::ShortCutOf(*event));
}

void TMediaViewer::LibraryListViewMouseMove(const QPoint& pos)
{
    menuShown_ = false;
    QListView* list = ui_->LibraryListView;
    const QModelIndex index = list->indexAt(pos);
    if (index.isValid() && list->currentIndex() != index) list->setCurrentIndex(index);
}

bool TMediaViewer::OnNcHitTest(QWidget* widget, QMouseEvent* event)
{
    const QPoint at = mapFromGlobal(event->globalPosition().toPoint());
    const bool right = at.x() >= width() - kSizeGrip;
    const bool bottom = at.y() >= height() - kSizeGrip;
    if (event->type() == QEvent::MouseMove) {
        menuShown_ = false;
        widget->setCursor(right && bottom ? Qt::SizeFDiagCursor
                          : right         ? Qt::SizeHorCursor
                          : bottom        ? Qt::SizeVerCursor
                                          : Qt::ArrowCursor);
        return false;
    }
    if (event->type() != QEvent::MouseButtonPress || event->button() != Qt::LeftButton) return false;
    QWindow* window = windowHandle();
    if (right || bottom) {
        if (window) window->startSystemResize(right && bottom ? Qt::RightEdge | Qt::BottomEdge
                                              : right         ? Qt::RightEdge
                                                              : Qt::BottomEdge);
        return true;
    }
    if (widget == ui_->MainMenu1) {
        // The free part of the menu bar, right of its last title, or any of it with Ctrl.
        int menuSplitX = 0;
        for (QAction* title : ui_->MainMenu1->actions())
            if (title->isVisible()) menuSplitX = std::max(menuSplitX, ui_->MainMenu1->actionGeometry(title).right() + 1);
        if (event->position().x() > menuSplitX || (event->modifiers() & Qt::ControlModifier)) {
            if (window) window->startSystemMove();
            return true;
        }
    }
    return false;
}

bool TMediaViewer::eventFilter(QObject* watched, QEvent* event)
{
    QListView* list = ui_->LibraryListView;
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseMove || type == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        if (OnNcHitTest(widget, mouse)) return true;
        if (type == QEvent::MouseMove && watched == list->viewport()) LibraryListViewMouseMove(mouse->position().toPoint());
    } else if (type == QEvent::KeyPress && watched == list) {
        if (LibraryListViewKeyDown(static_cast<QKeyEvent*>(event))) return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

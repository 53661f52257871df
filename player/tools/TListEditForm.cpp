#include "player/tools/TListEditForm.h"

#include "common/Reghelp.h"
#include "platform/dialogs/dialogs.h"
#include "platform/dialogs/filedialogs.h"
#include "platform/paths/paths.h"
#include "player/tools/LibraryFile.h"
#include "player/tools/ListEditModel.h"
#include "player/tools/ToolHost.h"
#include "player/tools/WindowPlacement.h"
#include "player/units/Creadlist.h"
#include "player/units/PlaylistModel.h"
#include "player/units/Settings.h"
#include "player/units/Shortcuts.h"
#include "ui_TListEditForm.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTimer>

namespace {

const QString kListFilter = QStringLiteral("Zoravel リストファイル|*.zol|M3U リストファイル|*.m3u");

// Shown for an address as for a path: a stream is handed to the player as it is.
bool IsAddress(const QString& path) { return path.contains(QLatin1String("://")); }

// The playing list is not to be taken while a disc plays or paths are being opened.
bool HostBusy(const IToolHost& host) { return host.AddingItems() || host.DvdMode() || host.CdOpen(); }

}  // namespace

TListEditForm::TListEditForm(IToolHost& host)
    : QMainWindow(host.HostWindow(), Qt::Window),
      host_(host),
      ui_(std::make_unique<Ui::TListEditForm>()),
      rows_(host.ListEditMode(), host.Settings().ReadID3v2)
{
    ui_->setupUi(this);
    TListEditView* view = ui_->ListViewForEdit;
    model_ = new TListEditModel(rows_, this);
    view->setModel(model_);
    view->setDragEnabled(true);   // a press on a selected row keeps the others selected
    view->setDragDropMode(QAbstractItemView::NoDragDrop);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->header()->setSectionsClickable(true);
    view->header()->setStretchLastSection(false);
    view->header()->setMinimumSectionSize(0);
    RestoreColumnCaptions();

    lblFontSize_ = new QLabel(QStringLiteral("0/0"), this);
    lblFontSize_->setObjectName(QStringLiteral("LblFontSize"));
    lblFontSize_->setContentsMargins(8, 0, 8, 0);
    auto* spacer = new QWidget(this);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    ui_->TopToolBar->addWidget(spacer);
    ui_->TopToolBar->addWidget(lblFontSize_);
    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer"));
    timer_->setInterval(50);
    connect(timer_, &QTimer::timeout, this, &TListEditForm::TimerTimer);

    // Tool bar images from the style: the same look as the rest of the desktop.
    const struct {
        QAction* action;
        QStyle::StandardPixmap image;
    } images[] = {{ui_->AcNewList, QStyle::SP_FileIcon},        {ui_->AcOpenList, QStyle::SP_DialogOpenButton},
                  {ui_->AcSaveList, QStyle::SP_DialogSaveButton}, {ui_->AcOpenFile, QStyle::SP_FileDialogNewFolder},
                  {ui_->AcEditList, QStyle::SP_FileDialogDetailedView}, {ui_->AcAddPlayingFile, QStyle::SP_MediaPlay},
                  {ui_->AcToPlayList, QStyle::SP_MediaSeekForward}, {ui_->AcMoveUp, QStyle::SP_ArrowUp},
                  {ui_->AcMoveDown, QStyle::SP_ArrowDown},       {ui_->AcDelete, QStyle::SP_TrashIcon}};
    for (const auto& image : images) image.action->setIcon(style()->standardIcon(image.image));

    const struct {
        QAction* action;
        void (TListEditForm::*handler)();
    } handlers[] = {
        {ui_->AcNewList, &TListEditForm::AcNewListExecute},
        {ui_->AcOpenList, &TListEditForm::AcOpenListExecute},
        {ui_->AcOpenFile, &TListEditForm::AcOpenFileExecute},
        {ui_->AcEditList, &TListEditForm::AcEditListExecute},
        {ui_->AcAddPlayingFile, &TListEditForm::AcAddPlayingFileExecute},
        {ui_->AcAddAllFiles, &TListEditForm::AcAddAllFilesExecute},
        {ui_->AcMoveUp, &TListEditForm::AcMoveUpExecute},
        {ui_->AcMoveDown, &TListEditForm::AcMoveDownExecute},
        {ui_->AcDelete, &TListEditForm::AcDeleteExecute},
        {ui_->AcToPlayList, &TListEditForm::AcToPlayListExecute},
        {ui_->AcDeleteNoFile, &TListEditForm::AcDeleteNoFileExecute},
        {ui_->AcShowGrid, &TListEditForm::AcShowGridExecute},
        {ui_->AcSelectAll, &TListEditForm::AcSelectAllExecute},
        {ui_->AcCapDlg, &TListEditForm::AcCapDlgExecute},
        {ui_->AcFileDlg, &TListEditForm::AcFileDlgExecute},
        {ui_->AcListDlg, &TListEditForm::AcListDlgExecute},
        {ui_->AcChangeWindow, &TListEditForm::AcChangeWindowExecute},
        {ui_->miShuffle, &TListEditForm::miShuffleClick},
        {ui_->N3, &TListEditForm::N3Click},
        {ui_->N4, &TListEditForm::N4Click},
        {ui_->miShowIcon, &TListEditForm::miShowIconClick},
        {ui_->MiRename, &TListEditForm::MiRenameClick},
        {ui_->MiEditList, &TListEditForm::MiEditListClick},
        {ui_->pmDeleteFile, &TListEditForm::AcDeleteExecute},
        {ui_->N5, &TListEditForm::N5Click},
    };
    for (const auto& h : handlers) connect(h.action, &QAction::triggered, this, [this, h] { (this->*h.handler)(); });
    connect(ui_->AcSaveList, &QAction::triggered, this, [this] { AcSaveListExecute(); });
    connect(ui_->AcSaveToNew, &QAction::triggered, this, [this] { AcSaveToNewExecute(); });

    // Keys go through our own dispatch (platform/keys' codes): hidden and
    // disabled actions never act, and the main window's keys stay its own.
    ShowItemShortCuts(this);
    SetItemShortCut(ui_->AcCapDlg, host_.MenuShortCut("miShowCapDlg"));
    SetItemShortCut(ui_->AcFileDlg, host_.MenuShortCut("miShowBrowser"));
    SetItemShortCut(ui_->AcListDlg, host_.MenuShortCut("miShowEditList"));
    SetItemShortCut(ui_->AcChangeWindow, host_.MenuShortCut("miChangeWindow"));
    keyActions_ = {ui_->AcNewList,   ui_->AcOpenList, ui_->AcOpenFile,     ui_->AcEditList,  ui_->AcAddPlayingFile,
                   ui_->AcAddAllFiles, ui_->AcSaveList, ui_->AcMoveUp,     ui_->AcMoveDown,  ui_->AcDelete,
                   ui_->AcToPlayList, ui_->AcDeleteNoFile, ui_->AcSaveToNew, ui_->AcShowGrid, ui_->AcSelectAll,
                   ui_->AcCapDlg,    ui_->AcFileDlg,  ui_->AcListDlg,      ui_->AcChangeWindow, ui_->MiRename};

    for (QMenu* menu : {ui_->N8, ui_->N19, ui_->N27}) connect(menu, &QMenu::aboutToShow, this, &TListEditForm::N8Click);
    connect(view, &QWidget::customContextMenuRequested, this, &TListEditForm::PopupMenuPopup);
    connect(view->header(), &QHeaderView::sectionClicked, this, &TListEditForm::ListViewForEditColumnClick);
    connect(view, &QAbstractItemView::clicked, this, [this] {
        if (editing_) SetEditingState(true);
    });
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TListEditForm::UpdateCountLabel);
    view->OnEditing = [this](bool on) { SetEditingState(!on); };
    model_->OnEdited = [this](int row, const QString& text) { ListViewForEditEdited(row, text); };
    view->SetDragHandlers({[this](const QPoint& pos) { DragStart(pos); },
                           [this](const QPoint& pos, Qt::KeyboardModifiers m) { DragOver(pos, m); },
                           [this](const QPoint& pos) { DragDrop(pos); },
                           [this] { EndDrag(); }});
    view->installEventFilter(this);
    setAcceptDrops(true);

    ReadSettings();
    ApplyMode();
    UpdateCountLabel();
}

TListEditForm::~TListEditForm() { FormDestroy(); }

void TListEditForm::FormDestroy()
{
    if (destroyed_) return;
    destroyed_ = true;
    timer_->stop();
    WriteSettings();
    ui_->ListViewForEdit->setModel(nullptr);
}

void TListEditForm::ApplyMode()
{
    const int mode = rows_.Mode();
    static const char* const captions[] = {"リスト編集", "ライブラリ", "フォルダ"};
    normalCaption_ = QString::fromUtf8(captions[std::clamp(mode, 0, 2)]);
    insertCaption_ = normalCaption_ + QStringLiteral(" 先頭に挿入");
    if (mode != TListEditRows::kPlayList) {
        model_->SetEditable(true);
        ui_->MiEditList->setVisible(true);
        ui_->MiRename->setVisible(true);
        for (QAction* a : {ui_->AcSaveToNew, ui_->AcNewList, ui_->AcOpenList, ui_->AcToPlayList, ui_->miShuffle})
            a->setVisible(false);
        SetItemCaption(ui_->AcEditList, QStringLiteral("再生中のリストを追加"));
        const TLibraryFile file = TLibraryFile::InListFiles(
            mode == TListEditRows::kLibrary ? TLibraryFile::kLibrary : TLibraryFile::kFolderLibrary);
        libraryPath_ = file.Path();
        rows_.LoadLibrary(file);
    }
    if (mode == TListEditRows::kFolderLibrary) {
        for (QAction* a : {ui_->AcEditList, ui_->AcAddPlayingFile, ui_->AcAddAllFiles}) a->setVisible(false);
        SetItemCaption(ui_->AcOpenFile, QStringLiteral("フォルダを追加"));
    }
    rows_.Modified = false;
    setWindowTitle(normalCaption_);
    Reload();
}

// ---- settings ----

void TListEditForm::ReadSettings()
{
    TWindowPlacement(kListEditerKey, QRect(100, 100, 462, 324)).Restore(this);
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kListEditerKey, KEY_READ);
    HKEY k = key ? key.get() : nullptr;
    auto dword = [k](const char* name, DWORD def) { return k ? RegReadDword(k, name, def) : def; };
    TListEditView* view = ui_->ListViewForEdit;
    view->setColumnWidth(TListEditModel::ColumnTitle, std::max<int>(50, static_cast<int>(dword("TitleWidth", 130))));
    view->setColumnWidth(TListEditModel::ColumnKind, static_cast<int>(dword("KindWidth", 50)));
    view->setColumnWidth(TListEditModel::ColumnArtist, 0);
    view->setColumnWidth(TListEditModel::ColumnPath, static_cast<int>(dword("PathWidth", 150)));

    QFont font = view->font();
    QString name;
    if (k && RegReadString(k, "Font", &name, 32) == ERROR_SUCCESS && !name.isEmpty()) font.setFamily(name);
    font.setPointSize(std::max<int>(1, static_cast<int>(dword("FontSize", 9))));
    fontColor_ = dword("FontColor", 0);
    fontCharset_ = dword("FontCharset", 128);
    DWORD type = 0;
    char style[64] = {};
    DWORD size = sizeof(style) - 1;
    if (k && RegQueryValueEx(k, "FontStyle", nullptr, &type, reinterpret_cast<BYTE*>(style), &size) == ERROR_SUCCESS &&
        type == REG_BINARY) {
        const QString set = QString::fromLatin1(style);
        font.setBold(set.contains(QLatin1String("fsBold")));
        font.setItalic(set.contains(QLatin1String("fsItalic")));
        font.setUnderline(set.contains(QLatin1String("fsUnderline")));
        font.setStrikeOut(set.contains(QLatin1String("fsStrikeOut")));
    }
    ui_->AcShowGrid->setChecked(k ? RegReadBool(k, "Grid", true) : true);
    ui_->miShowIcon->setChecked(k ? RegReadBool(k, "ShowIcons", true) : true);
    ApplyListFont(font);
    miShowIconClick();
}

void TListEditForm::WriteSettings()
{
    const TListEditView* view = ui_->ListViewForEdit;
    if (!isMaximized()) {
        TWindowPlacement(kListEditerKey, QRect(100, 100, 462, 324)).Save(this);
    }
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kListEditerKey, KEY_WRITE);
    if (!key) return;
    if (!isMaximized()) {
        RegWriteDword(key.get(), "TitleWidth", static_cast<DWORD>(view->columnWidth(TListEditModel::ColumnTitle)));
        RegWriteDword(key.get(), "KindWidth", static_cast<DWORD>(view->columnWidth(TListEditModel::ColumnKind)));
        RegWriteDword(key.get(), "PathWidth", static_cast<DWORD>(view->columnWidth(TListEditModel::ColumnPath)));
    }
    const QFont font = view->font();
    RegWriteString(key.get(), "Font", font.family().left(31));
    RegWriteDword(key.get(), "FontSize", static_cast<DWORD>(std::max(1, font.pointSize())));
    RegWriteDword(key.get(), "FontColor", fontColor_);
    RegWriteDword(key.get(), "FontCharset", fontCharset_);
    QStringList set;
    if (font.bold()) set << QStringLiteral("fsBold");
    if (font.italic()) set << QStringLiteral("fsItalic");
    if (font.underline()) set << QStringLiteral("fsUnderline");
    if (font.strikeOut()) set << QStringLiteral("fsStrikeOut");
    const QByteArray style = (QLatin1Char('[') + set.join(QLatin1Char(',')) + QLatin1Char(']')).toLatin1() + '\0';
    RegSetValueEx(key.get(), "FontStyle", 0, REG_BINARY, reinterpret_cast<const BYTE*>(style.constData()),
                  static_cast<DWORD>(style.size()));
    RegWriteBool(key.get(), "Grid", ui_->AcShowGrid->isChecked());
    RegWriteBool(key.get(), "ShowIcons", ui_->miShowIcon->isChecked());
}

void TListEditForm::ApplyListFont(const QFont& font)
{
    TListEditView* view = ui_->ListViewForEdit;
    view->setFont(font);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Text,
                     QColor(fontColor_ & 0xFF, (fontColor_ >> 8) & 0xFF, (fontColor_ >> 16) & 0xFF));
    view->setPalette(palette);
    AcShowGridExecute();
}

void TListEditForm::AcShowGridExecute()
{
    // The table draws no lines of its own: the cells get a right and a bottom
    // border. A style sheet on the items needs the selection's colours said
    // too, or selected text is drawn in the unselected colour.
    QString sheet = QStringLiteral(
        "QTreeView::item:selected { background: palette(highlight); color: palette(highlighted-text); }");
    if (ui_->AcShowGrid->isChecked())
        sheet += QStringLiteral(" QTreeView::item { border-right: 1px solid palette(midlight);"
                                " border-bottom: 1px solid palette(midlight); }");
    ui_->ListViewForEdit->setStyleSheet(sheet);
}

// ---- closing ----

void TListEditForm::closeEvent(QCloseEvent* event)
{
    if (closing_ || !FormClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

bool TListEditForm::FormClose()
{
    const bool neverSavedEmpty =
        rows_.Mode() == TListEditRows::kPlayList && listPath_.isEmpty() && rows_.Count() == 0;
    if (rows_.Modified && !neverSavedEmpty) {
        closing_ = true;
        const int answer = MessageBox(this, QStringLiteral("変更を保存しますか?"), QStringLiteral("確認"),
                                      MB_YESNOCANCEL | MB_ICONQUESTION | MB_TOPMOST);
        // The edits are never lost: a save that did not happen keeps the window.
        const bool stay = answer == IDCANCEL || (answer == IDYES && !AcSaveListExecute());
        closing_ = false;
        if (stay) return false;
    }
    EndDrag();
    host_.PostToolNotice(ToolNotice::ListEditorClosed,
                         rows_.Mode() == TListEditRows::kPlayList ? kPlayListEditor : kLibraryEditor);
    return true;
}

void TListEditForm::Warn(const QString& text, unsigned icon)
{
    MessageBox(this, text, QStringLiteral("情報"), icon | MB_TOPMOST);
}

// ---- opening and saving ----

void TListEditForm::OpenListFile(const QString& path)
{
    const int kind = ListKindForExtension(GetFileExtension(path));
    if (kind != 0 && kind != 1) {
        Warn(QStringLiteral("リストファイルではありません"), MB_ICONEXCLAMATION);
        return;
    }
    if (rows_.Mode() == TListEditRows::kLibrary) {
        // The library takes the list as one entry; that is a change to save.
        rows_.AddListItem(path);
        rows_.Modified = true;
        Reload();
        return;
    }
    rows_.ResetRows();
    RestoreColumnCaptions();
    rows_.ReadListFile(path);
    listPath_ = path;
    rows_.Modified = false;
    ShowCaption(false);
    Reload();
}

void TListEditForm::ShowCaption(bool insert)
{
    if (insert)
        setWindowTitle(insertCaption_);
    else if (!listPath_.isEmpty())
        setWindowTitle(normalCaption_ + QStringLiteral(" - ") + QFileInfo(listPath_).fileName());
    else
        setWindowTitle(normalCaption_);
}

bool TListEditForm::AcSaveListExecute()
{
    if (rows_.Mode() != TListEditRows::kPlayList) {
        if (!rows_.SaveLibrary(TLibraryFile(libraryPath_))) {
            Warn(QStringLiteral("保存できませんでした。"), MB_ICONEXCLAMATION);
            return false;
        }
        rows_.Modified = false;
        return true;
    }
    if (rows_.Count() == 0) {
        Warn(QStringLiteral("リストが空です"), MB_ICONEXCLAMATION);
        return false;
    }
    const QString path = listPath_.isEmpty() ? AskSavePath() : listPath_;
    return !path.isEmpty() && SaveTo(path);
}

bool TListEditForm::AcSaveToNewExecute()
{
    if (rows_.Count() == 0) {
        Warn(QStringLiteral("リストが空です"), MB_ICONEXCLAMATION);
        return false;
    }
    const QString path = AskSavePath();
    return !path.isEmpty() && SaveTo(path);
}

bool TListEditForm::SaveTo(const QString& path)
{
    if (!rows_.WriteListFile(path)) {
        Warn(QStringLiteral("保存できませんでした。"), MB_ICONEXCLAMATION);
        return false;
    }
    listPath_ = path;
    rows_.Modified = false;
    ShowCaption(false);
    return true;
}

QString TListEditForm::AskSavePath()
{
    dialogs::FileDialogCall call;
    call.kind = dialogs::FileDialogCall::Save;
    call.filter = kListFilter;
    call.defaultExtension = QStringLiteral("zol");
    call.overwritePrompt = true;
    if (!listPath_.isEmpty()) call.directory = QFileInfo(listPath_).absolutePath();
    // SaveDialogTypeChange: the default extension follows the chosen type.
    call.onTypeChange = [](int index) { return index == 2 ? QStringLiteral("m3u") : QStringLiteral("zol"); };
    call.onShow = [this](QWidget* dialog) { OpenDialogShow(dialog); };
    host_.SetDialogOpen(true);
    const dialogs::FileDialogResult result = dialogs::RunFileDialog(this, call);
    host_.SetDialogOpen(false);
    if (!result.accepted || result.paths.isEmpty()) return QString();
    QString path = result.paths.first();
    if (GetFileExtension(path).isEmpty()) path += result.filterIndex == 2 ? QStringLiteral(".m3u") : QStringLiteral(".zol");
    return path;
}

void TListEditForm::OpenDialogShow(QWidget* dialog) { TWindowPlacement::CentreOver(dialog, this); }

void TListEditForm::AcNewListExecute()
{
    rows_.ResetRows();
    listPath_.clear();
    RestoreColumnCaptions();
    ShowCaption(false);
    Reload();
}

void TListEditForm::AcOpenListExecute()
{
    dialogs::FileDialogCall call;
    call.kind = dialogs::FileDialogCall::Open;
    call.filter = QStringLiteral("リストファイル|*.zol;*.m3u|") + kListFilter;
    call.onShow = [this](QWidget* dialog) { OpenDialogShow(dialog); };
    host_.SetDialogOpen(true);
    const dialogs::FileDialogResult result = dialogs::RunFileDialog(this, call);
    host_.SetDialogOpen(false);
    if (result.accepted && !result.paths.isEmpty()) OpenListFile(result.paths.first());
}

void TListEditForm::AcOpenFileExecute()
{
    if (rows_.Mode() == TListEditRows::kFolderLibrary) {
        ChooseFolderRow();
        return;
    }
    dialogs::FileDialogCall call;
    call.kind = dialogs::FileDialogCall::OpenMany;
    call.title = QStringLiteral("ファイルを追加");
    call.filter = QStringLiteral("メディア ファイル|") + host_.ReadExtensionList() + QStringLiteral("|すべてのファイル|*");
    call.onShow = [this](QWidget* dialog) { OpenDialogShow(dialog); };
    host_.SetDialogOpen(true);
    const dialogs::FileDialogResult result = dialogs::RunFileDialog(this, call);
    host_.SetDialogOpen(false);
    if (!result.accepted || result.paths.isEmpty()) return;
    for (const QString& path : result.paths) rows_.AddPathByType(path);
    rows_.Modified = true;
    Reload();
}

void TListEditForm::ChooseFolderRow()
{
    dialogs::FileDialogCall call;
    call.kind = dialogs::FileDialogCall::Folder;
    call.title = QStringLiteral("追加するフォルダを選択してください。");
    call.onShow = [this](QWidget* dialog) { OpenDialogShow(dialog); };
    host_.SetDialogOpen(true);
    const dialogs::FileDialogResult result = dialogs::RunFileDialog(this, call);
    host_.SetDialogOpen(false);
    if (!result.accepted || result.paths.isEmpty() || !IsExistingFolder(result.paths.first())) return;
    const QString path = result.paths.first();
    const QString name = QFileInfo(path).fileName();
    rows_.AddFolderRow(path, name.isEmpty() ? path : name);
    rows_.Modified = true;
    Reload();
}

void TListEditForm::AddDroppedPaths(const QStringList& paths)
{
    if (paths.isEmpty()) return;
    for (QString path : paths) {
        // A shortcut (a symbolic link or a link file) brings its target, when that exists.
        QString target;
        if (ResolveShortcut(path, &target)) {
            if (!IsExistingFile(target) && !IsExistingFolder(target)) continue;
            path = target;
        }
        if (IsExistingFile(path)) {
            rows_.AddPathByType(path);
        } else if (rows_.Mode() != TListEditRows::kPlayList && IsExistingFolder(path)) {
            const QString name = QFileInfo(path).fileName();
            rows_.AddFolderRow(path, name.isEmpty() ? path : name);
        }
    }
    rows_.Modified = true;
    Reload();
}

// ---- handing over to the player ----

void TListEditForm::AcToPlayListExecute()
{
    if (rows_.Count() == 0) {
        Warn(QStringLiteral("ファイルがありません。"), MB_ICONEXCLAMATION);
        return;
    }
    host_.CloseMedia();
    host_.UpdateControlsForMedia(false);
    for (const TFileItem& item : rows_.Items()) {
        if (IsAddress(item.Path) || IsExistingFile(item.Path) || IsExistingFolder(item.Path))
            host_.AddPathOrPlayList(item.Path);
    }
    host_.SetOpenedPath(listPath_);
    host_.SetListIndex(0);
    if (!host_.PlayList().IsEmpty())
        host_.PlayListItem(true, false);
    else
        host_.ShowNoFileNotice();
}

void TListEditForm::AcEditListExecute()
{
    if (host_.PlayList().IsEmpty() || HostBusy(host_)) return;
    OpenListFile(host_.OpenedPath());
}

void TListEditForm::AcAddPlayingFileExecute()
{
    if (HostBusy(host_) || !host_.PlayList().IsValidIndex(host_.ListIndex())) return;
    rows_.AddListItem(host_.PlayList().Item(host_.ListIndex()).Path);
    rows_.Modified = true;
    Reload();
}

void TListEditForm::AcAddAllFilesExecute()
{
    if (HostBusy(host_) || host_.PlayList().IsEmpty()) return;
    const TPlayListModel& list = host_.PlayList();
    for (int i = 0; i < list.Count(); ++i) rows_.AddListItem(list.Item(i).Path);
    rows_.Modified = true;
    Reload();
}

// ---- the other windows ----

void TListEditForm::AcCapDlgExecute()
{
    if (QGuiApplication::queryKeyboardModifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::ShiftModifier)) return;
    host_.MiCaptureClick();
}

void TListEditForm::AcFileDlgExecute() { host_.MiFileBrowserClick(); }

void TListEditForm::AcListDlgExecute() { close(); }

void TListEditForm::AcChangeWindowExecute()
{
    if (!host_.FocusToolWindow(TToolWindow::Capture)) host_.FocusMainWindow();
}

void TListEditForm::N8Click() { host_.KeepPointerVisible(); }

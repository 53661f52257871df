// The media library window's commands: the registrations of "登録(&R)" and
// the entry commands of its pop-up menu (add all to the play list, edit a
// list, properties, explore, rename or remove a registration, rename a file,
// move it to the trash).
#include "player/tools/TMediaViewer.h"

#include "platform/dialogs/dialogs.h"
#include "platform/dialogs/inputs.h"
#include "platform/paths/paths.h"
#include "platform/shell/fileops.h"
#include "player/tools/LibraryFile.h"
#include "player/tools/MediaViewerRows.h"
#include "player/tools/ToolHost.h"
#include "player/units/OpenedItem.h"
#include "player/units/Opendialogex.h"
#include "player/units/PlaylistModel.h"
#include "player/units/Settings.h"
#include "ui_TMediaViewer.h"

#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QListView>

namespace {

// While a command's dialog is open the window must not take the loss of
// activation for the user's leaving; afterwards it is the active window again.
class DialogScope {
public:
    DialogScope(bool& busy, QWidget* window) : busy_(busy), window_(window), was_(busy) { busy_ = true; }
    ~DialogScope()
    {
        busy_ = was_;
        window_->activateWindow();
    }
    DialogScope(const DialogScope&) = delete;
    DialogScope& operator=(const DialogScope&) = delete;

private:
    bool& busy_;
    QWidget* window_;
    bool was_;
};

bool IsListExtension(const QString& extension)
{
    return extension == QLatin1String("m3u") || extension == QLatin1String("zol");
}

const char kMediaFilters[] =
    "|Windows Media ファイル|*.asf;*.wma;*.wmv;*.wm"
    "|ビデオ ファイル|*.avi;*.mpg;*.mpeg;*.m2p;*.m1v;*.mpa"
    "|オーディオ ファイル|*.wav;*.mp2;*.mp3;*.au;*.aif;*.aiff;*.snd"
    "|RealMedia ファイル|*.rm;*.ra;*.rmvb"
    "|MIDI ファイル|*.mid;*.midi;*.rmi"
    "|イメージ ファイル|*.jpg;*.jpeg;*.bmp;*.gif;*.tga;*.dib"
    "|リスト ファイル|*.zol;*.m3u;*.wpl"
    "|IFO ファイル|*.ifo"
    "|すべてのファイル|*.*";

}  // namespace

void TMediaViewer::ConnectCommands()
{
    const std::pair<QAction*, void (TMediaViewer::*)()> items[] = {
        {ui_->miAddFileToLib, &TMediaViewer::miAddFileToLibClick},
        {ui_->miAddListToLib, &TMediaViewer::miAddListToLibClick},
        {ui_->N4, &TMediaViewer::N4Click},
        {ui_->N5, &TMediaViewer::N5Click},
        {ui_->N38, &TMediaViewer::N38Click},
        {ui_->N17, &TMediaViewer::N16Click},
        {ui_->N20, &TMediaViewer::N19Click},
        {ui_->N18, &TMediaViewer::N13Click},
        {ui_->N2, &TMediaViewer::N2Click},
        {ui_->N12, &TMediaViewer::N12Click},
        {ui_->N8, &TMediaViewer::N8Click},
        {ui_->N11, &TMediaViewer::N11Click},
    };
    for (const auto& [item, handler] : items)
        connect(item, &QAction::triggered, this, [this, handler = handler] { (this->*handler)(); });
    connect(ui_->N1, &QMenu::aboutToShow, this, &TMediaViewer::N1Click);
    connect(ui_->PopupLibrary, &QMenu::aboutToShow, this, &TMediaViewer::PopupLibraryPopup);
}

// ---- registration ----

void TMediaViewer::N1Click()
{
    menuShown_ = true;
    ui_->N5->setEnabled(!host_.ToolWindowOpen(TToolWindow::LibraryEditor));
    const bool media = !host_.DvdMode() && !host_.CdOpen();
    ui_->miAddListToLib->setEnabled(media && !host_.OpenedPath().isEmpty() &&
                                    IsListExtension(GetFileExtension(host_.OpenedPath())));
    ui_->miAddFileToLib->setEnabled(media && !host_.PlayList().IsEmpty());
}

void TMediaViewer::miAddFileToLibClick()
{
    const TPlayListModel& list = host_.PlayList();
    if (list.IsEmpty() || !host_.Graph() || host_.DvdMode() || !list.Current()) return;
    const TPlayListItem entry = *list.Current();
    AddLibraryEntry(entry.Path, entry.Title);
}

void TMediaViewer::miAddListToLibClick()
{
    if (host_.PlayList().IsEmpty() || !host_.Graph() || host_.DvdMode()) return;
    const QString path = host_.OpenedPath();
    if (!IsListExtension(GetFileExtension(path))) return;
    AddLibraryEntry(path, ExtractFileName(path));
}

void TMediaViewer::N4Click()
{
    DialogScope scope(busy_, this);
    if (library_.Kind() == TMediaLibrary::kLibrary) RegisterFileDialog();
    else RegisterFolderDialog();
}

void TMediaViewer::N5Click()
{
    host_.ShowLibraryEditor(library_.Kind() == TMediaLibrary::kLibrary ? 1 : 2);
    close();
}

void TMediaViewer::AddLibraryEntry(const QString& path, const QString& defaultName)
{
    const bool folders = library_.Kind() == TMediaLibrary::kFolders;
    const TLibraryFile file = TLibraryFile::InListFiles(folders ? TLibraryFile::kFolderLibrary : TLibraryFile::kLibrary);
    QString name = defaultName;
    {
        DialogScope scope(busy_, this);
        if (!InputQuery(this, QString::fromUtf8(folders ? "フォルダを登録" : "ライブラリに登録"),
                        QStringLiteral("登録名を入力してください。"), &name))
            return;
    }
    if (!file.Append({name, path})) return;
    if (folders) {
        // Named as the file will read it back: a "?" of the name is kept as "？".
        const QString shown = TLibraryFile::SplitLine(TLibraryFile::LineOf({name, path})).Name;
        InsertViewItem(shown, static_cast<int>(folderPaths_.size()), &TMediaViewer::FolderMenuClick);
        folderPaths_.append(path);
        return;
    }
    if (!library_.AddLibraryItem(name, path, TMediaLibrary::kMediaFile, 0)) return;
    if (library_.SortKey != 0) library_.Sort();
    model_->Reload();
    FitToContent();
}

void TMediaViewer::RegisterFileDialog()
{
    TOpenDialogEx dialog(this);
    dialog.SetTitle(QStringLiteral("ライブラリに登録"));
    dialog.SetFolderCaption(QStringLiteral("フォルダを登録(ファイルを一つ選択してください。)"));
    dialog.SetFolderChecked(false);
    dialog.SetAppendVisible(false);
    dialog.SetMultiSelect(false);
    dialog.SetFilter(QStringLiteral("メディア ファイル|") + host_.ReadExtensionList() + QString::fromUtf8(kMediaFilters));
    if (!dialog.Execute()) return;
    const QString path = TMediaLibrary::RegistrationPath(dialog.FileName(), dialog.FolderChecked());
    AddLibraryEntry(path, shell::DisplayName(path));
}

void TMediaViewer::RegisterFolderDialog()
{
    const QString folder = SelectFolder(this, QStringLiteral("フォルダの登録"),
                                        QStringLiteral("登録するフォルダを選択してください。"), frameGeometry().topLeft());
    if (folder.isEmpty()) return;
    AddLibraryEntry(folder, shell::DisplayName(folder));
    if (folderPaths_.size() == 1 && shownFolder_ < 0) {
        // The first folder of the library is shown at once.
        shownFolder_ = 0;
        viewItems_->actions().at(0)->setChecked(true);
        host_.MutableSettings().LastSelectedFolder = 0;
        ListFolderContents(folderPaths_.at(0));
    }
}

// ---- entry commands ----

void TMediaViewer::PopupLibraryPopup()
{
    menuShown_ = true;
    const int row = SelectedRow();
    const bool selected = row >= 0 && row < library_.Count();
    ui_->N38->setEnabled(library_.Count() > 0);
    for (QAction* item : {ui_->N20, ui_->N18, ui_->N17, ui_->N2, ui_->N12, ui_->N8, ui_->N11})
        item->setEnabled(false);
    if (!selected) return;
    const TLibraryItem& item = library_.Items()[static_cast<size_t>(row)];
    ui_->N20->setEnabled(true);
    ui_->N18->setEnabled(true);
    if (library_.Kind() == TMediaLibrary::kFolders) {
        ui_->N8->setEnabled(true);
        ui_->N11->setEnabled(true);
    } else if (item.Kind <= TMediaLibrary::kMediaFile) {
        ui_->N12->setEnabled(true);
        ui_->N2->setEnabled(true);
    }
    // "x.ZOL" is a list as much as "x.zol".
    ui_->N17->setEnabled(IsListExtension(GetFileExtension(item.Path)));
}

void TMediaViewer::N2Click()
{
    const int row = SelectedRow();
    if (row < 0 || row >= library_.Count()) return;
    const TLibraryItem item = library_.Items()[static_cast<size_t>(row)];
    QString name = item.Name;
    {
        DialogScope scope(busy_, this);
        if (!InputQuery(this, QStringLiteral("登録名の変更"), QStringLiteral("登録名を入力してください。"), &name)) return;
    }
    if (name == item.Name) return;
    if (!TLibraryFile::InListFiles(TLibraryFile::kLibrary).Replace({item.Name, item.Path}, {name, item.Path})) return;
    library_.RenameItem(row, TLibraryFile::SplitLine(TLibraryFile::LineOf({name, item.Path})).Name, item.Path);
    if (library_.SortKey != 0) library_.Sort();
    model_->Reload();
    FitToContent();
}

void TMediaViewer::N12Click() { DeleteLibraryEntry(SelectedRow()); }

void TMediaViewer::N13Click()
{
    const int row = SelectedRow();
    if (row < 0 || row >= library_.Count()) return;
    const TLibraryItem& item = library_.Items()[static_cast<size_t>(row)];
    bool shown;
    {
        DialogScope scope(busy_, this);
        if (item.Kind == TMediaLibrary::kFolder || item.Kind == TMediaLibrary::kDrive || IsExistingFolder(item.Path))
            shown = shell::ExploreFolder(item.Path);
        else
            shown = shell::ExploreFolder(ExtractFileDir(item.Path), item.Path);
    }
    if (shown) host_.ApplyAlwaysOnTop();
}

void TMediaViewer::N19Click()
{
    const int row = SelectedRow();
    if (row < 0 || row >= library_.Count()) return;
    if (shell::ShowProperties(library_.Items()[static_cast<size_t>(row)].Path)) host_.ApplyAlwaysOnTop();
}

void TMediaViewer::N16Click()
{
    const int row = SelectedRow();
    if (row < 0 || row >= library_.Count()) return;
    if (host_.ToolWindowOpen(TToolWindow::PlayListEditor)) {
        DialogScope scope(busy_, this);
        MessageBox(this, QStringLiteral("現在リストを編集中のため、編集できません。"), QStringLiteral("情報"),
                   MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
        return;
    }
    host_.OpenListInEditor(library_.Items()[static_cast<size_t>(row)].Path);
    close();
}

void TMediaViewer::N38Click()
{
    if (library_.Count() == 0) return;
    handingOver_ = true;
    if (host_.DvdPlaying()) {
        DialogScope scope(busy_, this);
        if (MessageBox(this, QStringLiteral("DVDを再生中です。\n停止してよろしいですか？"), QStringLiteral("確認"),
                       MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) != IDYES) {
            handingOver_ = false;
            return;
        }
    }
    host_.SetAddingItems(true);
    host_.CloseMedia();
    host_.UpdateControlsForMedia(false);
    host_.SetListIndex(0);
    const std::vector<TLibraryItem> items = library_.Items();
    for (const TLibraryItem& item : items) host_.AddPathOrPlayList(item.Path);
    // The play list now holds the whole folder, not the row remembered.
    if (library_.Kind() == TMediaLibrary::kFolders) host_.SetRememberedFolderRow(0);
    host_.PostToolNotice(ToolNotice::LibraryRequest, static_cast<LPARAM>(LibraryRequest::PlayFromStart));
}

void TMediaViewer::N8Click()
{
    const int row = SelectedRow();
    if (row < 0 || row >= library_.Count()) return;
    const QString path = library_.Items()[static_cast<size_t>(row)].Path;
    if (!IsExistingFile(path)) return;
    QString name = TMediaLibrary::BaseName(path);
    {
        DialogScope scope(busy_, this);
        if (!InputQuery(this, QStringLiteral("ファイル名変更"), QStringLiteral("ファイル名を入力してください。"), &name))
            return;
    }
    if (name == TMediaLibrary::BaseName(path)) return;
    RenameFile(row, name);
}

void TMediaViewer::RenameFile(int index, const QString& name)
{
    const QString path = library_.Items()[static_cast<size_t>(index)].Path;
    const QString renamed = TMediaLibrary::RenamedPath(path, name);
    auto refuse = [this](const char* text) {
        DialogScope scope(busy_, this);
        MessageBox(this, QString::fromUtf8(text), QStringLiteral("情報"), MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
    };
    // The name as typed must be one ("..", "a/b"), and with its extension not too long.
    const QString folder = ExtractFileDir(path);
    if (!shell::IsUsableFileName(folder, name) || !shell::IsUsableFileName(folder, ExtractFileName(renamed))) {
        refuse("このファイル名は使えません。");
        return;
    }
    switch (shell::RenameNoReplace(path, renamed)) {
    case shell::RenameResult::Exists:
        refuse("同じファイル名が既にあるため変更できません。");
        return;
    case shell::RenameResult::Failed:
        return;
    case shell::RenameResult::Renamed:
        break;
    }
    const bool withExtension = host_.Settings().ShowExtension;
    library_.RenameItem(index, withExtension ? ExtractFileName(renamed) : name, renamed);
    model_->Reload();
    SelectRow(index);

    // The play list follows: the path always, a title only where it was the file's name.
    const QString oldTitles[] = {ExtractFileName(path), TMediaLibrary::BaseName(path)};
    const QString newTitles[] = {ExtractFileName(renamed), name};
    TPlayListModel& list = host_.PlayList();
    for (int i = 0; i < list.Count(); ++i) {
        TPlayListItem entry = list.Item(i);
        if (entry.Path != path) continue;
        entry.Path = renamed;
        for (int t = 0; t < 2; ++t) {
            if (entry.Title == oldTitles[t]) {
                entry.Title = newTitles[t];
                break;
            }
        }
        list.SetItem(i, entry);
    }
    if (host_.OpenedPath() == path) host_.SetOpenedPath(renamed);
}

void TMediaViewer::N11Click()
{
    const int row = SelectedRow();
    if (row < 0 || row >= library_.Count()) return;
    if (!shell::MoveToTrash(library_.Items()[static_cast<size_t>(row)].Path)) return;
    DeleteItem(row);
    FitToContent();
}

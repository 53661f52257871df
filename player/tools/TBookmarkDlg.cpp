#include "player/tools/TBookmarkDlg.h"

#include "common/Reghelp.h"
#include "platform/dialogs/dialogs.h"
#include "platform/keys/keys.h"
#include "player/tools/ToolHost.h"
#include "player/tools/WindowPlacement.h"
#include "ui_TBookmarkDlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QTreeWidget>

namespace {

const QRect kDefaultPlace(100, 100, 210, 400);   // Left, Top, client Width and Height

}  // namespace

TBookmarkDlg::TBookmarkDlg(IToolHost& host, bool sections)
    : QMainWindow(host.HostWindow(), Qt::Tool), host_(host), ui_(std::make_unique<Ui::TBookmarkDlg>()), editor_(host)
{
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose, false);
    ui_->ListBkmrk->setColumnWidth(0, 55);
    ui_->ListBkmrk->setColumnWidth(1, 60);
    ui_->ListBkmrk->addActions({ui_->ActMakeBkmrk, ui_->ActDelete, ui_->ActDeleteAll, ui_->InputNotes});
    ui_->ListBkmrk->installEventFilter(this);

    connect(ui_->ActMakeBkmrk, &QAction::triggered, this, &TBookmarkDlg::ActMakeBkmrkExecute);
    connect(ui_->ActDelete, &QAction::triggered, this, &TBookmarkDlg::ActDeleteExecute);
    connect(ui_->ActDeleteAll, &QAction::triggered, this, &TBookmarkDlg::ActDeleteAllExecute);
    connect(ui_->InputNotes, &QAction::triggered, this, &TBookmarkDlg::InputNotesExecute);
    connect(ui_->ActShowTitle, &QAction::triggered, this, &TBookmarkDlg::ActShowTitleExecute);
    connect(ui_->miTitle, &QAction::triggered, this, &TBookmarkDlg::ActShowTitleExecute);
    connect(ui_->ShowBmk, &QAction::triggered, this, &TBookmarkDlg::ShowBmkClick);
    connect(ui_->ShowRepeat, &QAction::triggered, this, &TBookmarkDlg::ShowRepeatClick);
    connect(ui_->N7, &QAction::triggered, this, &TBookmarkDlg::N7Click);
    connect(ui_->ListBkmrk, &QTreeWidget::itemDoubleClicked, this, &TBookmarkDlg::ListBkmrkDblClick);

    // The main window's make-bookmark key makes one here too.
    if (const WORD code = host_.MakeBookmarkShortCut())
        ui_->ActMakeBkmrk->setShortcut(QKeySequence::fromString(keys::ShortCutText(code)));
    TWindowPlacement(kBookmarkKey, kDefaultPlace).Restore(this);
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kBookmarkKey, KEY_READ);
    const bool stayOnTop = key ? RegReadBool(key.get(), "StayOnTop", true) : true;
    ui_->N7->setChecked(stayOnTop);
    if (stayOnTop && !host_.IsFullScreen()) TWindowPlacement::SetStayOnTop(this, true);
    SetMode(sections ? TBookmarkEditor::Mode::Sections : TBookmarkEditor::Mode::Bookmarks);
}

// FormDestroy: the place and the stay-on-top choice are kept for the next time.
TBookmarkDlg::~TBookmarkDlg()
{
    if (isMaximized()) return;
    TWindowPlacement(kBookmarkKey, kDefaultPlace).Save(this);
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kBookmarkKey, KEY_WRITE);
    if (key) RegWriteBool(key.get(), "StayOnTop", ui_->N7->isChecked());
}

QTreeWidget* TBookmarkDlg::ListBkmrk() const { return ui_->ListBkmrk; }

void TBookmarkDlg::closeEvent(QCloseEvent* e)
{
    // The main window deletes the editor when the notice arrives.
    host_.PostToolNotice(ToolNotice::BookmarksClosed, 0);
    e->accept();
}

void TBookmarkDlg::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QMainWindow::keyPressEvent(e);
}

bool TBookmarkDlg::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == ui_->ListBkmrk && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ListBkmrkDblClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

void TBookmarkDlg::SetMode(TBookmarkEditor::Mode mode)
{
    editor_.SetMode(mode);
    ui_->ShowBmk->setChecked(mode == TBookmarkEditor::Mode::Bookmarks);
    ui_->ShowRepeat->setChecked(mode == TBookmarkEditor::Mode::Sections);
    ui_->miTitle->setChecked(mode == TBookmarkEditor::Mode::Titles);
    editor_.UpdateBookmarkPath();
    editor_.Fill();
    ShowRows();
}

void TBookmarkDlg::Refresh()
{
    if (editor_.mode() == TBookmarkEditor::Mode::Titles) return;
    editor_.UpdateBookmarkPath();
    editor_.Fill();
    ShowRows();
}

void TBookmarkDlg::ShowRows()
{
    const int selected = SelectedRow();
    ui_->ListBkmrk->clear();
    for (const TBookmarkEditor::Row& row : editor_.rows())
        ui_->ListBkmrk->addTopLevelItem(new QTreeWidgetItem({row.title, row.position, row.note}));
    if (selected >= 0 && selected < ui_->ListBkmrk->topLevelItemCount())
        ui_->ListBkmrk->setCurrentItem(ui_->ListBkmrk->topLevelItem(selected));
    ui_->InputNotes->setEnabled(editor_.CanEditNotes());
}

int TBookmarkDlg::SelectedRow() const
{
    QTreeWidgetItem* item = ui_->ListBkmrk->currentItem();
    return item && item->isSelected() ? ui_->ListBkmrk->indexOfTopLevelItem(item) : -1;
}

int TBookmarkDlg::Ask(const QString& text)
{
    // The question shows above the windows that stay on top.
    const bool lower = !host_.IsFullScreen() && ui_->N7->isChecked();
    if (lower) TWindowPlacement::SetStayOnTop(this, false);
    const int answer = MessageBox(this, text, QStringLiteral("確認"), MB_YESNO | MB_ICONQUESTION | MB_TOPMOST);
    if (lower) TWindowPlacement::SetStayOnTop(this, true);
    return answer;
}

void TBookmarkDlg::ActMakeBkmrkExecute()
{
    if (editor_.MakeBookmark()) ShowRows();
}

void TBookmarkDlg::ActDeleteExecute()
{
    const int row = SelectedRow();
    if (row < 0 || Ask(QStringLiteral("削除してよろしいですか？")) != IDYES) return;
    editor_.Delete(row);
    ShowRows();
}

void TBookmarkDlg::ActDeleteAllExecute()
{
    if (editor_.rows().empty() || editor_.BookmarkPath().isEmpty()) return;
    if (Ask(QStringLiteral("すべて削除してよろしいですか？")) != IDYES) return;
    editor_.DeleteAll();
    ShowRows();
}

void TBookmarkDlg::InputNotesExecute()
{
    const int row = SelectedRow();
    if (row < 0 || !editor_.CanEditNotes()) return;
    QString note = editor_.rows()[row].note;
    const QString before = note;
    if (!InputQuery(this, QStringLiteral("ブックマーク"), QStringLiteral("備考を入力してください。(半角で30文字まで)"),
                    &note))
        return;
    if (note.isEmpty() && before.isEmpty()) return;
    const UINT info = MB_OK | MB_ICONINFORMATION | MB_TOPMOST;
    switch (editor_.SetNote(row, note)) {
    case TBookmarkEditor::NoteAnswer::SlashRefused:
        MessageBox(this, QStringLiteral("\"/\" は使えません。"), QStringLiteral("情報"), info);
        return;
    case TBookmarkEditor::NoteAnswer::NameTaken:
        MessageBox(this,
                   QStringLiteral("同じポジションのブックマークがあるため備考を変更できません。\n"
                                  "どちらかを削除するか、違った備考にしてください。"),
                   QStringLiteral("情報"), info);
        return;
    case TBookmarkEditor::NoteAnswer::Changed: ShowRows(); return;
    case TBookmarkEditor::NoteAnswer::Unchanged:
    case TBookmarkEditor::NoteAnswer::Failed: return;
    }
}

void TBookmarkDlg::ActShowTitleExecute()
{
    if (editor_.mode() == TBookmarkEditor::Mode::Titles) {
        ui_->miTitle->setChecked(true);
        return;
    }
    SetMode(TBookmarkEditor::Mode::Titles);
}

void TBookmarkDlg::ShowBmkClick() { SetMode(TBookmarkEditor::Mode::Bookmarks); }

void TBookmarkDlg::ShowRepeatClick() { SetMode(TBookmarkEditor::Mode::Sections); }

void TBookmarkDlg::N7Click()
{
    if (host_.IsFullScreen()) return;
    TWindowPlacement::SetStayOnTop(this, ui_->N7->isChecked());
    // The capture window is worked beside the editor: whichever way the
    // editor went, the capture window stays on top and comes above it, so
    // the editor never covers it. Raised, not activated: the user is in the
    // editor.
    if (QWidget* capture = host_.OpenToolWindow(TToolWindow::Capture)) {
        TWindowPlacement::SetStayOnTop(capture, true);
        capture->raise();
    }
}

void TBookmarkDlg::ListBkmrkDblClick()
{
    const int row = SelectedRow();
    if (row >= 0) editor_.Play(row);
}

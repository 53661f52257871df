#include "player/tools/TOKBottomDlg.h"

#include "common/Reghelp.h"
#include "platform/dialogs/dialogs.h"
#include "platform/dialogs/filedialogs.h"
#include "platform/mixer/mixer.h"
#include "platform/paths/paths.h"
#include "player/tools/DecoderLists.h"
#include "player/tools/DropDownCombo.h"
#include "player/tools/OptionSheets.h"
#include "player/tools/TDlgFind.h"
#include "player/tools/THotKeyDlg.h"
#include "player/tools/ToolHost.h"
#include "player/tools/WindowPlacement.h"
#include "player/units/Zodlg.h"
#include "ui_TOKBottomDlg.h"

#include <QColorDialog>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

namespace {

const char kDirectDrawKey[] = "SOFTWARE\\Microsoft\\DirectDraw";

void CallZodlg(const char* name)
{
    TZodlgLibrary library;
    if (auto show = library.Find<ShowDialogProc>(name)) show();
}

QPushButton* TabButton(QWidget* dialog, QWidget* sheet)
{
    return dialog->findChild<QPushButton*>(QStringLiteral("Tab") + sheet->objectName());
}

}  // namespace

bool DeleteBookmarkFolders(const QString& root)
{
    bool all = true;
    const QFileInfoList folders = QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo& folder : folders) {
        // A link may lead anywhere: it is neither entered nor removed.
        if (folder.isSymLink()) continue;
        QDir disc(folder.absoluteFilePath());
        const QFileInfoList files = disc.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QFileInfo& file : files) {
            if (file.isSymLink()) continue;
            const QString extension = GetFileExtension(file.fileName()).toLower();
            if (extension != QLatin1String("rsm") && extension != QLatin1String("bmk")) continue;
            if (!QFile::remove(file.absoluteFilePath())) all = false;
        }
        if (!QDir().rmdir(folder.absoluteFilePath())) all = false;
    }
    return all;
}

TOKBottomDlg::TOKBottomDlg(QWidget* owner, IToolHost* host, IOptionsHost& options)
    : QDialog(owner), ui_(std::make_unique<Ui::TOKBottomDlg>()), host_(host), options_(options)
{
    ui_->setupUi(this);
    Ui::TOKBottomDlg& f = *ui_;
    const std::array<QComboBox*, TDecoderLists::kKinds> lists{f.CmbMpeg1V, f.CmbMpeg1A, f.CmbMpeg2V,   f.CmbMpeg2A,
                                                             f.CmbDVDVideo, f.CmbDVDAudio, f.CmbMpeg1Cap, f.CmbMpeg2Cap};
    decoders_ = std::make_unique<TDecoderLists>(lists, f.CheckBox3, f.ComboAudio, this);
    sheets_ = std::make_unique<TOptionSheets>(f, options_, *decoders_, this);
    QStringList mixers;
    for (const std::string& name : mixer::AlsaBackend()->DeviceNames()) mixers << QString::fromStdString(name);
    sheets_->SetMixerNames(mixers);
    sheets_->Construct();

    for (int i = 0; i < f.PageControl1->count(); ++i) {
        if (QPushButton* tab = TabButton(this, f.PageControl1->widget(i)))
            connect(tab, &QPushButton::clicked, this, [this, i] { ShowSheet(TOptionSheet(i)); });
    }
    for (int kind = 0; kind < TDecoderLists::kKinds; ++kind) {
        auto* list = static_cast<TDropDownCombo*>(lists[kind]);
        list->onDropDown = [this, kind] { decoders_->DropDown(kind); };
        connect(list, &QComboBox::activated, this, [this, kind] { decoders_->Change(kind); });
    }
    connect(f.CheckBox3, &QCheckBox::clicked, this, [this] { decoders_->ShowAllClick(); });
    connect(f.OKBtn, &QPushButton::clicked, this, &TOKBottomDlg::OKBtnClick);
    connect(f.btnSerch, &QPushButton::clicked, this, &TOKBottomDlg::btnSerchClick);
    connect(f.btnKey, &QPushButton::clicked, this, &TOKBottomDlg::btnKeyClick);
    connect(f.BtnFile, &QPushButton::clicked, this, &TOKBottomDlg::BtnFileClick);
    connect(f.BtnColor, &QPushButton::clicked, this, &TOKBottomDlg::BtnColorClick);
    connect(f.Button6, &QPushButton::clicked, this, &TOKBottomDlg::Button6Click);
    connect(f.btnEnableOverlay, &QPushButton::clicked, this, &TOKBottomDlg::btnEnableOverlayClick);
    connect(f.BtnDelBM, &QPushButton::clicked, this, &TOKBottomDlg::BtnDelBMClick);
    connect(f.BtnDefault, &QPushButton::clicked, this, &TOKBottomDlg::BtnDefaultClick);
    connect(f.BtnSelectOpenList, &QPushButton::clicked, this, &TOKBottomDlg::BtnSelectOpenListClick);
    connect(f.BtnDecpro, &QPushButton::clicked, this, &TOKBottomDlg::BtnDecproClick);
    connect(f.Button1, &QPushButton::clicked, this, &TOKBottomDlg::Button1Click);
    connect(f.BtnCDDB, &QPushButton::clicked, this, &TOKBottomDlg::BtnCDDBClick);
    connect(f.CbResumeFile, &QCheckBox::clicked, this, &TOKBottomDlg::CbResumeFileClick);
    connect(f.CbOpenSpecificFile, &QCheckBox::clicked, this, &TOKBottomDlg::CbOpenSpecificFileClick);
    connect(f.CbDvdGraphBuilder, &QCheckBox::clicked, this, &TOKBottomDlg::CbDvdGraphBuilderClick);
    connect(f.ComboDVDRenderer, &QComboBox::activated, this, &TOKBottomDlg::ComboDVDRendererChange);
    // The renderers that are not installed read grey in the DVD list.
    const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
    if (!sheets_->Vmr7Registered()) f.ComboDVDRenderer->setItemData(1, grey, Qt::ForegroundRole);
    if (!sheets_->Vmr9Registered()) f.ComboDVDRenderer->setItemData(2, grey, Qt::ForegroundRole);
    ShowSheet(TOptionSheet::Display);
}

TOKBottomDlg::~TOKBottomDlg() = default;

void TOKBottomDlg::ShowSheet(TOptionSheet sheet)
{
    QWidget* page = ui_->PageControl1->widget(int(sheet));
    ui_->PageControl1->setCurrentWidget(page);
    if (QPushButton* tab = TabButton(this, page)) tab->setChecked(true);
    sheets_->Show(sheet);
}

void TOKBottomDlg::OKBtnClick()
{
    sheets_->Ok();
    accept();
}

void TOKBottomDlg::btnSerchClick()
{
    TDlgFind dialog(this);
    dialog.exec();
}

void TOKBottomDlg::btnKeyClick()
{
    if (!host_) return;
    THotKeyDlg dialog(*host_, this);
    if (dialog.exec() == QDialog::Accepted && dialog.KeysChanged()) host_->LoadShortcutKeys();
}

void TOKBottomDlg::BtnFileClick()
{
    TZodlgLibrary library;
    auto show = library.Find<ShowExtDlgProc>("ShowExtDlg");
    if (show && show()) options_.ClearExtensionListCache();
}

void TOKBottomDlg::BtnColorClick()
{
    QColorDialog dialog(ui_->Shape1->property("color").value<QColor>(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    const QColor c = dialog.selectedColor();
    ui_->Shape1->setProperty("color", c);
    ui_->Shape1->setStyleSheet(QStringLiteral("background: %1;").arg(c.name()));
}

void TOKBottomDlg::Button6Click()
{
    dialogs::FileDialogCall call;
    call.kind = dialogs::FileDialogCall::Folder;
    call.title = QStringLiteral("保存先のフォルダを選択してください。");
    call.directory = QDir::fromNativeSeparators(ui_->EdtPictureFolder->text());
    const dialogs::FileDialogResult result = dialogs::RunFileDialog(this, call);
    if (result.accepted && !result.paths.isEmpty()) ui_->EdtPictureFolder->setText(QDir::toNativeSeparators(result.paths.first()));
}

void TOKBottomDlg::btnEnableOverlayClick()
{
    bool done = false;
    if (const RegKey key = RegKey::Open(HKEY_LOCAL_MACHINE, kDirectDrawKey, KEY_WRITE))
        done = RegWriteDword(key.get(), "EmulationOnly", 0);
    if (done) {
        ui_->WarningText->hide();
        ui_->btnEnableOverlay->hide();
    }
    MessageBox(this, done ? QStringLiteral("Overlay を有効にしました。") : QStringLiteral("Overlay を有効に出来ませんでした。"),
               QStringLiteral("情報"), MB_ICONINFORMATION | MB_TOPMOST);
}

void TOKBottomDlg::BtnDelBMClick()
{
    if (MessageBox(this, QStringLiteral("すべてのブックマークとレジューム用ファイルを削除します。\nよろしいですか?"),
                   QStringLiteral("確認"), MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) != IDYES)
        return;
    const QString data = UserDataFolderPath();
    if (data.isEmpty()) return;
    const bool all = DeleteBookmarkFolders(data + QStringLiteral("Bookmark/"));
    options_.BookmarksDeleted();
    if (!all)
        MessageBox(this, QStringLiteral("削除できないファイルまたはフォルダがありました。"), QStringLiteral("情報"),
                   MB_ICONINFORMATION | MB_TOPMOST);
}

void TOKBottomDlg::BtnDefaultClick()
{
    Ui::TOKBottomDlg& f = *ui_;
    f.CBAutoresize->setChecked(true);
    f.ChDVDResume->setChecked(true);
    f.CbDVDStretch->setChecked(false);
    f.CbDvdGraphBuilder->setChecked(false);
    f.CbVMR7Color->setChecked(true);
    f.ChVMR9Windowed->setChecked(false);
    f.ChbVMRSupported->setChecked(true);
    f.ChDVDAudioFfRw->setChecked(false);
    CbDvdGraphBuilderClick();
}

void TOKBottomDlg::BtnSelectOpenListClick()
{
    dialogs::FileDialogCall call;
    call.kind = dialogs::FileDialogCall::Open;
    call.title = QStringLiteral("復元するファイルの選択");
    call.filter = QStringLiteral("メディア ファイル|") + options_.ReadExtensionList() +
                  QStringLiteral("|リスト ファイル|*.zol;*.m3u|すべてのファイル|*.*");
    // OpenDialogShow: over the options dialog, inside its monitor's work area.
    call.onShow = [this](QWidget* dialog) { TWindowPlacement::CentreOver(dialog, this); };
    const dialogs::FileDialogResult result = dialogs::RunFileDialog(this, call);
    if (result.accepted && !result.paths.isEmpty()) ui_->EdtOpenFileName->setText(result.paths.first());
}

void TOKBottomDlg::BtnDecproClick() { decoders_->PropertyMenu()->popup(QCursor::pos()); }

void TOKBottomDlg::Button1Click() { CallZodlg("ShowParentalCtlDlg"); }

void TOKBottomDlg::BtnCDDBClick() { CallZodlg("ShowCDDBDlg"); }

void TOKBottomDlg::CbResumeFileClick()
{
    if (ui_->CbResumeFile->isChecked()) {
        ui_->CbResumePosition->setEnabled(true);
        ui_->CbOpenSpecificFile->setChecked(false);
    } else if (!ui_->CbOpenSpecificFile->isChecked()) {
        ui_->CbResumePosition->setEnabled(false);
    }
}

void TOKBottomDlg::CbOpenSpecificFileClick()
{
    if (ui_->CbOpenSpecificFile->isChecked()) {
        ui_->CbResumePosition->setEnabled(true);
        ui_->CbResumeFile->setChecked(false);
    } else if (!ui_->CbResumeFile->isChecked()) {
        ui_->CbResumePosition->setEnabled(false);
    }
}

void TOKBottomDlg::CbDvdGraphBuilderClick()
{
    const bool own = !ui_->CbDvdGraphBuilder->isChecked();
    ui_->ChVMR9Windowed->setEnabled(own);
    ui_->CbVMR7Color->setEnabled(own);
    ui_->ChbVMRSupported->setEnabled(own);
}

void TOKBottomDlg::ComboDVDRendererChange()
{
    const int index = ui_->ComboDVDRenderer->currentIndex();
    if ((index == 1 && !sheets_->Vmr7Registered()) || (index == 2 && !sheets_->Vmr9Registered()))
        ui_->ComboDVDRenderer->setCurrentIndex(0);
}

void TOKBottomDlg::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    TWindowPlacement::CentreOver(this, parentWidget());
}

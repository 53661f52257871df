#include "ExtDlg.h"

#include "DlgBase.h"
#include "common/Extlist.h"
#include "common/Reghelp.h"
#include "platform/dialogs/dialogs.h"
#include "ui_CExtDlg.h"

#include <QHeaderView>

namespace {

constexpr int kNarrowColumn = 66;   // room left for the scroll bar
constexpr int kWideColumn = 83;
constexpr int kMaxTyped = 7;

// Byte order of the lower-cased text.
bool SortsBefore(const QString& a, const QString& b) { return a.toLower().toUtf8() < b.toLower().toUtf8(); }

// The stored value whatever its length.
QString ReadExtensionValue(HKEY key)
{
    DWORD type = 0;
    DWORD size = 0;
    if (!key || RegQueryValueEx(key, "Extension", nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    QString text;
    RegReadString(key, "Extension", &text, size + 1);
    return text;
}

}  // namespace

QStringList ExtensionsOfPatterns(const QString& patterns)
{
    QStringList extensions;
    for (QString piece : patterns.split(QLatin1Char(';'))) {
        if (piece.startsWith(QLatin1Char('*'))) piece.remove(0, 1);
        if (piece.startsWith(QLatin1Char('.'))) piece.remove(0, 1);
        if (!piece.isEmpty()) extensions << piece;
    }
    return extensions;
}

QString PatternsOfExtensions(const QStringList& extensions)
{
    QString patterns;
    for (const QString& extension : extensions) patterns += QString::fromUtf8("*.") + extension + QLatin1Char(';');
    return patterns;
}

QString ExtensionTypeName(const QString& extension)
{
    static const struct {
        const char* extensions;
        const char* name;
    } kNames[] = {
        {"wmv asf wm wma", "Windows Media"},     {"avi", "ビデオ"},
        {"wav aiff aif au snd", "オーディオ"},   {"mp3", "MP3 オーディオ"},
        {"mid midi rmi", "MIDI"},                {"mpg mpeg m2p mp2 m1v mpa", "MPEG ムービー"},
        {"m3u zol wpl", "再生リスト"},           {"rm rmvb ram", "RealMedia"},
        {"ra", "RealAudio"},                     {"bmp jpg jpeg tga gif dib", "静止画"},
        {"ifo vob", "DVD ビデオ"},               {"mkv", "Matroska Media"},
        {"mka", "Matroska Audio"},               {"mp4", "MPEG4"},
        {"ogm", "Ogg Media"},                    {"ogg", "Ogg Vorbis"},
        {"mov qt", "Quicktime"},                 {"lnk", "ショートカット"},
        {"cda", "CD オーディオ"},
    };
    for (const auto& entry : kNames) {
        if (QString::fromLatin1(entry.extensions).split(QLatin1Char(' ')).contains(extension))
            return QString::fromUtf8(entry.name);
    }
    return {};
}

CExtDlg::CExtDlg(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::CExtDlg>())
{
    ui_->setupUi(this);
    zodlg::ApplyDialogUnits(this);
    OnInitDialog();
    // The edit lower-cases what is typed, as the list holds it.
    connect(ui_->c6004, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (text != text.toLower()) {
            const int cursor = ui_->c6004->cursorPosition();
            ui_->c6004->setText(text.toLower());
            ui_->c6004->setCursorPosition(cursor);
        }
    });
    connect(ui_->c6010, &QTreeWidget::itemSelectionChanged, this, &CExtDlg::OnLvnItemchanged);
    connect(ui_->c6010, &QTreeWidget::currentItemChanged, this, &CExtDlg::OnLvnItemchanged);
    connect(ui_->c6003, &QPushButton::clicked, this, &CExtDlg::OnBnClickedAdd);
    connect(ui_->c6006, &QPushButton::clicked, this, &CExtDlg::OnBnClickedDelete);
    connect(ui_->c6007, &QPushButton::clicked, this, &CExtDlg::OnBnClickedUndo);
    connect(ui_->c6008, &QPushButton::clicked, this, &CExtDlg::OnBnClickedDefault);
    connect(ui_->c1, &QPushButton::clicked, this, &CExtDlg::OnBnClickedOk);
    connect(ui_->c2, &QPushButton::clicked, this, &QDialog::reject);
}

CExtDlg::~CExtDlg() = default;

bool CExtDlg::OnInitDialog()
{
    ui_->c6010->header()->setStretchLastSection(false);
    ui_->c6010->setColumnWidth(0, kNarrowColumn);
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kMainKey, KEY_ALL_ACCESS);
    saved_ = ReadExtensionValue(key.get());
    if (saved_.isEmpty()) saved_ = QString::fromLatin1(kDefaultExtensionList);
    Fill(saved_);
    return true;
}

void CExtDlg::Fill(const QString& patterns)
{
    ui_->c6010->clear();
    for (const QString& extension : ExtensionsOfPatterns(patterns)) InsertSorted(extension);
    ui_->c6010->setColumnWidth(0, ui_->c6010->topLevelItemCount() < 10 ? kWideColumn : kNarrowColumn);
}

void CExtDlg::InsertSorted(const QString& extension)
{
    QTreeWidget* list = ui_->c6010;
    int at = list->topLevelItemCount();
    while (at > 0 && SortsBefore(extension, list->topLevelItem(at - 1)->text(0))) --at;
    // Type icons come from the desktop's icon theme once platform/shell
    // provides them; until then items have none.
    list->insertTopLevelItem(at, new QTreeWidgetItem({extension}));
    if (list->columnWidth(0) > kNarrowColumn && list->topLevelItemCount() > 9)
        list->setColumnWidth(0, kNarrowColumn);
}

void CExtDlg::OnLvnItemchanged()
{
    const QTreeWidgetItem* item = ui_->c6010->currentItem();
    ui_->c6090->setText(item ? ExtensionTypeName(item->text(0)) : QString());
}

void CExtDlg::OnBnClickedAdd()
{
    const QString text = ui_->c6004->text().left(kMaxTyped);
    if (text.isEmpty()) return;
    for (const QChar c : text) {
        if (!((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9')))) {
            MessageBox(this, QString::fromUtf8("文字が不正です。\nアルファベットか、数字を入力してください。"),
                       QString::fromUtf8("Zoravel"), MB_ICONINFORMATION | MB_TOPMOST);
            return;
        }
    }
    for (int i = 0; i < ui_->c6010->topLevelItemCount(); ++i) {
        if (ui_->c6010->topLevelItem(i)->text(0).compare(text, Qt::CaseInsensitive) == 0) {
            MessageBox(this, QString::fromUtf8("すでに登録済みです。"), QString::fromUtf8("Zoravel"),
                       MB_ICONINFORMATION | MB_TOPMOST);
            ui_->c6004->clear();
            return;
        }
    }
    InsertSorted(text);
    ui_->c6004->clear();
}

void CExtDlg::OnBnClickedDelete()
{
    qDeleteAll(ui_->c6010->selectedItems());
    if (ui_->c6010->columnWidth(0) < kWideColumn && ui_->c6010->topLevelItemCount() < 10)
        ui_->c6010->setColumnWidth(0, kWideColumn);
}

void CExtDlg::OnBnClickedUndo() { Fill(saved_); }

void CExtDlg::OnBnClickedDefault() { Fill(QString::fromLatin1(kDefaultExtensionList)); }

void CExtDlg::OnBnClickedOk()
{
    QStringList extensions;
    for (int i = 0; i < ui_->c6010->topLevelItemCount(); ++i) extensions << ui_->c6010->topLevelItem(i)->text(0);
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_WRITE);
    if (key) RegWriteString(key.get(), "Extension", PatternsOfExtensions(extensions));
    accept();
}

bool RunExtDlg()
{
    if (!zodlg::CanShowDialogs()) return false;
    CExtDlg dialog(zodlg::CallerWindow());
    return dialog.exec() == QDialog::Accepted;
}

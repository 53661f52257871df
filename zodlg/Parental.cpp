#include "Parental.h"

#include "DlgBase.h"
#include "common/Reghelp.h"
#include "common/scramble.h"
#include "platform/dialogs/dialogs.h"
#include "ui_CParental.h"
#include "ui_CPassword.h"
#include "ui_CProtectDlg.h"

#include <array>
#include <vector>

namespace {

// The stored level of each list position, per country; a level shows at the
// last position whose level does not exceed it.
const std::vector<int>& LevelTable(int country)
{
    static const std::array<std::vector<int>, 3> kTables = {
        std::vector<int>{0, 1, 4, 6, 7}, std::vector<int>{0, 1, 3, 4, 6, 7},
        std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}};
    return kTables[country >= 0 && country < 3 ? country : 2];
}

}  // namespace

QStringList ParentalLevelNames(int country)
{
    switch (country) {
    case 0: return {"無制限", "一般", "PG-12", "R-15", "R-18"};
    case 1: return {"無制限", "G", "PG", "PG-13", "R", "NC-17"};
    default: break;
    }
    QStringList names{"無制限"};
    for (int level = 1; level <= 8; ++level) names << QString::fromUtf8("レベル %1").arg(level);
    return names;
}

int ParentalLevelOfPosition(int country, int position)
{
    const std::vector<int>& table = LevelTable(country);
    return position >= 0 && position < static_cast<int>(table.size()) ? table[position] : 0;
}

int ParentalPositionOfLevel(int country, int level)
{
    if (level < 0 || level > 8) return 0;
    const std::vector<int>& table = LevelTable(country);
    int position = 0;
    for (int i = 0; i < static_cast<int>(table.size()); ++i)
        if (table[i] <= level) position = i;
    return position;
}

CPassword::CPassword(const QString& password, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CPassword>())
{
    ui_->setupUi(this);
    zodlg::ApplyDialogUnits(this);
    zodlg::LimitUtf8Bytes(ui_->c6004, kLockPasswordEditBytes);
    zodlg::LimitUtf8Bytes(ui_->c6090, kLockPasswordEditBytes);
    ui_->c6004->setText(password);
    ui_->c6090->setText(password);
    connect(ui_->c1, &QPushButton::clicked, this, &CPassword::OnBnClickedOk);
    connect(ui_->c2, &QPushButton::clicked, this, &QDialog::reject);
}

CPassword::~CPassword() = default;

void CPassword::OnBnClickedOk()
{
    const QString first = ui_->c6004->text();
    const QString second = ui_->c6090->text();
    if (!first.isEmpty() || !second.isEmpty()) {
        if (first != second) {
            MessageBox(this, QString::fromUtf8("パスワードが一致しません。\nもう一度入力してください。"),
                       QString::fromUtf8("エラー"), MB_ICONINFORMATION | MB_TOPMOST);
            return;
        }
        password_ = first;
        accept();
        return;
    }
    if (MessageBox(this, QString::fromUtf8("パスワードが空白です。\nパスワード保護が無効になりますがよろしいですか？"),
                   QString::fromUtf8("確認"), MB_YESNO | MB_ICONINFORMATION | MB_TOPMOST) != IDYES)
        return;
    password_.clear();
    accept();
}

CProtectDlg::CProtectDlg(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::CProtectDlg>())
{
    ui_->setupUi(this);
    zodlg::ApplyDialogUnits(this);
    zodlg::LimitUtf8Bytes(ui_->c6004, kLockPasswordEditBytes);
    connect(ui_->c1, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->c2, &QPushButton::clicked, this, &QDialog::reject);
}

CProtectDlg::~CProtectDlg() = default;

QString CProtectDlg::Password() const { return ui_->c6004->text(); }

CParental::CParental(const std::string& password, bool protect, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CParental>()), protect_(protect), password_(password)
{
    ui_->setupUi(this);
    zodlg::ApplyDialogUnits(this);
    OnInitDialog();
    connect(ui_->c6005, &QCheckBox::clicked, this, &CParental::UpdateEnables);
    connect(ui_->c6028, &QComboBox::currentIndexChanged, this, &CParental::OnCbnSelchangeCountry);
    // activated, not currentIndexChanged: choosing the position already shown
    // still sets its level (level 5 shows as "PG-12", choosing it stores 4).
    connect(ui_->c6022, &QComboBox::activated, this, &CParental::OnCbnSelchangeLevel);
    connect(ui_->c6003, &QPushButton::clicked, this, &CParental::OnBnClickedChangePassword);
    connect(ui_->c1, &QPushButton::clicked, this, &CParental::OnBnClickedOk);
    connect(ui_->c2, &QPushButton::clicked, this, &QDialog::reject);
}

CParental::~CParental() = default;

bool CParental::OnInitDialog()
{
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_READ);
    ui_->c6005->setChecked(RegReadBool(key.get(), "UseParentalCtrl", false));
    level_ = static_cast<int>(RegReadDword(key.get(), "ParentalLevel", 0));
    const DWORD country = RegReadDword(key.get(), "DVDPCCountry", 0);
    ui_->c6000->setChecked(RegReadBool(key.get(), "UsePasswordToUnlock", false));
    ui_->c6001->setChecked(protect_);
    if (password_.empty()) {
        ui_->c6000->setChecked(false);
        ui_->c6000->setEnabled(false);
        ui_->c6001->setChecked(false);
        ui_->c6001->setEnabled(false);
    }
    ui_->c6028->setCurrentIndex(country < 3 ? static_cast<int>(country) : -1);
    FillLevels();
    UpdateEnables();
    return true;
}

void CParental::FillLevels()
{
    const int country = ui_->c6028->currentIndex();
    ui_->c6022->clear();
    ui_->c6022->addItems(ParentalLevelNames(country));
    ui_->c6022->setCurrentIndex(ParentalPositionOfLevel(country, level_));
}

void CParental::UpdateEnables()
{
    const bool on = ui_->c6005->isChecked();
    ui_->c6028->setEnabled(on);
    ui_->c6022->setEnabled(on);
    if (!on) {
        ui_->c6000->setChecked(false);
        ui_->c6000->setEnabled(false);
    } else if (!password_.empty()) {
        ui_->c6000->setEnabled(true);
    }
}

void CParental::OnCbnSelchangeCountry() { FillLevels(); }

void CParental::OnCbnSelchangeLevel(int position)
{
    level_ = ParentalLevelOfPosition(ui_->c6028->currentIndex(), position);
}

void CParental::OnBnClickedChangePassword()
{
    CPassword dialog(QString::fromStdString(UnscrambledPassword(password_)), this);
    if (dialog.exec() != QDialog::Accepted) return;
    password_ = ScrambledPassword(dialog.Password().toStdString());
    const bool held = !password_.empty();
    if (!held) {
        ui_->c6000->setChecked(false);
        ui_->c6001->setChecked(false);
    }
    ui_->c6000->setEnabled(held && ui_->c6005->isChecked());
    ui_->c6001->setEnabled(held && ui_->c6005->isChecked());
}

void CParental::OnBnClickedOk()
{
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_WRITE);
    if (key) {
        registry::WriteBatch batch;
        const bool held = !password_.empty();
        if (ui_->c6028->currentIndex() >= 0)
            RegWriteDword(key.get(), "DVDPCCountry", static_cast<DWORD>(ui_->c6028->currentIndex()));
        RegWriteDword(key.get(), "ParentalLevel", static_cast<DWORD>(level_));
        zodlg::WriteBinaryText(key.get(), "ParentalLockPassword", password_);
        if (held) {
            RegWriteBool(key.get(), "UsePasswordToUnlock", ui_->c6000->isChecked());
        } else {
            RegWriteBool(key.get(), "UsePasswordToUnlock", false);
            RegWriteBool(key.get(), "ProtectParentalCtrlDlg", false);
        }
        RegWriteBool(key.get(), "UseParentalCtrl", ui_->c6005->isChecked());
        RegWriteBool(key.get(), "ProtectParentalCtrlDlg", held && ui_->c6001->isChecked());
    }
    accept();
}

void RunParentalCtlDlg()
{
    if (!zodlg::CanShowDialogs()) return;
    bool protect = false;
    std::string password;
    {
        const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_READ);
        protect = RegReadBool(key.get(), "ProtectParentalCtrlDlg", false);
        zodlg::ReadBinaryText(key.get(), "ParentalLockPassword", kMaxLockPasswordBytes, &password);
    }
    QWidget* owner = zodlg::CallerWindow();
    if (protect && !password.empty()) {
        CProtectDlg prompt(owner);
        if (prompt.exec() != QDialog::Accepted) return;
        if (ScrambledPassword(prompt.Password().toStdString()) != password) return;
    }
    CParental dialog(password, protect, owner);
    dialog.exec();
}

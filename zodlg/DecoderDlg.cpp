#include "DecoderDlg.h"

#include "DlgBase.h"
#include "common/Reghelp.h"
#include "ui_CCinemasterDec.h"
#include "ui_CDecoderDlg2.h"

namespace {

constexpr char kInterVideoKey[] = "SOFTWARE\\InterVideo\\Common\\VideoDec";
constexpr char kClvsdKey[] = "SOFTWARE\\CyberLink\\Common\\CLVSD";
constexpr char kClvsdUserKey[] = "Software\\Cyberlink\\Common\\CLVSD";
constexpr char kClvsdOwnKey[] = "Software\\Cyberlink\\Common\\CLVSD\\Zorvi";
constexpr char kPowerDvdKey[] = "SOFTWARE\\CyberLink\\PowerDVD";
constexpr char kPowerDvdUserKey[] = "Software\\CyberLink\\PowerDVD";
constexpr char kCinePlayerKey[] = "Software\\Sonic\\CinePlayer\\1.5";
constexpr char kCineMasterKey[] = "SOFTWARE\\Sonic\\CineMaster DS DVD\\2.5\\VideoDecoder";

RegKey OpenForReading(HKEY root, const char* key) { return RegKey::Open(root, key, KEY_READ); }
RegKey OpenForWriting(HKEY root, const char* key) { return RegKey::Open(root, key, KEY_WRITE); }

// A value counts only as a DWORD; a missing one shows unchecked.
bool Flag(const RegKey& key, const char* name) { return RegReadBool(key.get(), name, false); }

bool HasDword(const RegKey& key, const char* name)
{
    DWORD type = 0;
    DWORD size = 0;
    return key && RegQueryValueEx(key.get(), name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
           type == REG_DWORD && size == 4;
}

}  // namespace

CDecoderDlg2::CDecoderDlg2(bool interVideo, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CDecoderDlg2>()), interVideo_(interVideo)
{
    ui_->setupUi(this);
    zodlg::ApplyDialogUnits(this);
    OnInitDialog();
    connect(ui_->c1, &QPushButton::clicked, this, &CDecoderDlg2::OnBnClickedOk);
    connect(ui_->c2, &QPushButton::clicked, this, &QDialog::reject);
}

CDecoderDlg2::~CDecoderDlg2() = default;

bool CDecoderDlg2::OnInitDialog()
{
    if (interVideo_) {
        const RegKey key = OpenForReading(HKEY_LOCAL_MACHINE, kInterVideoKey);
        start_[0] = Flag(key, "DXVA");
        start_[1] = Flag(key, "HWMC");
        start_[2] = Flag(key, "VMR");
        ui_->c6038->setEnabled(false);
        setWindowTitle(QString::fromUtf8("InterVideo Video Decoder"));
    } else {
        clvsd_ = static_cast<bool>(OpenForReading(HKEY_CURRENT_USER, kClvsdUserKey));
        if (clvsd_) {
            const RegKey key = OpenForReading(HKEY_LOCAL_MACHINE, kClvsdKey);
            start_[2] = Flag(key, "EnableVMR");
            start_[3] = Flag(key, "EnableVMR9");
            start_[0] = Flag(key, "UIUseHVA");
            const RegKey own = OpenForReading(HKEY_CURRENT_USER, kClvsdOwnKey);
            if (HasDword(own, "UIUseHVA")) start_[0] = Flag(own, "UIUseHVA");
        } else {
            const RegKey key = OpenForReading(HKEY_LOCAL_MACHINE, kPowerDvdKey);
            start_[2] = Flag(key, "EnableVMR");
            start_[3] = Flag(key, "EnableVMR9");
            start_[0] = Flag(OpenForReading(HKEY_CURRENT_USER, kPowerDvdUserKey), "UIUseHVA");
        }
        ui_->c6001->setEnabled(false);
        setWindowTitle(QString::fromUtf8("CyberLink Video/SP Decoder"));
    }
    ui_->c6000->setChecked(start_[0]);
    ui_->c6001->setChecked(start_[1]);
    ui_->c6005->setChecked(start_[2]);
    ui_->c6038->setChecked(start_[3]);
    return true;
}

bool CDecoderDlg2::Changed() const
{
    return ui_->c6000->isChecked() != start_[0] || ui_->c6001->isChecked() != start_[1] ||
           ui_->c6005->isChecked() != start_[2] || ui_->c6038->isChecked() != start_[3];
}

void CDecoderDlg2::OnBnClickedOk()
{
    if (!Changed()) {
        accept();
        return;
    }
    const bool dxva = ui_->c6000->isChecked();
    const bool vmr = ui_->c6005->isChecked();
    const bool vmr9 = ui_->c6038->isChecked();
    registry::WriteBatch batch;
    if (interVideo_) {
        if (const RegKey key = OpenForWriting(HKEY_LOCAL_MACHINE, kInterVideoKey)) {
            RegWriteBool(key.get(), "DXVA", dxva);
            RegWriteBool(key.get(), "HWMC", ui_->c6001->isChecked());
            RegWriteBool(key.get(), "VMR", vmr);
        }
    } else {
        // Keys that do not open are skipped; only the per-user copies of an
        // installation that has them are created.
        if (clvsd_) {
            if (const RegKey key = RegKey::Create(HKEY_LOCAL_MACHINE, kClvsdKey, KEY_ALL_ACCESS)) {
                RegWriteBool(key.get(), "EnableVMR", vmr);
                RegWriteBool(key.get(), "EnableVMR9", vmr9);
            }
            if (const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kClvsdOwnKey, KEY_ALL_ACCESS))
                RegWriteBool(key.get(), "UIUseHVA", dxva);
        }
        if (const RegKey key = OpenForWriting(HKEY_LOCAL_MACHINE, kPowerDvdKey)) {
            RegWriteBool(key.get(), "EnableVMR", vmr);
            RegWriteBool(key.get(), "EnableVMR9", vmr9);
        }
        if (const RegKey key = OpenForWriting(HKEY_CURRENT_USER, kPowerDvdUserKey))
            RegWriteBool(key.get(), "UIUseHVA", dxva);
    }
    accept();
}

CCinemasterDec::CCinemasterDec(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::CCinemasterDec>())
{
    ui_->setupUi(this);
    zodlg::ApplyDialogUnits(this);
    OnInitDialog();
    connect(ui_->c1, &QPushButton::clicked, this, &CCinemasterDec::OnBnClickedOk);
    connect(ui_->c2, &QPushButton::clicked, this, &QDialog::reject);
}

CCinemasterDec::~CCinemasterDec() = default;

bool CCinemasterDec::OnInitDialog()
{
    start_[1] = Flag(OpenForReading(HKEY_CURRENT_USER, kCinePlayerKey), "UseVMR");
    const RegKey decoder = OpenForReading(HKEY_LOCAL_MACHINE, kCineMasterKey);
    start_[0] = Flag(decoder, "UseDXVA");
    start_[2] = Flag(decoder, "DXVAAllowNonSubPicProfilesforDVD");
    ui_->c6000->setChecked(start_[0]);
    ui_->c6001->setChecked(start_[1]);
    ui_->c6005->setChecked(start_[2]);
    return true;
}

void CCinemasterDec::OnBnClickedOk()
{
    const bool dxva = ui_->c6000->isChecked();
    const bool vmr = ui_->c6001->isChecked();
    const bool allow = ui_->c6005->isChecked();
    if (dxva == start_[0] && vmr == start_[1] && allow == start_[2]) {
        accept();
        return;
    }
    registry::WriteBatch batch;
    if (const RegKey key = OpenForWriting(HKEY_CURRENT_USER, kCinePlayerKey)) RegWriteBool(key.get(), "UseVMR", vmr);
    if (const RegKey key = OpenForWriting(HKEY_LOCAL_MACHINE, kCineMasterKey)) {
        RegWriteBool(key.get(), "UseDXVA", dxva);
        RegWriteBool(key.get(), "DXVAAllowNonSubPicProfilesforDVD", allow);
    }
    accept();
}

void RunDecoderDlg(bool interVideo)
{
    if (!zodlg::CanShowDialogs()) return;
    CDecoderDlg2 dialog(interVideo, zodlg::CallerWindow());
    dialog.exec();
}

void RunSonicDecoderDlg()
{
    if (!zodlg::CanShowDialogs()) return;
    CCinemasterDec dialog(zodlg::CallerWindow());
    dialog.exec();
}

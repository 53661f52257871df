#include "CddbSetDlg.h"

#include "CddbClient.h"
#include "DlgBase.h"
#include "common/Reghelp.h"
#include "common/scramble.h"
#include "platform/dialogs/dialogs.h"
#include "platform/paths/paths.h"
#include "ui_CCDDBSetDlg.h"

#include <QFile>
#include <QRegularExpressionValidator>

namespace {

constexpr int kFirstLevel = 3;

// A zero-terminated REG_SZ or REG_EXPAND_SZ; empty for any other type.
QString ReadHostText(HKEY key, const char* name)
{
    DWORD type = 0;
    DWORD size = 0;
    if (!key || RegQueryValueEx(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) return {};
    std::string bytes(size, '\0');
    if (RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size) != ERROR_SUCCESS)
        return {};
    return QString::fromUtf8(bytes.c_str());
}

// A port typed into an edit: 1 to 65535, else 0.
DWORD PortOf(const QString& text)
{
    bool ok = false;
    const uint port = text.trimmed().toUInt(&ok);
    return ok && port >= 1 && port <= 65535 ? port : 0;
}

const char* YesNo(bool flag) { return flag ? "yes" : "no"; }

}  // namespace

std::string ServerInfoReport(const std::string& motd, const CddbStat* stat)
{
    std::string report;
    if (!motd.empty()) report = "MESSAGE OF THE DAY:\n" + motd + "\n\n";
    if (!stat) return report;
    const auto number = [](int n) { return std::to_string(n); };
    report += "STATUS:";
    report += "\nCurrent Protocol: " + number(stat->currentProto);
    report += "\nMax Protocol: " + number(stat->maxProto);
    report += std::string("\nGets Allowed: ") + YesNo(stat->gets);
    report += std::string("\nUpdates Allowed: ") + YesNo(stat->updates);
    report += std::string("\nPosting Allowed: ") + YesNo(stat->posting);
    report += std::string("\nQuotes Enabled: ") + YesNo(stat->quotes);
    report += "\nCurrent Users: " + number(stat->currentUsers);
    report += "\nMax Users: " + number(stat->maxUsers);
    report += std::string("\nStrip Extended: ") + YesNo(stat->stripExt);
    report += "\n\nDATABASE ENTRIES:\nTotal: " + number(stat->databaseEntries);
    for (const auto& [category, count] : stat->categories) report += "\n" + category + ": " + number(count);
    if (!stat->pending.empty()) {
        report += "\n";
        for (const auto& [name, count] : stat->pending)
            report += "\n" + name + " has " + number(count) + " pending entries";
    }
    return report;
}

CCDDBSetDlg::CCDDBSetDlg(const std::string& listFolder, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CCDDBSetDlg>()), servers_(listFolder)
{
    ui_->setupUi(this);
    zodlg::ApplyDialogUnits(this);
    const auto* digits = new QRegularExpressionValidator(QRegularExpression(QString::fromUtf8("[0-9]*")), this);
    ui_->c6090->setValidator(digits);
    ui_->c6024->setValidator(digits);
    ui_->c6029->setMaxLength(kMaxProxyPasswordBytes);
    zodlg::LimitUtf8Bytes(ui_->c6030, kMaxProxyPasswordBytes);
    OnInitDialog();
    connect(ui_->c6018, &QComboBox::activated, this, &CCDDBSetDlg::OnCbnSelchangeServer);
    connect(ui_->c6007, &QPushButton::clicked, this, &CCDDBSetDlg::OnBnClickedAddServer);
    connect(ui_->c6004, &QLineEdit::textEdited, this, &CCDDBSetDlg::OnEnChangeServerField);
    connect(ui_->c6090, &QLineEdit::textEdited, this, &CCDDBSetDlg::OnEnChangeServerField);
    connect(ui_->c6025, &QPushButton::clicked, this, &CCDDBSetDlg::OnBnClickedRegisterServer);
    connect(ui_->c6026, &QPushButton::clicked, this, &CCDDBSetDlg::OnBnClickedCancelAdd);
    connect(ui_->c6008, &QPushButton::clicked, this, &CCDDBSetDlg::OnBnClickedDeleteServer);
    connect(ui_->c6003, &QPushButton::clicked, this, &CCDDBSetDlg::OnBnClickedSearchServers);
    connect(ui_->c6006, &QPushButton::clicked, this, &CCDDBSetDlg::OnBnClickedConnect);
    connect(ui_->c6000, &QCheckBox::clicked, this, &CCDDBSetDlg::OnBnClickedUseProxy);
    connect(ui_->c6001, &QCheckBox::clicked, this, &CCDDBSetDlg::OnBnClickedProxyAuth);
    connect(ui_->c1, &QPushButton::clicked, this, &CCDDBSetDlg::OnBnClickedOk);
    connect(ui_->c2, &QPushButton::clicked, this, &QDialog::reject);
}

CCDDBSetDlg::~CCDDBSetDlg() = default;

bool CCDDBSetDlg::OnInitDialog()
{
    ui_->c6022->setCurrentIndex(5 - kFirstLevel);
    ui_->c6017->setValue(5);
    DWORD serverIndex = 0;
    std::string password;
    if (const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kCddbKey, KEY_READ)) {
        ui_->c6023->setText(ReadHostText(key.get(), "ProxyHost"));
        ui_->c6000->setChecked(RegReadBool(key.get(), "UseProxy", false));
        const DWORD level = RegReadDword(key.get(), "ProtocolLevel", 5);
        if (level < 7) ui_->c6022->setCurrentIndex(static_cast<int>(level) - kFirstLevel);
        ui_->c6024->setText(QString::number(RegReadDword(key.get(), "ProxyPort", 0)));
        // The spin box keeps the time-out within 1 to 100 seconds: 0 would
        // make every look-up fail at once.
        ui_->c6017->setValue(static_cast<int>(std::min<DWORD>(RegReadDword(key.get(), "TimeOut", 5000) / 1000, 100)));
        serverIndex = RegReadDword(key.get(), "ServerIndex", 0);
        ui_->c6001->setChecked(RegReadBool(key.get(), "ProxyCertification", false));
        QString user;
        RegReadString(key.get(), "ProxyUser", &user, 4096);
        ui_->c6029->setText(user);
        zodlg::ReadBinaryText(key.get(), "ProxyPassword", kMaxProxyPasswordBytes, &password);
    }
    LoadServerList();
    if (serverIndex >= servers_.Entries().size()) serverIndex = 0;
    ui_->c6018->setCurrentIndex(static_cast<int>(serverIndex));
    ShowEntry(static_cast<int>(serverIndex));
    OnBnClickedUseProxy();
    if (!password.empty()) ui_->c6030->setText(QString::fromStdString(UnscrambledPassword(password)));
    ui_->c6029->setEnabled(ui_->c6001->isChecked());
    ui_->c6030->setEnabled(ui_->c6001->isChecked());
    ready_ = true;
    return true;
}

void CCDDBSetDlg::LoadServerList()
{
    servers_.Load();
    ui_->c6018->clear();
    for (const ServerEntry& entry : servers_.Entries()) ui_->c6018->addItem(QString::fromStdString(entry.host));
}

const ServerEntry* CCDDBSetDlg::Selected() const
{
    const int index = ui_->c6018->currentIndex();
    if (index < 0 || index >= static_cast<int>(servers_.Entries().size())) return nullptr;
    return &servers_.Entries()[static_cast<std::size_t>(index)];
}

// Shows the port and path of the entry, editable only for a user server.
void CCDDBSetDlg::ShowEntry(int index)
{
    ui_->c6008->setEnabled(index > 0);
    const ServerEntry* entry = Selected();
    ui_->c6090->setText(entry ? QString::fromStdString(entry->port) : QString());
    ui_->c6004->setText(entry ? QString::fromStdString(entry->path) : QString());
    ui_->c6090->setEnabled(entry && !entry->ReadOnly());
    ui_->c6004->setEnabled(entry && !entry->ReadOnly());
}

void CCDDBSetDlg::OnCbnSelchangeServer()
{
    ShowEntry(ui_->c6018->currentIndex());
    ui_->c6025->hide();
    ui_->c6026->hide();
}

void CCDDBSetDlg::OnBnClickedAddServer()
{
    ui_->c6008->setEnabled(false);
    ui_->c6018->hide();
    ui_->c6004->setEnabled(true);
    ui_->c6090->setEnabled(true);
    ui_->c6027->show();
    ui_->c6025->show();
    ui_->c6026->show();
    adding_ = true;
}

void CCDDBSetDlg::OnEnChangeServerField()
{
    if (!ready_) return;
    // Without an add under way, a change edits the selected server.
    ui_->c6025->show();
    ui_->c6026->show();
}

void CCDDBSetDlg::EndEditing()
{
    ui_->c6018->show();
    ui_->c6027->hide();
    ui_->c6025->hide();
    ui_->c6026->hide();
    ui_->c6027->clear();
    adding_ = false;
}

bool CCDDBSetDlg::SaveUserServer()
{
    const ServerEntry* entry = Selected();
    if (!adding_) {
        if (!entry) return false;
        ui_->c6027->setText(QString::fromStdString(entry->host));
    }
    const std::string host = ui_->c6027->text().toStdString();
    const std::string port = ui_->c6090->text().toStdString();
    const std::string path = ui_->c6004->text().toStdString();
    if (host.empty() || port.empty() || path.empty()) return false;

    const int index = ui_->c6018->currentIndex();
    // Failures of the user list are silent: the reload shows what the file holds.
    if (adding_) {
        servers_.Add(host, port, path);
    } else {
        servers_.Edit(static_cast<std::size_t>(index), port, path);
    }
    EndEditing();
    LoadServerList();
    ui_->c6018->setCurrentIndex(std::min(index, ui_->c6018->count() - 1));
    ShowEntry(ui_->c6018->currentIndex());
    return true;
}

void CCDDBSetDlg::OnBnClickedRegisterServer() { SaveUserServer(); }

void CCDDBSetDlg::OnBnClickedCancelAdd()
{
    EndEditing();
    ShowEntry(ui_->c6018->currentIndex());
    ui_->c6007->show();
    ui_->c6008->show();
}

void CCDDBSetDlg::OnBnClickedDeleteServer()
{
    const int index = ui_->c6018->currentIndex();
    if (index < 0 || !servers_.Delete(static_cast<std::size_t>(index))) return;
    LoadServerList();
    ui_->c6018->setCurrentIndex(std::min(index, ui_->c6018->count() - 1));
    ShowEntry(ui_->c6018->currentIndex());
}

bool CCDDBSetDlg::SearchServers()
{
    // The client reads the stored settings, so a stored proxy is used.
    CCddbClient client;
    CddbServer site;
    site.host = kDefaultCddbHost;
    site.port = kDefaultCddbPort;
    site.path = kDefaultCddbPath;
    std::vector<CddbServer> found;
    if (!client.GetSites(site, &found) || found.empty()) return false;
    if (!servers_.WriteSites(found)) return false;
    const int index = ui_->c6018->currentIndex();
    LoadServerList();
    if (index < ui_->c6018->count()) ui_->c6018->setCurrentIndex(index);
    ShowEntry(ui_->c6018->currentIndex());
    return true;
}

void CCDDBSetDlg::OnBnClickedSearchServers()
{
    // The look-up blocks the window; the button tells why until it returns.
    ui_->c6003->setText(QString::fromUtf8("検索中"));
    ui_->c6003->repaint();
    SearchServers();
    ui_->c6003->setText(QString::fromUtf8("サーバーを検索"));
}

void CCDDBSetDlg::ShowServerInfo()
{
    // The stored settings, not the fields being edited, name the server.
    CCddbClient client;
    const CddbServer server = client.ConfiguredServer();
    std::string motd;
    if (!client.GetMotd(server, &motd)) motd.clear();
    CddbStat stat;
    const bool haveStat = client.Stat(server, &stat);
    const std::string report = ServerInfoReport(motd, haveStat ? &stat : nullptr);
    if (report.empty()) {
        MessageBox(this, QString::fromUtf8("接続に失敗しました。"), QString::fromUtf8("エラー"),
                   MB_ICONINFORMATION | MB_TOPMOST);
        return;
    }
    MessageBox(this, QString::fromStdString(report), QString::fromStdString(server.host), MB_TOPMOST);
}

void CCDDBSetDlg::OnBnClickedConnect() { ShowServerInfo(); }

void CCDDBSetDlg::OnBnClickedUseProxy()
{
    const bool on = ui_->c6000->isChecked();
    ui_->c6023->setEnabled(on);
    ui_->c6024->setEnabled(on);
    ui_->c6001->setEnabled(on);
    if (!on) {
        ui_->c6001->setChecked(false);
        ui_->c6029->setEnabled(false);
        ui_->c6030->setEnabled(false);
    }
}

void CCDDBSetDlg::OnBnClickedProxyAuth()
{
    ui_->c6029->setEnabled(ui_->c6001->isChecked());
    ui_->c6030->setEnabled(ui_->c6001->isChecked());
}

void CCDDBSetDlg::OnBnClickedOk()
{
    const std::string typed = ui_->c6030->text().toStdString();
    const std::string password = typed.empty() || typed.size() > kMaxProxyPasswordBytes
                                     ? std::string()
                                     : ScrambledPassword(typed);
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kCddbKey, KEY_ALL_ACCESS);
    if (key) {
        registry::WriteBatch batch;
        // An unregistered new server does not count: the selected entry's
        // own port and path go with its host.
        const ServerEntry* entry = Selected();
        const QString port = adding_ && entry ? QString::fromStdString(entry->port) : ui_->c6090->text();
        const QString path = adding_ && entry ? QString::fromStdString(entry->path) : ui_->c6004->text();
        if (ui_->c6022->currentIndex() >= 0)
            RegWriteDword(key.get(), "ProtocolLevel", static_cast<DWORD>(ui_->c6022->currentIndex() + kFirstLevel));
        if (const DWORD number = PortOf(port)) RegWriteDword(key.get(), "ServerPort", number);
        RegWriteString(key.get(), "CDDBServer", ui_->c6018->currentText());
        RegWriteString(key.get(), "CDDBPath", path);
        RegWriteString(key.get(), "ProxyHost", ui_->c6023->text());
        if (const DWORD number = PortOf(ui_->c6024->text())) RegWriteDword(key.get(), "ProxyPort", number);
        RegWriteDword(key.get(), "TimeOut", static_cast<DWORD>(ui_->c6017->value()) * 1000);
        RegWriteBool(key.get(), "UseProxy", ui_->c6000->isChecked());
        RegWriteDword(key.get(), "ServerIndex", static_cast<DWORD>(std::max(ui_->c6018->currentIndex(), 0)));
        RegWriteBool(key.get(), "ProxyCertification", ui_->c6001->isChecked());
        RegWriteString(key.get(), "ProxyUser", ui_->c6029->text());
        zodlg::WriteBinaryText(key.get(), "ProxyPassword", password);
    }
    accept();
}

void RunCddbSetDlg()
{
    if (!zodlg::CanShowDialogs()) return;
    CCDDBSetDlg dialog(QFile::encodeName(GetListFilesFolder()).toStdString(), zodlg::CallerWindow());
    dialog.exec();
}

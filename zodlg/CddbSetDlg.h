// CCDDBSetDlg: the CD-database client's settings (server, path, port,
// protocol level, time-out, proxy) under the CDDB key, the list of known
// servers (ServerList.h) with add, edit, delete and a refresh from the
// server's site list, and a connection test that shows the stored server's
// message of the day and status.
#pragma once

#include "ServerList.h"

#include <QDialog>

#include <memory>
#include <string>

namespace Ui {
class CCDDBSetDlg;
}

// A stored proxy password longer than this counts as none; the edit takes
// at most this many bytes of UTF-8.
inline constexpr int kMaxProxyPasswordBytes = 100;

// The connection test's report of a message of the day (empty: none) and a
// status (null: none); empty when there is neither.
std::string ServerInfoReport(const std::string& motd, const CddbStat* stat);

class CCDDBSetDlg : public QDialog {
public:
    // listFolder: the ListFiles folder, ending with "/".
    CCDDBSetDlg(const std::string& listFolder, QWidget* parent);
    ~CCDDBSetDlg() override;

protected:
    bool OnInitDialog();
    void OnCbnSelchangeServer();
    void OnBnClickedAddServer();
    void OnEnChangeServerField();
    void OnBnClickedRegisterServer();
    void OnBnClickedCancelAdd();
    void OnBnClickedDeleteServer();
    void OnBnClickedSearchServers();
    void OnBnClickedConnect();
    void OnBnClickedUseProxy();
    void OnBnClickedProxyAuth();
    void OnBnClickedOk();

    void LoadServerList();
    bool SaveUserServer();
    bool SearchServers();
    void ShowServerInfo();

private:
    void ShowEntry(int index);
    void EndEditing();
    const ServerEntry* Selected() const;
    std::unique_ptr<Ui::CCDDBSetDlg> ui_;
    CServerList servers_;
    bool adding_ = false;
    bool ready_ = false;
};

void RunCddbSetDlg();

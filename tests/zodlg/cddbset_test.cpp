// The CD-database settings dialog: its server list files, its writes and
// the search and connection test against the fake server.
#include "FakeCddbServer.h"
#include "dialog_test_util.h"
#include "support/test_util.h"
#include "zodlg/CddbSetDlg.h"

#include "common/Reghelp.h"
#include "common/scramble.h"
#include "platform/paths/paths.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <gtest/gtest.h>

namespace {

QString ListFile(const char* name) { return GetListFilesFolder() + QString::fromLatin1(name); }
std::string ReadList(const char* name) { return testutil::ReadFile(ListFile(name)).toStdString(); }
StoredValue Cddb(const char* name) { return Stored(HKEY_CURRENT_USER, kCddbKey, name); }

void Select(QWidget* d, int index)
{
    auto* combo = Find<QComboBox>(d, 6018);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

void Type(QWidget* d, int id, const QString& text)
{
    auto* edit = Find<QLineEdit>(d, id);
    edit->setText(text);
    emit edit->textEdited(text);
}

QStringList Hosts(QWidget* d)
{
    QStringList hosts;
    auto* combo = Find<QComboBox>(d, 6018);
    for (int i = 0; i < combo->count(); ++i) hosts << combo->itemText(i);
    return hosts;
}

class CddbSettings : public ::testing::Test {
protected:
    testutil::IsolatedHome home;
    MessageBoxes boxes;
    void TearDown() override { CancelWaits(); }
};

TEST_F(CddbSettings, ServerListEditsChangeTheirOwnLines)
{
    const std::string sites = "a.example,80,/cddb\r\nno second comma,\r\n\r\nb.example,8080,/x,y\r\n";
    ASSERT_TRUE(testutil::WriteFile(ListFile("Servers.zorf"), QByteArray::fromStdString(sites)));
    ASSERT_TRUE(testutil::WriteFile(ListFile("UserServers.zorf"),
                                    "\nu1.example,8880,/one\nmalformed\nu2.example,81,/two\n"));
    SetDword(HKEY_CURRENT_USER, kCddbKey, "ServerIndex", 7);
    WhenShown("CCDDBSetDlg", [&](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "freedb 設定");
        EXPECT_EQ(Hosts(d), QStringList({"a.example", "b.example", "u1.example", "u2.example"}));
        // Index 7 of four entries selects the first, a site entry: read-only.
        EXPECT_EQ(Find<QComboBox>(d, 6018)->currentIndex(), 0);
        EXPECT_FALSE(Find<QPushButton>(d, 6008)->isEnabled());
        EXPECT_FALSE(Find<QLineEdit>(d, 6004)->isEnabled());
        Select(d, 1);
        EXPECT_EQ(Find<QLineEdit>(d, 6004)->text(), "/x,y");

        // Editing the last user server replaces its line, after the blank
        // and malformed ones.
        Select(d, 3);
        EXPECT_TRUE(Find<QLineEdit>(d, 6090)->isEnabled());
        Type(d, 6090, "82");
        EXPECT_TRUE(Find<QPushButton>(d, 6025)->isVisibleTo(d));
        Click(d, 6025);
        EXPECT_EQ(ReadList("UserServers.zorf"), "\nu1.example,8880,/one\nmalformed\nu2.example,82,/two\n");

        // Deleting the first user server drops its line only.
        Select(d, 2);
        Click(d, 6008);
        EXPECT_EQ(ReadList("UserServers.zorf"), "\nmalformed\nu2.example,82,/two\n");
        EXPECT_EQ(ReadList("Servers.zorf"), sites);
        EXPECT_EQ(Hosts(d), QStringList({"a.example", "b.example", "u2.example"}));
        EXPECT_EQ(Find<QComboBox>(d, 6018)->currentIndex(), 2);

        // Adding appends one line; typing the fields keeps the adding going.
        Click(d, 6007);
        EXPECT_FALSE(Find<QComboBox>(d, 6018)->isVisibleTo(d));
        Find<QLineEdit>(d, 6027)->setText(" new.example ");
        Type(d, 6004, "/p");
        Type(d, 6090, "8880");
        Click(d, 6025);
        EXPECT_EQ(ReadList("UserServers.zorf"), "\nmalformed\nu2.example,82,/two\nnew.example,8880,/p\n");
        EXPECT_EQ(Hosts(d).last(), "new.example");
        EXPECT_EQ(Find<QComboBox>(d, 6018)->currentText(), "u2.example");

        // OK while a new server is typed but not registered writes the
        // selected server with its own port and path.
        Click(d, 6007);
        Find<QLineEdit>(d, 6027)->setText("typed.example");
        Type(d, 6004, "/typed");
        Type(d, 6090, "9999");
        Click(d, 1);
    });
    RunCddbSetDlg();
    EXPECT_EQ(Cddb("CDDBServer").bytes, std::string("u2.example") + '\0');
    EXPECT_EQ(Cddb("CDDBPath").bytes, std::string("/two") + '\0');
    EXPECT_EQ(Cddb("ServerPort").Dword(), 82u);
    EXPECT_EQ(Cddb("ServerIndex").Dword(), 2u);
    EXPECT_TRUE(boxes.calls.empty());
}

TEST_F(CddbSettings, OkWritesWhatTheNextOpeningShows)
{
    // No list files: the default server alone.
    SetDword(HKEY_CURRENT_USER, kCddbKey, "TimeOut", 12000);
    SetDword(HKEY_CURRENT_USER, kCddbKey, "ProtocolLevel", 2);   // shows no level
    SetDword(HKEY_CURRENT_USER, kCddbKey, "ProxyPort", 3128);
    SetText(HKEY_CURRENT_USER, kCddbKey, "ServerPort", "80");      // not a DWORD
    SetBinary(HKEY_CURRENT_USER, kCddbKey, "ProxyPassword", ScrambledPassword(std::string(101, 'p')));
    const QString password = QStringLiteral("パス:word");
    WhenShown("CCDDBSetDlg", [&](QWidget* d) {
        EXPECT_EQ(Hosts(d), QStringList({"gnudb.gnudb.org"}));
        EXPECT_EQ(Find<QLineEdit>(d, 6090)->text(), "80");
        EXPECT_EQ(Find<QSpinBox>(d, 6017)->value(), 12);
        EXPECT_EQ(Find<QComboBox>(d, 6022)->currentIndex(), -1);
        EXPECT_EQ(Find<QLineEdit>(d, 6030)->text(), "");   // over 100 bytes: none
        EXPECT_FALSE(Find<QLineEdit>(d, 6023)->isEnabled());
        Find<QCheckBox>(d, 6000)->click();
        EXPECT_TRUE(Find<QLineEdit>(d, 6023)->isEnabled());
        Find<QCheckBox>(d, 6001)->click();
        EXPECT_TRUE(Find<QLineEdit>(d, 6030)->isEnabled());
        Find<QLineEdit>(d, 6023)->setText("proxy.example");
        Find<QLineEdit>(d, 6024)->setText("70000");
        Find<QLineEdit>(d, 6029)->setText("taro");
        Find<QLineEdit>(d, 6030)->setText(password);
        Find<QSpinBox>(d, 6017)->setValue(0);   // the spin box keeps 1 to 100
        Click(d, 1);
    });
    RunCddbSetDlg();
    EXPECT_EQ(Cddb("ProtocolLevel").Dword(), 2u);
    EXPECT_EQ(Cddb("ProxyPort").Dword(), 3128u);
    EXPECT_EQ(Cddb("ServerPort").Dword(), 80u);
    EXPECT_EQ(Cddb("TimeOut").Dword(), 1000u);
    EXPECT_EQ(Cddb("UseProxy").Dword(), 1u);
    EXPECT_EQ(Cddb("ProxyCertification").Dword(), 1u);
    EXPECT_EQ(Cddb("ProxyPassword").type, REG_BINARY);
    EXPECT_EQ(UnscrambledPassword(Cddb("ProxyPassword").bytes), password.toStdString());

    // Shown again as written; Cancel writes nothing; an emptied password
    // is stored as one zero byte.
    const std::string before = testutil::ReadFile(QString::fromStdString(registry::StorePath())).toStdString();
    WhenShown("CCDDBSetDlg", [&](QWidget* d) {
        EXPECT_EQ(Find<QLineEdit>(d, 6023)->text(), "proxy.example");
        EXPECT_EQ(Find<QLineEdit>(d, 6024)->text(), "3128");
        EXPECT_EQ(Find<QLineEdit>(d, 6029)->text(), "taro");
        EXPECT_EQ(Find<QLineEdit>(d, 6030)->text(), password);
        EXPECT_EQ(Find<QSpinBox>(d, 6017)->value(), 1);
        Find<QLineEdit>(d, 6030)->clear();
        Click(d, 2);
    });
    RunCddbSetDlg();
    EXPECT_EQ(testutil::ReadFile(QString::fromStdString(registry::StorePath())).toStdString(), before);
    WhenShown("CCDDBSetDlg", [&](QWidget* d) {
        Find<QComboBox>(d, 6022)->setCurrentIndex(3);
        Find<QLineEdit>(d, 6030)->clear();
        Click(d, 1);
    });
    RunCddbSetDlg();
    EXPECT_EQ(Cddb("ProxyPassword").bytes, std::string(1, '\0'));
    EXPECT_EQ(Cddb("ProtocolLevel").Dword(), 6u);
}

TEST_F(CddbSettings, SearchAndConnectionTestAskTheServer)
{
    FakeCddbServer server;
    // The search goes through the stored proxy to the default server.
    SetDword(HKEY_CURRENT_USER, kCddbKey, "UseProxy", 1);
    SetText(HKEY_CURRENT_USER, kCddbKey, "ProxyHost", "127.0.0.1");
    SetDword(HKEY_CURRENT_USER, kCddbKey, "ProxyPort", static_cast<DWORD>(server.Port()));
    SetDword(HKEY_CURRENT_USER, kCddbKey, "TimeOut", 2000);
    server.Answer(HttpReply("210 OK, sites follow\r\n"
                            "s1.example http 80 /~cddb/cddb.cgi N000.00 W000.00 One\r\n"
                            "s2.example http 8080 /cddb S033.52 E151.13 Two\r\n.\r\n"));
    server.Answer(HttpReply("401 No sites information available.\r\n"));
    WhenShown("CCDDBSetDlg", [&](QWidget* d) {
        Click(d, 6003);
        EXPECT_EQ(Find<QPushButton>(d, 6003)->text(), "サーバーを検索");
        EXPECT_EQ(Hosts(d), QStringList({"s1.example", "s2.example"}));
        // A failed search leaves the list.
        Click(d, 6003);
        EXPECT_EQ(Hosts(d), QStringList({"s1.example", "s2.example"}));
        Click(d, 2);
    });
    RunCddbSetDlg();
    EXPECT_EQ(ReadList("Servers.zorf"), "s1.example,80,/~cddb/cddb.cgi\ns2.example,8080,/cddb\n");
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(server.Requests()[0].rfind("GET http://gnudb.gnudb.org/~cddb/cddb.cgi?cmd=sites&", 0), 0u);

    // The test asks the stored server and shows its report under its name;
    // with nothing listening it says so.
    SetDword(HKEY_CURRENT_USER, kCddbKey, "UseProxy", 0);
    SetText(HKEY_CURRENT_USER, kCddbKey, "CDDBServer", "127.0.0.1");
    SetDword(HKEY_CURRENT_USER, kCddbKey, "ServerPort", static_cast<DWORD>(server.Port()));
    server.Answer(HttpReply("210 Last modified: 05/31/2026 MOTD follows\r\nWelcome.\r\n.\r\n"));
    server.Answer(HttpReply("210 OK, status information follows\r\nServer status:\r\n"
                            "    current proto: 6\r\n    max proto: 6\r\n    gets: yes\r\n    updates: no\r\n"
                            "    posting: no\r\n    quotes: yes\r\n    current users: 3\r\n    max users: 100\r\n"
                            "    strip ext: no\r\nDatabase entries: 42\r\nDatabase entries by category:\r\n"
                            "    rock: 42\r\nPending file transmissions:\r\n    mirror: 7\r\n.\r\n"));
    WhenShown("CCDDBSetDlg", [&](QWidget* d) {
        Click(d, 6006);
        SetDword(HKEY_CURRENT_USER, kCddbKey, "ServerPort", static_cast<DWORD>(ClosedPort()));
        Click(d, 6006);
        Click(d, 2);
    });
    RunCddbSetDlg();
    ASSERT_EQ(boxes.calls.size(), 2u);
    EXPECT_EQ(boxes.calls[0].caption, "127.0.0.1");
    EXPECT_EQ(boxes.calls[0].text.toStdString(),
              "MESSAGE OF THE DAY:\nWelcome.\n\nSTATUS:\nCurrent Protocol: 6\nMax Protocol: 6\nGets Allowed: yes"
              "\nUpdates Allowed: no\nPosting Allowed: no\nQuotes Enabled: yes\nCurrent Users: 3\nMax Users: 100"
              "\nStrip Extended: no\n\nDATABASE ENTRIES:\nTotal: 42\nrock: 42\n\nmirror has 7 pending entries");
    EXPECT_EQ(boxes.calls[1].text, "接続に失敗しました。");
    EXPECT_EQ(boxes.calls[1].caption, "エラー");
}

}  // namespace

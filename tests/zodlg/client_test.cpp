// CCddbClient's commands against the fake server, and the reply parsers
// with canned replies.
#include "FakeCddbServer.h"
#include "support/test_util.h"
#include "zodlg/CddbClient.h"
#include "zodlg_test_util.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

class Client : public ::testing::Test {
protected:
    testutil::IsolatedHome home;
    FakeCddbServer server;
    CddbServer Server() const { return At("127.0.0.1", server.Port(), "/cgi/cddb"); }
    static CddbServer At(const char* host, int port, const char* path)
    {
        CddbServer s;
        s.host = host;
        s.port = port;
        s.path = path;
        return s;
    }
    std::string Request(CCddbClient& client, const std::string& command)
    {
        return "GET /cgi/cddb?cmd=" + command + "&" + client.HelloText() + " HTTP/1.0\r\n\r\n";
    }
};

TEST_F(Client, SettingsComeFromTheCddbKeyWithTheirDefaults)
{
    {
        CCddbClient client;
        EXPECT_EQ(client.server, "gnudb.gnudb.org");
        EXPECT_EQ(client.port, 80u);
        EXPECT_EQ(client.path, "/~cddb/cddb.cgi");
        EXPECT_EQ(client.timeout, 5000u);
        EXPECT_EQ(client.protocolLevel, 5u);
        EXPECT_TRUE(client.HelloText().ends_with("+Zoravel+2.04&proto=5")) << client.HelloText();
    }
    // Proxy values count only with UseProxy, user and password only with
    // ProxyCertification 1; a DWORD of another type is no DWORD.
    SetCddbText("ProxyHost", "proxy");
    SetCddbText("ProxyUser", "user");
    SetCddbBinary("ProxyPassword", std::string(100, 'p'));   // no terminating zero
    SetCddbText("ProtocolLevel", "6");
    {
        CCddbClient client;
        EXPECT_TRUE(client.proxyHost.empty());
        EXPECT_EQ(client.protocolLevel, 5u);
    }
    SetCddbDword("UseProxy", 1);
    SetCddbDword("ProxyCertification", 2);
    {
        CCddbClient client;
        EXPECT_EQ(client.proxyHost, "proxy");
        EXPECT_TRUE(client.proxyUser.empty());
    }
    SetCddbDword("ProxyCertification", 1);
    CCddbClient client;
    EXPECT_EQ(client.proxyUser, "user");
    EXPECT_EQ(client.proxyPassword.size(), 100u);
    SetCddbBinary("ProxyPassword", std::string(101, 'p'));
    EXPECT_TRUE(CCddbClient().proxyPassword.empty());
}

TEST_F(Client, HelloPartsAreAsciiWords)
{
    EXPECT_EQ(HelloPart("taro"), "taro");
    EXPECT_EQ(HelloPart("Taro Yamada.2"), "Taro_Yamada_2");
    EXPECT_EQ(HelloPart("太郎"), "Unknown");
    EXPECT_EQ(HelloPart("a\xe9"), "Unknown");
    EXPECT_EQ(HelloPart(""), "Unknown");
    EXPECT_EQ(HelloPart(nullptr), "Unknown");
}

TEST_F(Client, FixedCommandsAndTheirReplies)
{
    CCddbClient client;
    server.Answer(HttpReply("210 OK, sites follow\r\n"
                            "gnudb.gnudb.org http 80 /~cddb/cddb.cgi N000.00 W000.00 Random server\r\n"
                            "gnudb.gnudb.org cddbp 8880 - N000.00 W000.00 Not HTTP\r\n"
                            "far.example HTTP 8080 /cddb S033.52 E151.13 Sydney, Australia\r\n"
                            "short.example http 80 /cddb N000.00 W000.00\r\n"
                            "bad.example http 80 /cddb X000.00 W000.00 Bad latitude\r\n.\r\n"));
    std::vector<CddbServer> sites;
    ASSERT_TRUE(client.GetSites(Server(), &sites));
    ASSERT_EQ(sites.size(), 2u);
    EXPECT_EQ(sites[0].host, "gnudb.gnudb.org");
    EXPECT_EQ(sites[1].host, "far.example");
    EXPECT_EQ(sites[1].port, 8080);
    EXPECT_EQ(sites[1].path, "/cddb");
    EXPECT_FALSE(sites[1].north);
    EXPECT_EQ(sites[1].latitude, 33 * 60 + 52);
    EXPECT_TRUE(sites[1].east);
    EXPECT_EQ(sites[1].longitude, 151 * 60 + 13);
    EXPECT_EQ(sites[1].description, "Sydney, Australia");

    server.Answer(HttpReply("210 Last modified: 05/31/2026 MOTD follows\r\nWelcome.\r\nSecond line\r\n.\r\n"));
    std::string motd;
    ASSERT_TRUE(client.GetMotd(Server(), &motd));
    EXPECT_EQ(motd, "Welcome.\nSecond line");

    server.Answer(HttpReply("210 OK, status information follows\r\nServer status:\r\n"
                            "    current proto: 6\r\n    max proto: 6\r\n    gets: yes\r\n    updates: no\r\n"
                            "    posting: yes\r\n    quotes: no\r\n    current users: 3\r\n    max users: 100\r\n"
                            "    strip ext: yes\r\nDatabase entries: 42\r\nDatabase entries by category:\r\n"
                            "    rock: 30\r\n    folk: 12\r\nPending file transmissions:\r\n    mirror: 7\r\n.\r\n"));
    CddbStat stat;
    ASSERT_TRUE(client.Stat(Server(), &stat));
    EXPECT_EQ(stat.currentProto, 6);
    EXPECT_TRUE(stat.gets);
    EXPECT_FALSE(stat.updates);
    EXPECT_TRUE(stat.posting);
    EXPECT_EQ(stat.maxUsers, 100);
    EXPECT_TRUE(stat.stripExt);
    EXPECT_EQ(stat.databaseEntries, 42);
    EXPECT_EQ(stat.categories, (std::vector<std::pair<std::string, int>>{{"rock", 30}, {"folk", 12}}));
    EXPECT_EQ(stat.pending, (std::vector<std::pair<std::string, int>>{{"mirror", 7}}));

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], Request(client, "sites"));
    EXPECT_EQ(requests[1], Request(client, "motd"));
    EXPECT_EQ(requests[2], Request(client, "stat"));

    // Failures: another code, a gets that is neither yes nor no.
    server.Answer(HttpReply("401 No sites information available.\r\n"));
    EXPECT_FALSE(client.GetSites(Server(), &sites));
    EXPECT_EQ(client.status, 401);
    server.Answer(HttpReply("500 Unrecognized command.\r\n"));
    EXPECT_FALSE(client.GetMotd(Server(), &motd));
    server.Answer(HttpReply("210 OK\r\n    gets: maybe\r\n.\r\n"));
    EXPECT_FALSE(client.Stat(Server(), &stat));
    EXPECT_EQ(CddbLastError(), kWsaEprotonosupport);
}

TEST_F(Client, QueryReplies)
{
    // The plain outcomes (200, 202, other codes, no code) are covered through InitCDDB2.
    struct Case {
        const char* name;
        std::string body;
        int status;
        std::vector<std::string> matches;   // category/id/artist/album
    };
    const std::vector<Case> cases = {
        {"no slash", "200 jazz 0000000a   Only Title  \r\n", 200, {"jazz/0000000a/Only Title/"}},
        {"200 too short", "200 rock\r\n", 200, {}},
        {"list", "211 close\r\nrock 00000001 A/B\r\n\r\nbroken\r\nfolk 00000002 C / D / E\r\n.\r\n", 211,
         {"rock/00000001/A/B", "folk/00000002/C/D / E"}},
        {"disc id too long", "211 close\r\nrock 123456789 A / B\r\n.\r\n", 211, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<CddbMatch> matches;
        int status = 0;
        EXPECT_EQ(ParseQueryReply(c.body, &matches, &status), !c.matches.empty());
        EXPECT_EQ(status, c.status);
        std::vector<std::string> got;
        for (const CddbMatch& m : matches) {
            char id[9];
            std::snprintf(id, sizeof id, "%08x", m.discId);
            got.push_back(m.category + "/" + id + "/" + m.artist + "/" + m.album);
        }
        EXPECT_EQ(got, c.matches);
    }
}

TEST_F(Client, ReadRecordRules)
{
    const std::string good = ReplyBody(HttpReply(ReadRecord()));
    CddbReadResult r;
    ASSERT_TRUE(ParseReadReply(good, &r));
    EXPECT_EQ(r.frameOffsets, (std::vector<std::uint32_t>{150, 18352, 40125}));
    EXPECT_EQ(r.discLength, 2652);
    EXPECT_EQ(r.revision, 3);
    EXPECT_EQ(r.submittedVia[0], "ExampleRipper");
    EXPECT_EQ(r.submittedVia[1], "1.0");
    EXPECT_EQ(r.year, 2003);
    EXPECT_EQ(r.genre, "Rock");
    EXPECT_EQ(r.playOrder, (std::vector<std::uint32_t>{2, 0, 1}));

    auto edited = [&](const std::string& from, const std::string& to) {
        std::string body = good;
        const std::size_t at = body.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return body.replace(at, from.size(), to);
    };
    struct Case {
        const char* name;
        std::string body;
        bool ok;
    };
    const std::vector<Case> failures = {
        {"no xmcd mark", edited("# xmcd", "# xmcX"), false},
        {"no frame offsets", edited("# Track frame offsets:", "# Track frames:"), false},
        {"one submitted word", edited("ExampleRipper 1.0", "ExampleRipper"), false},
        {"no disc length", edited("# Disc length: 2652", "# Length: 2652"), false},
        {"no DTITLE", edited("DTITLE=", "DTITEL="), false},
        {"EXTT missing", edited("EXTT2=\r\n", ""), false},
        {"track 99 is ignored", edited("EXTD=", "TTITLE99=x\r\nEXTT99=y\r\nTTITLE-1=z\r\nEXTD="), true},
        {"not a list code", edited("210 rock", "401 rock"), false},
        {"no lines", "210 rock 7a0b5c09 follows", false},
    };
    for (const Case& c : failures) {
        SCOPED_TRACE(c.name);
        SetCddbLastError(0);
        EXPECT_EQ(ParseReadReply(c.body, &r), c.ok);
        EXPECT_EQ(CddbLastError(), c.ok ? 0 : kWsaEprotonosupport);
        if (c.ok) {
            EXPECT_EQ(r.trackTitles.size(), 3u);
        }
    }

    // DTITLE split: at the first " / " that is not at the start.
    std::string artist, album;
    SplitDiscTitle("A / B / C", &artist, &album);
    EXPECT_EQ(artist + "|" + album, "A|B / C");
    SplitDiscTitle(" / B", &artist, &album);
    EXPECT_EQ(artist + "|" + album, " / B| / B");
    // Escapes in one pass.
    EXPECT_EQ(DecodeXmcdEscapes("a\\\\nb\\nc\\td\\x\\"), "a\\nb\nc\td\\x\\");
}

TEST_F(Client, ReadRefusesACategoryThatIsNoWord)
{
    CCddbClient client;
    CddbReadResult r;
    for (const char* category : {"rock\r\nX-Injected: 1", "rock&cmd=motd", "", "ro ck"}) {
        SetCddbLastError(0);
        EXPECT_FALSE(client.Read(Server(), category, kDiscId, &r));
        EXPECT_EQ(CddbLastError(), kWsaEprotonosupport);
    }
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(Client, RepliesInPiecesEarlyEndsAndBounds)
{
    CCddbClient client;
    client.timeout = 2000;
    std::vector<CddbMatch> matches;
    // A 200 reply ends without terminator when the server closes.
    server.Answer(FakeReply{{"HTTP/1.0 200 OK\r\n", "\r\n200 rock 7a0b5c09 A", " / B\r\n"}, 20});
    EXPECT_TRUE(client.Query(Server(), kDiscId, kQuery, &matches));
    EXPECT_EQ(client.status, 200);
    // A list whose terminator arrives in the last piece.
    server.Answer(FakeReply{{HttpReply("210 exact\r\nrock 00000001 A / B\r\n"), "folk 00000002 C / D\r\n.", "\r\n"},
                            20});
    EXPECT_TRUE(client.Query(Server(), kDiscId, kQuery, &matches));
    EXPECT_EQ(matches.size(), 2u);
    // A reply beyond 1 MiB fails.
    server.Answer(HttpReply("210 exact\r\n" + std::string(kMaxReplySize, 'a') + "\r\n.\r\n"));
    EXPECT_FALSE(client.Query(Server(), kDiscId, kQuery, &matches));
    EXPECT_EQ(CddbLastError(), kWsaEprotonosupport);
    // Silence ends with the time-out's error.
    client.timeout = 200;
    server.Answer(FakeReply{{}, 0, true});
    EXPECT_FALSE(client.Query(Server(), kDiscId, kQuery, &matches));
    EXPECT_EQ(CddbLastError(), kWsaEtimedout);
    EXPECT_EQ(client.status, -1);
    // A name that does not resolve.
    EXPECT_FALSE(client.Query(At("no..such..host", 80, "/"), kDiscId, kQuery, &matches));
    EXPECT_EQ(CddbLastError(), kWsaEinval);
    EXPECT_EQ(client.status, 1);
}

// A server that drips its reply a byte a second: the command ends at its
// time-out for the whole exchange, not a time-out per byte; and a cancel from
// another thread ends it within a moment.
TEST_F(Client, ADrippingServerEndsAtTheDeadlineOrACancel)
{
    const std::string reply = HttpReply("210 exact\r\nrock 00000001 A / B\r\n.\r\n");
    FakeReply drip;
    for (char c : reply) drip.pieces.emplace_back(1, c);
    drip.pauseMs = 1000;
    CCddbClient client;
    client.timeout = 1500;
    std::vector<CddbMatch> matches;
    server.Answer(drip);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.Query(Server(), kDiscId, kQuery, &matches));
    EXPECT_EQ(CddbLastError(), kWsaEtimedout);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(1500));
    EXPECT_LT(took, std::chrono::milliseconds(2500));

    // Cancelled once the request arrived: long before the time-out.
    std::atomic<bool> cancel{false};
    client.cancel = &cancel;
    client.timeout = 60000;
    server.Answer(drip);
    const std::size_t asked = server.Requests().size();
    std::thread canceller([&] {
        testutil::WaitUntil([&] { return server.Requests().size() > asked; }, 10000);
        cancel = true;
    });
    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.Query(Server(), kDiscId, kQuery, &matches));
    took = std::chrono::steady_clock::now() - start;
    canceller.join();
    EXPECT_LT(took, std::chrono::milliseconds(5000));
    EXPECT_TRUE(matches.empty());
}

}  // namespace

// The command line of a first start: the words "/dvd", "/cd", "/fb", an
// ".ifo" first argument, stream addresses, and files, shortcuts and folder
// trees taken into the play list.
#include "player/cd/recording_device.h"
#include "player/units/Ccdplay.h"
#include "window_test_util.h"

#include <QFile>
#include <QFileInfo>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

using namespace mwtest;

namespace {

// A loopback HTTP server for one file, on threads of its own (the window
// builds its graph on the main thread and waits for the first data).
class FileServer {
public:
    explicit FileServer(const QByteArray& body) : body_(body)
    {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd_, 8) != 0) return;
        socklen_t len = sizeof addr;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        acceptor_ = std::thread([this] { Accept(); });
    }
    ~FileServer()
    {
        stop_ = true;
        if (acceptor_.joinable()) acceptor_.join();
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::thread& t : connections_) t.join();
        close(fd_);
    }
    QString Url(const QString& name) const { return QStringLiteral("http://127.0.0.1:%1/%2").arg(port_).arg(name); }
    int Requests() const { return requests_; }

private:
    void Accept()
    {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            const int client = accept(fd_, nullptr, nullptr);
            if (client < 0) continue;
            std::lock_guard<std::mutex> lock(mutex_);
            connections_.emplace_back([this, client] { Serve(client); });
        }
    }
    void Serve(int client)
    {
        ++requests_;
        QByteArray request;
        char buffer[4096];
        while (!request.contains("\r\n\r\n") && request.size() < 65536) {
            pollfd p{client, POLLIN, 0};
            if (poll(&p, 1, 2000) <= 0) break;
            const ssize_t n = recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request.append(buffer, static_cast<int>(n));
        }
        qsizetype from = 0;
        const qsizetype range = request.toLower().indexOf("range: bytes=");
        if (range >= 0) from = request.mid(range + 13).split('-').first().toLongLong();
        from = std::clamp<qsizetype>(from, 0, body_.size());
        QByteArray head = range >= 0 ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
        head += "Content-Type: video/mpeg\r\nAccept-Ranges: bytes\r\nConnection: close\r\n";
        head += "Content-Length: " + QByteArray::number(body_.size() - from) + "\r\n";
        if (range >= 0)
            head += "Content-Range: bytes " + QByteArray::number(from) + "-" + QByteArray::number(body_.size() - 1) +
                    "/" + QByteArray::number(body_.size()) + "\r\n";
        head += "\r\n";
        const QByteArray reply = head + body_.mid(from);
        qsizetype sent = 0;
        while (sent < reply.size() && !stop_) {
            const ssize_t n = send(client, reply.constData() + sent, static_cast<size_t>(reply.size() - sent), MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += n;
        }
        close(client);
    }

    QByteArray body_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::thread> connections_;
};

class CommandLine : public WindowTest {
protected:
    // Sound files (links to the tone fixture) in the home.
};

TEST_F(CommandLine, IfoFirstArgumentStartsTheDvdOfItsFolderAndAddsNothing)
{
    MW_REQUIRE_FIXTURES();
    const QString ifo = Home("disc/VIDEO_TS/VIDEO_TS.IFO");
    ASSERT_TRUE(testutil::WriteFile(ifo, QByteArray("DVDVIDEO-VMG")));
    const QString other = Sound("disc/extra.wav");
    Open({ifo, other});
    // The DVD of that folder was started: the folder holds no DVD volume.
    EXPECT_EQ(messageBoxes, QStringList{QString::fromUtf8("DVD エラー: DVD ボリュームが見つかりません。")});
    EXPECT_TRUE(w->ViewerPath().isEmpty());
    EXPECT_TRUE(w->PlayList().IsEmpty());
    EXPECT_EQ(w->Graph(), nullptr);
}

TEST_F(CommandLine, DvdWordInAnyCaseWaitsForTheWindowToShow)
{
    Close();
    w = std::make_unique<TZoMain>(QStringList{"/DvD", "/media/disc/"});
    EXPECT_TRUE(w->Probe().DvdRequested());
    EXPECT_EQ(w->ViewerPath(), "/media/disc/VIDEO_TS");
    w->show();
    EXPECT_FALSE(w->Probe().DvdRequested());
    EXPECT_EQ(messageBoxes, QStringList{QString::fromUtf8("DVD エラー: DVD ボリュームが見つかりません。")});
    EXPECT_TRUE(w->PlayList().IsEmpty());
}

TEST_F(CommandLine, CdWordTakesTheDriveAndNothingWithoutOne)
{
    Open({"/CD"});
    EXPECT_TRUE(w->ViewerPath().isEmpty());
    EXPECT_EQ(Caption(), "Zoravel");
    // The drive's name reaches the CD player as it was written.
    RecordingDevice::Disc disc;
    CCDPlay::SetDeviceFactory([&disc] { return std::make_unique<RecordingDevice>(&disc); });
    Open({"/cd", "/dev/CDROM"});
    EXPECT_EQ(disc.drive, "/dev/CDROM");
    EXPECT_TRUE(w->PlayList().IsEmpty());
    // The desktop's names of an audio CD's drive: its address and its gvfs folder.
    for (const char* drive : {"cdda://sr1/", "cdda://sr1", "/run/user/1000/gvfs/cdda:host=sr1",
                              "/run/user/1000/gvfs/cdda:host=sr1/"}) {
        disc.drive.clear();
        Open({"/CD", drive});
        EXPECT_EQ(disc.drive, "/dev/sr1") << drive;
    }
    CCDPlay::SetDeviceFactory({});
}

// The CD holds no paths to read: its sound starts as the window shows,
// before the first paint, as the DVD's picture does.
TEST_F(CommandLine, CdWordStartsTheDiscAsTheWindowShows)
{
    Close();
    RecordingDevice::Disc disc;
    CCDPlay::SetDeviceFactory([&disc] { return std::make_unique<RecordingDevice>(&disc); });
    w = std::make_unique<TZoMain>(QStringList{"/cd", "/dev/CDROM"});
    EXPECT_TRUE(disc.drive.isEmpty());
    w->show();
    EXPECT_EQ(disc.drive, "/dev/CDROM");
    EXPECT_FALSE(w->Probe().StartupIntakePending());
    EXPECT_TRUE(w->PlayList().IsEmpty());
    CCDPlay::SetDeviceFactory({});
}

TEST_F(CommandLine, FileBrowserWordAloneOpensNothing)
{
    Open({"/fb"});
    EXPECT_TRUE(w->PlayList().IsEmpty());
    EXPECT_EQ(w->Graph(), nullptr);
    EXPECT_EQ(Caption(), "Zoravel");
}

TEST_F(CommandLine, FileBrowserWordWithFilesPlaysTheFilesOnly)
{
    MW_REQUIRE_FIXTURES();
    const QString a = Sound("fb/a.wav");
    const QString b = Sound("fb/b.wav");
    Open({"/FB", a, b});
    EXPECT_EQ(Paths(), QStringList({a, b}));
    EXPECT_TRUE(WaitPlaying());
}

TEST_F(CommandLine, StreamAddressPlaysAndFurtherArgumentsAreIgnored)
{
    MW_REQUIRE_FIXTURES();
    FileServer server(testutil::ReadFile(Fixture("mpeg1.mpg")));
    const QString url = server.Url("clip.mpg");
    const QString other = Sound("url/other.wav");
    Open({url, other});
    EXPECT_EQ(Paths(), QStringList({url}));
    EXPECT_TRUE(WaitPlaying(15000)) << Caption();
    EXPECT_GE(server.Requests(), 1);
    EXPECT_EQ(Caption(), "Zoravel - clip");
    EXPECT_FALSE(w->AddingItems());
}

TEST_F(CommandLine, StreamAddressIsCutAtItsFirstLineBreakAndTrimmed)
{
    Open();
    CaptionLog log(w.get());
    const QString url = "http://127.0.0.1:9/clip.mpg";
    w->OpenUrl("  " + url + "  \r\nsecond line");
    EXPECT_TRUE(log.Saw("Zoravel - " + url)) << log.Titles();
    {
        // A bare line feed cuts as well; nothing of the address goes with it.
        CaptionLog bare(w.get());
        w->OpenUrl(url + "\nnext");
        EXPECT_TRUE(bare.Saw("Zoravel - " + url)) << bare.Titles();
    }
}

TEST_F(CommandLine, UnreachableStreamEndsAsCannotPlayNotAsMissingFile)
{
    // Port 9 on the loopback refuses the connection.
    Open({"ftp://127.0.0.1:9/clip.mpg"});
    EXPECT_EQ(Caption(), "Zoravel 再生できません");
    EXPECT_TRUE(w->PlayList().IsEmpty());
    EXPECT_FALSE(w->AddingItems());
    // The scheme's case matters: this one is a plain argument naming no file.
    Open({"HTTP://127.0.0.1:9/clip.mpg"});
    EXPECT_EQ(Caption(), "Zoravel ファイルがありません");
}

TEST_F(CommandLine, FolderTreeIsAddedDepthFirstWithoutFoldersAndLinkLoopsEnd)
{
    MW_REQUIRE_FIXTURES();
    const QString root = Home("tree");
    const QString r = Sound("tree/r.wav");
    const QString a = Sound("tree/A/a.wav");
    const QString b = Sound("tree/A/B/b.wav");
    const QString c = Sound("tree/A/B/C/c.wav");
    const QString d = Sound("tree/D/d.wav");
    // A folder named like a media file is a folder: its files count, it does not.
    const QString x = Sound("tree/folder.wav/x.wav");
    ASSERT_TRUE(testutil::WriteFile(root + "/notes.txt", "not media"));
    // A link back to the root would make the scan endless.
    ASSERT_TRUE(Link(root, root + "/A/B/C/loop"));

    Open({root});
    const QStringList paths = Paths();
    EXPECT_EQ(paths.size(), 6) << paths;
    ASSERT_FALSE(paths.isEmpty());
    EXPECT_EQ(paths.first(), r);
    for (const QString& p : {a, b, c, d, x}) EXPECT_TRUE(paths.contains(p)) << p << " in " << paths;
    EXPECT_FALSE(paths.contains(root + "/folder.wav"));
    // Each folder's sub-folders follow it before its siblings.
    EXPECT_EQ(paths.indexOf(b), paths.indexOf(a) + 1) << paths;
    EXPECT_EQ(paths.indexOf(c), paths.indexOf(b) + 1) << paths;
    EXPECT_EQ(w->OpenedPath(), QString());
    EXPECT_TRUE(WaitPlaying());
    EXPECT_EQ(w->ListIndex(), 0);
}

TEST_F(CommandLine, OneFileWithSerchFilesBringsTheOtherMediaFilesOfItsFolder)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("SerchFiles", 1);
    const QString a = Sound("serch/a.wav");
    const QString b = Sound("serch/b.wav");
    const QString c = Sound("serch/c.wav");
    Sound("serch/sub.wav/inner.wav");
    ASSERT_TRUE(testutil::WriteFile(Home("serch/readme.txt"), "x"));
    ASSERT_TRUE(testutil::WriteFile(Home("serch/VIDEO_TS.ifo"), "x"));
    Open({b});
    const QStringList paths = Paths();
    ASSERT_EQ(paths.size(), 3) << paths;
    EXPECT_EQ(paths.first(), b);
    EXPECT_TRUE(paths.contains(a));
    EXPECT_TRUE(paths.contains(c));
    EXPECT_EQ(w->OpenedPath(), b);
    EXPECT_EQ(w->InitialDir(), Home("serch"));
    // The stored setting is unchanged by the start.
    EXPECT_TRUE(w->Settings().SerchFiles);
    EXPECT_TRUE(WaitPlaying());
}

TEST_F(CommandLine, SerchFilesDoesNotApplyToAFolderArgument)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("SerchFiles", 1);
    const QString inner = Sound("parent/folder/inner.wav");
    Sound("parent/sibling.wav");
    Open({Home("parent/folder")});
    EXPECT_EQ(Paths(), QStringList({inner}));
}

TEST_F(CommandLine, ShortcutsAreTakenAsTheirTargets)
{
    MW_REQUIRE_FIXTURES();
    const QString a = Sound("target/a.wav");
    const QString b = Sound("target/deeper/b.wav");
    const QString single = Home("elsewhere/single.wav");
    ASSERT_TRUE(MakeDir(Home("elsewhere")));
    ASSERT_TRUE(QFile::copy(Fixture("tone.wav"), single));
    // A link file to the folder and a symbolic link to a file.
    ASSERT_TRUE(testutil::WriteFile(Home("links/music.desktop"),
                                    "[Desktop Entry]\nType=Link\nName=music\nURL=file://" + Home("target").toUtf8() + "\n"));
    ASSERT_TRUE(Link(single, Home("links/song.lnk")));
    Open({Home("links/song.lnk"), Home("links/music.desktop")});
    EXPECT_EQ(Paths(), QStringList({single, a, b}));
    // The first argument's target is the opened path.
    EXPECT_EQ(w->OpenedPath(), single);
}

TEST_F(CommandLine, PathsNamingNothingGiveTheNoFileNotice)
{
    Open({Home("missing.wav"), Home("missing-folder/")});
    EXPECT_TRUE(w->PlayList().IsEmpty());
    EXPECT_EQ(Caption(), "Zoravel ファイルがありません");
    EXPECT_FALSE(w->AddingItems());
    EXPECT_EQ(w->width(), 290);
    EXPECT_EQ(w->height(), 60);
}

TEST_F(CommandLine, AlwaysOnTopIsAppliedAtTheEnd)
{
    SetMainDword("AlwaysOnTop", 1);
    Open();
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(ui()->PMForeground->isChecked());
}

}  // namespace

// Play-list files: the six kinds, line resolution, nesting, the writer.
#include "support/test_util.h"
#include "units/Creadlist.h"

#include "platform/paths/paths.h"

#include <QDir>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

// Readable failure output.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

// Stands in for the main window: records the entries and, like the window,
// reads a path with a list extension as a list.
class RecordingSink : public IListSink {
public:
    void AddFileToList(const QString& path) override { entries << path; }
    void AddPathOrPlayList(const QString& path) override
    {
        ++listRequests;
        const int kind = ListKindForExtension(GetFileExtension(path));
        if (kind >= 0) CReadList(this).Read(path, kind);
        else AddFileToList(path);
    }
    QStringList entries;
    int listRequests = 0;
};

class ReadListTest : public ::testing::Test {
protected:
    void TearDown() override { CReadList::SetAddressLoader(nullptr); }

    QString Make(const QString& relative, const QByteArray& bytes = "x")
    {
        const QString path = Path(relative);
        EXPECT_TRUE(testutil::WriteFile(path, bytes));
        return path;
    }
    QString Path(const QString& relative) const { return dir_.path() + "/" + relative; }

    QStringList Read(const QString& path, int kind)
    {
        RecordingSink sink;
        CReadList(&sink).Read(path, kind);
        return sink.entries;
    }

    QTemporaryDir dir_;
};

}  // namespace

TEST_F(ReadListTest, M3uLinesResolveAgainstTheListsFolder)
{
    const QString a = Make("lists/music/a.mp3");
    const QString top = Make("lists/a.mp3");
    const QString b = Make("lists/b.mp3");
    const QString up = Make("up.mp3");
    const QString absolute = Make("elsewhere/c.mp3");
    Make("server/share/x.mp3");
    QDir().mkpath(Path("lists/sub"));
    const QByteArray content = "#EXTM3U\r\n"
                               "#EXTINF:123,Artist - Title\r\n"
                               "music\\a.mp3\r\n"
                               "\\a.mp3\r\n"
                               ".\\b.mp3\r\n"
                               "..\\up.mp3\n"
                               "\n"
                               "C:\\c.mp3\n"
                               "\\\\server\\share\\x.mp3\n"
                               "//server/share/x.mp3\n"
                               "missing.mp3\n"
                               "sub\r" +
                               absolute.toUtf8() + "\n" + "music/a.mp3";   // the last line without a line end
    const QString list = Make("lists/list.m3u", content);
    EXPECT_EQ(Read(list, 1), (QStringList{a, top, b, up, Path("lists/sub"), absolute, a}));

    // The same lines as the player's own list: no line is special, so a file
    // named "#EXTM3U" beside the list is an entry.
    const QString named = Make("lists/#EXTM3U");
    const QString zol = Make("lists/list.zol", content);
    EXPECT_EQ(Read(zol, 0), (QStringList{named, a, top, b, up, Path("lists/sub"), absolute, a}));

    // A list that cannot be opened adds nothing.
    EXPECT_TRUE(Read(Path("lists/none.m3u"), 1).isEmpty());
    EXPECT_TRUE(Read(Path("lists"), 0).isEmpty());
}

TEST_F(ReadListTest, LongLinesAndLegacyTextAreReadWhole)
{
    const QString component = QString(200, 'd');
    const QString relative = QStringList{component, component, component, component}.join('/') + "/" +
                             QString(150, 'f') + ".mp3";
    ASSERT_GT(relative.size(), 950);
    const QString deep = Make("lists/" + relative);
    const QString japanese = Make(QString::fromUtf8("lists/日本.mp3"));
    const QByteArray cp932 = QByteArray("\x93\xFA\x96\x7B.mp3", 8);
    const QString list = Make("lists/long.m3u", "\xEF\xBB\xBF" + relative.toUtf8() + "\n" + cp932 + "\n");
    EXPECT_EQ(Read(list, 1), (QStringList{deep, japanese}));
}

// A line that cannot be a path (a broken or hostile list) is passed over
// without harm to its neighbours, whatever its line ends; a list beyond the
// size limit is read up to it.
TEST_F(ReadListTest, OverLongLinesAreSkippedAndHugeListsReadUpToTheLimit)
{
    const QString a = Make("a.mp3");
    const QString b = Make("b.mp3");
    const QString c = Make("c.mp3");
    const QByteArray huge(200 * 1024, 'x');
    // The longest line kept: a path of exactly 64 KiB names no file but is read.
    const QByteArray longest = "./" + QByteArray(64 * 1024 - 2, 'y');
    const QString list = Make("mixed.m3u", "a.mp3\r\n" + huge + "\r\nb.mp3\r" + huge + "\n" + longest +
                                              "\nc.mp3\n" + huge);
    EXPECT_EQ(Read(list, 1), (QStringList{a, b, c}));
    // One line of a whole file, at its start.
    EXPECT_EQ(Read(Make("one.zol", huge + "\nc.mp3"), 0), QStringList{c});

    // A list of 1 GiB, nearly all of it one line: entries past 64 MiB are not
    // read, and the read ends there (it took 10 GB and a minute when lines
    // were read whole).
    const QString big = Make("big.zol", "a.mp3\n");
    {
        QFile file(big);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.resize(qint64(1) << 30));
        ASSERT_TRUE(file.seek(file.size()));
        ASSERT_EQ(file.write("\nb.mp3\n"), 7);
    }
    EXPECT_EQ(Read(big, 0), QStringList{a});
}

// The system reads a name only up to a zero byte, so a line holding one is no
// entry. A list saved as UTF-16 with a byte-order mark is read as text (its
// zero-filled bytes once gave an entry of the list's folder for every line).
TEST_F(ReadListTest, ZeroBytesAndUtf16Lists)
{
    const QString a = Make("lists/a.mp3");
    const QString japanese = Make(QString::fromUtf8("lists/日本.mp3"));
    static const char kZeros[] = "a.mp3\0junk\n\0\na.mp3\n";
    EXPECT_EQ(Read(Make("lists/zero.m3u", QByteArray(kZeros, sizeof kZeros - 1)), 1), QStringList{a});

    const auto utf16 = [](const QString& text, bool bigEndian) {
        QByteArray bytes = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
        for (const QChar c : text) {
            const char high = char(c.unicode() >> 8);
            const char low = char(c.unicode() & 0xFF);
            bytes.append(bigEndian ? high : low).append(bigEndian ? low : high);
        }
        return bytes;
    };
    const QString lines = QString::fromUtf8("#EXTM3U\r\na.mp3\r\n日本.mp3\r\na.mp3") + QChar(0) + "x\r\n./a.mp3";
    EXPECT_EQ(Read(Make("lists/le.m3u", utf16(lines, false)), 1), (QStringList{a, japanese, a}));
    EXPECT_EQ(Read(Make("lists/be.zol", utf16(lines, true)), 0), (QStringList{a, japanese, a}));
    // The readers that probe the opening read UTF-16 too.
    const QString link = Make("link.url", utf16("[InternetShortcut]\r\nURL=" + a + "\r\n", false));
    EXPECT_EQ(Read(link, 4), QStringList{a});
}

TEST_F(ReadListTest, WrittenListsReadBackTheSame)
{
    const QStringList paths{Make("one.mp3"), Make("two words.ogg"), Make("back\\slash.mp3"),
                            Make(QString::fromUtf8("曲/三.flac")), Make(".hidden/x.mp3"), Make("one.mp3")};
    for (const QString& name : {QString("out.zol"), QString("out.m3u")}) {
        const QString list = Path(name);
        ASSERT_TRUE(WritePlayListFile(list, paths));
        EXPECT_EQ(Read(list, name.endsWith("zol") ? 0 : 1), paths);
    }
    EXPECT_EQ(testutil::ReadFile(Path("out.zol")), (paths.join('\n') + '\n').toUtf8());

    // Rewriting replaces the file; a path holding a line end is left out.
    ASSERT_TRUE(WritePlayListFile(Path("out.zol"), {paths[0], "/bad\nname", paths[1]}));
    EXPECT_EQ(testutil::ReadFile(Path("out.zol")), (paths[0] + '\n' + paths[1] + '\n').toUtf8());
    EXPECT_FALSE(WritePlayListFile(Path("no/such/folder/out.zol"), paths));
}

TEST_F(ReadListTest, WplValuesAreDecodedAndResolved)
{
    const QString amp = Make("lists/R&B <1>.wma");
    const QString up = Make("music/up.mp3");
    const QString absolute = Make("abs/x.mp3");
    const QString list = Make("lists/list.wpl",
                              "\xEF\xBB\xBF<?wpl version=\"1.0\"?>\r\n<smil><body><seq>\r\n"
                              "  <media src=\"R&amp;B &lt;1&gt;.wma\"/>\r\n"
                              "  <media src=\"..\\music\\up.mp3\" tid=\"{x}\"/>\r\n"
                              "  <media src=\"" + absolute.toUtf8() + "\"/>\r\n"
                              "  <media src=\"&#x6D;issing.mp3\"/>\r\n"
                              "  <media src=\"no closing quote/>\r\n"
                              "</seq></body></smil>");
    EXPECT_EQ(Read(list, 2), (QStringList{amp, up, absolute}));

    // Without the opening the file is played as one media item.
    const QString plain = Make("lists/plain.wpl", "just text\n<media src=\"x.mp3\"/>");
    EXPECT_EQ(Read(plain, 2), QStringList{plain});
}

TEST_F(ReadListTest, AsxFromAFolderAndFromAnAddress)
{
    const QString clip = Make("lists/clip.wmv");
    const QString absolute = Make("abs/y.wmv");
    const QByteArray asx = "<ASX version=\"3.0\">\n"
                           "<entry><ref href=\"clip.wmv\"/></entry>\n"
                           "<entry><REF HREF=\"" + absolute.toUtf8() + "\"/></entry>\n"
                           "<entry><ref href=\"mms://host/live?a=1&amp;b=2\"/></entry>\n"
                           "<entry><ref href=\"missing.wmv\"/></entry>\n"
                           "<entry><ref href=\"D:\\clips\\z.wmv\"/></entry>\n"
                           "</asx>\n";
    const QString list = Make("lists/list.asx", asx);
    EXPECT_EQ(Read(list, 3), (QStringList{clip, absolute, "mms://host/live?a=1&b=2"}));

    // From an address: relative values go after the address's folder, unchecked.
    QString asked;
    CReadList::SetAddressLoader([&](const QString& address, QByteArray* content) {
        asked = address;
        *content = "<asx version=\"3.0\">\n<entry><ref href=\"clip.wmv\"/></entry>\n"
                   "<ref href=\"sub\\b.wmv\"/>";
        return true;
    });
    EXPECT_EQ(Read("http://host/dir/list.asx", 3), (QStringList{"http://host/dir/clip.wmv", "http://host/dir/sub/b.wmv"}));
    EXPECT_EQ(asked, "http://host/dir/list.asx");

    // An address that cannot be fetched is handed on as a stream.
    CReadList::SetAddressLoader(nullptr);
    EXPECT_EQ(Read("http://host/dir/list.asx", 3), QStringList{"http://host/dir/list.asx"});
    const QString plain = Make("lists/plain.asx", "<asx>");
    EXPECT_EQ(Read(plain, 3), QStringList{plain});
}

TEST_F(ReadListTest, InternetShortcutsNameTheirTarget)
{
    const QString song = Make("media/song.mp3");
    const QString m3u = Make("media/list.m3u", "song.mp3\n");
    // Every key ending in "url" as written is a target, in file order; a
    // blank before "=" makes another key.
    const QString url = Make("link.url", "[InternetShortcut]\r\n"
                                         "url = http://blanks/\r\n"
                                         "BASEURL=" + m3u.toUtf8() + "\r\n"
                                         "IconFile=x\r\n"
                                         "  Url= http://host/radio \r\n"
                                         "[InternetShortcut.W]\r\n"
                                         "URL=" + m3u.toUtf8() + "\r\n"
                                         "[DEFAULT]\r\n"
                                         "URL=http://other/\r\n");
    RecordingSink sink;
    CReadList(&sink).Read(url, 4);
    EXPECT_EQ(sink.entries, (QStringList{song, "http://host/radio"}));
    EXPECT_EQ(sink.listRequests, 2);

    const QString fileUrl = Make("file.url", "[InternetShortcut]\nURL=file://" + QUrl::toPercentEncoding(song, "/") + "\n");
    EXPECT_EQ(Read(fileUrl, 4), QStringList{song});
    const QString web = Make("web.url", "[InternetShortcut]\nURL=http://host/radio\n");
    EXPECT_EQ(Read(web, 4), QStringList{"http://host/radio"});
    const QString plain = Make("plain.url", "URL=http://host/\n");
    EXPECT_EQ(Read(plain, 4), QStringList{plain});
}

TEST_F(ReadListTest, ListsNamingThemselvesOrEachOtherAreReadOnce)
{
    const QString self = Path("self.url");
    Make("self.url", "[InternetShortcut]\nURL=" + self.toUtf8() + "\nURL=http://after/\n");
    RecordingSink sink;
    CReadList(&sink).Read(self, 4);
    EXPECT_EQ(sink.entries, QStringList{"http://after/"});

    const QString a = Path("a.url");
    const QString b = Path("b.url");
    Make("a.url", "[InternetShortcut]\nURL=" + b.toUtf8() + "\n");
    Make("b.url", "[InternetShortcut]\nURL=" + a.toUtf8() + "\nURL=http://from-b/\n");
    RecordingSink pair;
    CReadList(&pair).Read(a, 4);
    EXPECT_EQ(pair.entries, QStringList{"http://from-b/"});
    EXPECT_EQ(pair.listRequests, 3);   // b, a again (not read), the address

    // Another name of the same list (a link) is the same list.
    ASSERT_TRUE(QFile::link(self, Path("alias.url")));
    RecordingSink alias;
    CReadList(&alias).Read(Path("alias.url"), 4);
    EXPECT_EQ(alias.entries, QStringList{"http://after/"});

    // Once a read is over the list can be read again.
    RecordingSink again;
    CReadList(&again).Read(self, 4);
    EXPECT_EQ(again.entries, QStringList{"http://after/"});
}

TEST_F(ReadListTest, RealMediaMetafiles)
{
    const QString ram = Make("a.ram", "rtsp://host/a.rm\r\nhttp://host/b.ra\r\n# note\r\n  pnm://host/c.rm  \r\n");
    EXPECT_EQ(Read(ram, 5), (QStringList{"rtsp://host/a.rm", "http://host/b.ra", "pnm://host/c.rm"}));
    const QString notRam = Make("b.ram", "ftp://host/x.rm\n");
    EXPECT_EQ(Read(notRam, 5), QStringList{notRam});
    EXPECT_TRUE(Read(Path("none.ram"), 5).isEmpty());
}

TEST(ReadListHelpers, KindsLinesAndEntities)
{
    EXPECT_EQ(ListKindForExtension("zol"), 0);
    EXPECT_EQ(ListKindForExtension("ram"), 5);
    EXPECT_EQ(ListKindForExtension("M3U"), -1);
    EXPECT_EQ(ListKindForExtension("mp3"), -1);

    EXPECT_EQ(ResolveListLine("/abs/x.mp3", "/l"), "/abs/x.mp3");
    EXPECT_EQ(ResolveListLine("a\\b.mp3", "/"), "/a/b.mp3");
    EXPECT_EQ(ResolveListLine("\\b.mp3", "/l"), "/l/b.mp3");
    EXPECT_EQ(ResolveListLine("./x/../y.mp3", "/l"), "/l/y.mp3");
    EXPECT_TRUE(ResolveListLine("E:\\c.mp3", "/l").isEmpty());
    EXPECT_TRUE(ResolveListLine("\\\\srv\\x", "/l").isEmpty());
    EXPECT_TRUE(ResolveListLine("", "/l").isEmpty());

    EXPECT_EQ(DecodeXmlEntities("&amp;&lt;&gt;&quot;&apos;&#65;&#x42;&#X43;"), "&<>\"'ABC");
    EXPECT_EQ(DecodeXmlEntities("a & b &unknown; &#xD800; &#0; &"), "a & b &unknown; &#xD800; &#0; &");
    EXPECT_EQ(DecodeXmlEntities("&#x1F3B5;"), QString::fromUtf8("🎵"));
}

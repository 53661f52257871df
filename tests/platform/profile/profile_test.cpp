#include "platform/profile/profile.h"

#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QDir>

#include <cerrno>
#include <limits>

using profile::TProfile;
using testutil::IsolatedHome;

namespace {

TProfile Parsed(const QByteArray& bytes)
{
    TProfile p;
    p.SetContent(bytes);
    return p;
}

// What a reader sees in a file written by hand: case, duplicates, comments,
// blanks, quotes, CRLF, keys outside sections, a last line without its end.
TEST(Profile, ReadsAsTheFileSays)
{
    const TProfile p = Parsed("; comment=1\r\n"
                              "stray=outside\r\n"
                              "[ResumeFile]\r\n"
                              "  Index = 2 \r\n"
                              "index=7\r\n"
                              ";Position=99\r\n"
                              "Quoted=\" padded \"\r\n"
                              "Single='x'\r\n"
                              "Lone\"=\"quote\r\n"
                              "no equals sign\r\n"
                              "Empty=\r\n"
                              "[ other ]\r\n"
                              "Key=a=b\r\n"
                              "[RESUMEFILE]\r\n"
                              "Position=5\r\n"
                              "Late=1\r\n"
                              "[Unclosed\r\n"
                              "k=v");
    // Case-insensitive names, the first of several wins, later sections of the name are not read.
    EXPECT_EQ(p.ReadString("resumefile", "INDEX"), "2");
    EXPECT_EQ(p.ReadInteger("ResumeFile", "Position", -1), -1);
    EXPECT_EQ(p.ReadString("ResumeFile", "Late", "none"), "none");
    EXPECT_EQ(p.ReadString("ResumeFile", "Quoted"), " padded ");
    EXPECT_EQ(p.ReadString("ResumeFile", "Single"), "x");
    EXPECT_EQ(p.ReadString("ResumeFile", "Lone\""), "\"quote");
    EXPECT_EQ(p.ReadString("ResumeFile", "Empty", "fallback"), "");
    EXPECT_EQ(p.ReadInteger("ResumeFile", "Empty", 9), 0);   // present but empty: no number
    EXPECT_FALSE(p.HasKey("ResumeFile", "no equals sign"));
    EXPECT_FALSE(p.HasKey("ResumeFile", "; comment"));
    EXPECT_EQ(p.ReadString("Other", "key"), "a=b");
    EXPECT_EQ(p.ReadString("Unclosed", "k"), "v");   // the last line had no line end
    EXPECT_EQ(p.ReadString("", "stray", "none"), "none");
    EXPECT_EQ(p.ReadString("Missing", "Index", "none"), "none");
    EXPECT_EQ(p.Sections(), (QStringList{"ResumeFile", "other", "Unclosed"}));
    EXPECT_EQ(p.Keys("resumefile"), (QStringList{"Index", "Quoted", "Single", "Lone\"", "Empty"}));
    // Nothing was written: the bytes are the file's own, final line end missing as it was.
    EXPECT_FALSE(p.Content().endsWith("\r\n"));
    EXPECT_TRUE(p.Content().startsWith("; comment=1\r\nstray=outside\r\n"));
}

TEST(Profile, LeadingNumbers)
{
    struct Case {
        const char* text;
        std::int64_t value;
    } const cases[] = {
        {"", 0},
        {"abc", 0},
        {"42", 42},
        {"  42tenths", 42},
        {"\t-17", -17},
        {"+8", 8},
        {"- 8", 0},
        {"4 2", 4},
        {"0x10", 0},
        {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
        {"99999999999999999999999", std::numeric_limits<std::int64_t>::max()},
        {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
        {"-99999999999999999999999", std::numeric_limits<std::int64_t>::min()},
    };
    for (const Case& c : cases) EXPECT_EQ(profile::LeadingNumber(QString::fromUtf8(c.text)), c.value) << c.text;
}

// A write changes one line or adds one; comments, blank lines, other
// sections, duplicates and the spelling of the names stay as they were.
TEST(Profile, WritesKeepEverythingElseInPlace)
{
    TProfile p = Parsed("; kept\n"
                        "[SpecificFile]\n"
                        "FileName=/media/a b.mpg\n"
                        "INDEX=1 ; old\n"
                        "\n"
                        "; about the next\n"
                        "[specificfile]\n"
                        "Index=9\n"
                        "\n"
                        "[Other]\n"
                        "x=1");
    ASSERT_TRUE(p.WriteInteger("specificFILE", "index", 3));
    ASSERT_TRUE(p.WriteString("SpecificFile", "Position", "420"));
    ASSERT_TRUE(p.WriteString("ResumeFile", "Index", "  spaced"));
    ASSERT_TRUE(p.WriteString("ResumeFile", "Quote", "'q'"));
    EXPECT_EQ(p.Content().toStdString(), "; kept\n"
                           "[SpecificFile]\n"
                           "FileName=/media/a b.mpg\n"
                           "INDEX=3\n"
                           "Position=420\n"
                           "\n"
                           "; about the next\n"
                           "[specificfile]\n"
                           "Index=9\n"
                           "\n"
                           "[Other]\n"
                           "x=1\n"
                           "[ResumeFile]\n"
                           "Index=\"  spaced\"\n"
                           "Quote=\"'q'\"\n");
    // What was written reads back as written.
    const TProfile again = Parsed(p.Content());
    EXPECT_EQ(again.ReadString("ResumeFile", "Index"), "  spaced");
    EXPECT_EQ(again.ReadString("ResumeFile", "Quote"), "'q'");

    // What cannot be stored as one line is refused and changes nothing.
    const QByteArray before = p.Content();
    for (auto [section, key, value] : {std::tuple{"S", "k", "two\nlines"}, {"S", "k", "cr\r"}, {"", "k", "v"},
                                       {"S", " ", "v"}, {"a]b", "k", "v"}, {"S", "a=b", "v"}, {"S", "[k", "v"},
                                       {"S", ";k", "v"}, {"S\n", "k", "v"}}) {
        EXPECT_FALSE(p.WriteString(section, key, value)) << section << "/" << key;
    }
    EXPECT_FALSE(p.WriteString("S", "k", QStringLiteral("nul") + QChar(0)));
    EXPECT_EQ(p.Content(), before);

    // Deleting takes the first key of the name, or the first section whole.
    EXPECT_TRUE(p.DeleteKey("SPECIFICFILE", "position"));
    EXPECT_FALSE(p.DeleteKey("SpecificFile", "Position"));
    EXPECT_TRUE(p.DeleteSection("specificfile"));
    EXPECT_EQ(p.ReadString("SpecificFile", "Index"), "9");   // the duplicate is the first now
    EXPECT_FALSE(p.DeleteSection("Nowhere"));
}

TEST(Profile, LineEndsOfTheFileAreKept)
{
    // A CRLF file gets CRLF lines; one without its final line end gets one before the next line.
    TProfile crlf = Parsed("[A]\r\nk=1");
    ASSERT_TRUE(crlf.WriteString("A", "j", "2"));
    EXPECT_EQ(crlf.Content().toStdString(), "[A]\r\nk=1\r\nj=2\r\n");
    TProfile open = Parsed("[A]\nk=1");
    ASSERT_TRUE(open.WriteString("B", "k", "2"));
    EXPECT_EQ(open.Content().toStdString(), "[A]\nk=1\n[B]\nk=2\n");
    TProfile changedLast = Parsed("[A]\nk=1");
    ASSERT_TRUE(changedLast.WriteString("a", "K", "2"));
    EXPECT_EQ(changedLast.Content().toStdString(), "[A]\nk=2\n");
    // Mixed line ends: each line keeps its own, untouched and after a write.
    TProfile mixed = Parsed("[A]\r\nk=1\n[B]\r\nj=2\n");
    EXPECT_EQ(mixed.Content().toStdString(), "[A]\r\nk=1\n[B]\r\nj=2\n");
    ASSERT_TRUE(mixed.WriteString("A", "k", "3"));
    EXPECT_EQ(mixed.Content().toStdString(), "[A]\r\nk=3\n[B]\r\nj=2\n");
    TProfile empty;
    ASSERT_TRUE(empty.WriteString("New", "Key", "value"));
    EXPECT_EQ(empty.Content().toStdString(), "[New]\nKey=value\n");
}

TEST(Profile, TextThatIsNotUtf8IsCp932AndKeptAsItWas)
{
    // "曲名" in CP932, a byte-order mark before the first line.
    const QByteArray bytes = "\xEF\xBB\xBF[Disc]\ntitle=\x8B\xC8\x96\xBC\nutf8=曲名\n";
    TProfile p = Parsed(bytes);
    EXPECT_EQ(p.ReadString("disc", "TITLE"), QStringLiteral("曲名"));
    EXPECT_EQ(p.ReadString("Disc", "utf8"), QStringLiteral("曲名"));
    ASSERT_TRUE(p.WriteString("Disc", "utf8", QStringLiteral("新しい")));
    EXPECT_EQ(p.Content().toStdString(), "\xEF\xBB\xBF[Disc]\ntitle=\x8B\xC8\x96\xBC\nutf8=新しい\n");
}

// The files on disk: a missing file is an empty profile that can be saved;
// one that cannot be read (or is too large) is never written over.
TEST(Profile, FilesOnDisk)
{
    IsolatedHome home;
    const QString path = home.File("Resume.rsm");
    TProfile p;
    EXPECT_EQ(p.Load(path), ENOENT);
    EXPECT_EQ(profile::ReadProfileString(path, "ResumeFile", "Index", "none"), "none");
    EXPECT_EQ(profile::ReadProfileInteger(path, "ResumeFile", "Index", -4), -4);

    EXPECT_EQ(profile::WriteProfileString(path, "ResumeFile", "Index", "2"), 0);
    EXPECT_EQ(profile::WriteProfileString(path, "ResumeFile", "Position", "420"), 0);
    EXPECT_EQ(profile::WriteProfileString(path, "ResumeFile", "Bad", "a\nb"), EINVAL);
    EXPECT_EQ(testutil::ReadFile(path), "[ResumeFile]\nIndex=2\nPosition=420\n");
    EXPECT_EQ(profile::ReadProfileInteger(path, "resumefile", "position", 0), 420);
    EXPECT_TRUE(QDir(home.Path()).entryList(QDir::Hidden | QDir::Files).filter(".tmp").isEmpty());

    // A folder where the file should be: no read, no write.
    const QString folder = home.File("Folder.rsm");
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_NE(p.Load(folder), 0);
    EXPECT_NE(p.Load(folder), ENOENT);
    EXPECT_NE(profile::WriteProfileString(folder, "A", "k", "v"), 0);
    EXPECT_TRUE(QFileInfo(folder).isDir());

    // Beyond the size limit: not read and not replaced by a file of one key.
    const QString big = home.File("Big.ini");
    QByteArray huge("[A]\nk=1\n");
    huge += QByteArray(profile::kMaxFileSize, ';');
    ASSERT_TRUE(testutil::WriteFile(big, huge));
    EXPECT_EQ(p.Load(big), EFBIG);
    EXPECT_EQ(p.ReadString("A", "k", "none"), "none");
    p.WriteString("A", "k", "2");
    EXPECT_EQ(p.Save(big), EPERM);
    EXPECT_EQ(profile::WriteProfileString(big, "A", "k", "2"), EFBIG);
    EXPECT_EQ(QFileInfo(big).size(), huge.size());
}

}  // namespace

// cdplayer.ini: the disc's section name, reading with its defaults and the
// fallback between the two folders, and writing that keeps the rest.
#include "cd_test_util.h"
#include "units/Ccdplayerini.h"
#include "units/Cdinfo.h"
#include "common/Reghelp.h"

#include <gtest/gtest.h>

#include <QDir>

#include <sys/wait.h>
#include <unistd.h>

#include <vector>

using namespace cdtest;

namespace {

TEST(CdSerial, FromTheTableOfContents)
{
    auto packed = [](int frames) {
        return static_cast<std::uint32_t>((frames / 4500) << 16 | (frames / 75 % 60) << 8 | frames % 75);
    };
    struct Case {
        std::vector<int> starts;
        int leadOut;
        std::uint32_t serial;
    };
    const std::vector<Case> cases = {
        // One and two tracks add the first track's frames field and the disc's length.
        {{150 + 7}, 20000, packed(157) + 7 + (20000 - 157)},
        {{150, 4650}, 9000, packed(150) + packed(4650) + 0 + (9000 - 150)},
        {{150, 4650, 9037}, 20000, packed(150) + packed(4650) + packed(9037)},
        {{150, 1000, 2000, 3000}, 4000, packed(150) + packed(1000) + packed(2000) + packed(3000)},
    };
    for (const Case& c : cases) {
        CDinfo info;
        const Bytes toc = MakeToc(c.starts, c.leadOut);
        ASSERT_TRUE(ParseToc(&info, toc.data(), static_cast<int>(toc.size())));
        EXPECT_EQ(AudioCdSerialNumber(info), c.serial) << c.starts.size();
    }
}

class CdIni : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(home_.File("config"));
        drive_.drive->SetReply(kReadTocCdb, MakeToc({150, 4650, 9037}, 20000));
        section_ = QString::asprintf("%X", (0u << 16 | 2u << 8 | 0u) + (1u << 16 | 2u << 8 | 0u) +
                                               (2u << 16 | 0u << 8 | 37u));
    }
    QString UserFile() const { return home_.File("data/cdplayer.ini"); }
    QString WindowsFile() const { return home_.File("config/cdplayer.ini"); }
    void SetWindowsFolder(bool on)
    {
        RegKey key = RegKey::Create(HKEY_CURRENT_USER, kMainKey, KEY_WRITE);
        ASSERT_TRUE(key);
        RegWriteBool(key.get(), "SaveINIToWinFolder", on);
    }

    testutil::IsolatedHome home_;
    CannedDriveScope drive_;
    QString section_;
};

TEST_F(CdIni, ReadsWithDefaultsAndBoundedCount)
{
    const QByteArray sec = section_.toUtf8();
    struct Case {
        QByteArray body;
        int count;
        QStringList titles;
        QString artist;
    };
    const std::vector<Case> cases = {
        {"artist=A\ntitle=T\nnumtracks=3\n1=Middle\n", 3, {"TRACK 01", "Middle", "TRACK 03"}, "A"},
        {"artist=A\n0=Lost\n", 0, {}, "A"},
        {"numtracks=2147483647\n", 99, {}, QStringLiteral("不明")},
        {"numtracks=-5\n", 0, {}, QStringLiteral("不明")},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(testutil::WriteFile(UserFile(), "[" + sec + "]\n" + c.body));
        CCDINI ini("/dev/sr0");
        ASSERT_EQ(ini.section, section_);
        EXPECT_EQ(ini.Read(), c.count) << c.body.constData();
        if (!c.titles.isEmpty()) {
            EXPECT_EQ(ini.titles, c.titles);
        }
        if (c.count == 99) {
            EXPECT_EQ(ini.titles[98], "TRACK 99");
        }
        EXPECT_EQ(ini.artist, c.artist);
    }
    // Another disc's section is not this one.
    ASSERT_TRUE(testutil::WriteFile(UserFile(), "[1234]\nnumtracks=3\n"));
    CCDINI other("/dev/sr0");
    EXPECT_EQ(other.Read(), 0);
    EXPECT_EQ(other.title, QStringLiteral("不明"));
}

TEST_F(CdIni, ReadFallsBackToTheOtherFolder)
{
    struct Case {
        bool windowsSetting;
        bool userFile;
        bool windowsFile;
        QString title;
    };
    for (const Case& c : {Case{false, true, true, "user"}, Case{false, false, true, "windows"},
                          Case{true, true, true, "windows"}, Case{true, true, false, "user"},
                          Case{false, false, false, ""}}) {
        QFile::remove(UserFile());
        QFile::remove(WindowsFile());
        SetWindowsFolder(c.windowsSetting);
        if (c.userFile) {
            ASSERT_TRUE(testutil::WriteFile(UserFile(), "[" + section_.toUtf8() + "]\ntitle=user\n"));
        }
        if (c.windowsFile) {
            ASSERT_TRUE(testutil::WriteFile(WindowsFile(), "[" + section_.toUtf8() + "]\ntitle=windows\n"));
        }
        CCDINI ini("/dev/sr0");
        EXPECT_EQ(ini.inWindowsFolder, c.windowsSetting);
        ini.Read();
        EXPECT_EQ(ini.title, c.title) << c.windowsSetting << c.userFile << c.windowsFile;
    }
    // Writing goes to the chosen folder only.
    SetWindowsFolder(false);
    QFile::remove(UserFile());
    CCDINI ini("/dev/sr0");
    ini.title = "new";
    ASSERT_EQ(ini.Write(), 1);
    EXPECT_TRUE(QFile::exists(UserFile()));
}

TEST_F(CdIni, Cp932FileIsRead)
{
    // "日本" and "曲" in CP932.
    ASSERT_TRUE(testutil::WriteFile(UserFile(), "[" + section_.toUtf8() +
                                                    "]\nartist=\x93\xfa\x96\x7b\nnumtracks=1\n0=\x8b\xc8\n"));
    CCDINI ini("/dev/sr0");
    ASSERT_EQ(ini.Read(), 1);
    EXPECT_EQ(ini.artist, QString::fromUtf8("日本"));
    EXPECT_EQ(ini.titles, QStringList{QString::fromUtf8("曲")});
}

TEST_F(CdIni, WriteKeepsTheRestAndSavesWholeOrNothing)
{
    const QByteArray before = "; my discs\n[ABC]\ntitle=Other\n\n[" + section_.toUtf8() + "]\nnumtracks=5\n4=Old\n";
    ASSERT_TRUE(testutil::WriteFile(UserFile(), before));
    CCDINI ini("/dev/sr0");
    ini.artist = QString::fromUtf8("演奏者");
    ini.title = "";
    ini.AddTitle("One");
    ini.AddTitle("Two");
    ASSERT_EQ(ini.Write(), 1);
    const QByteArray after = testutil::ReadFile(UserFile());
    EXPECT_TRUE(after.startsWith("; my discs\n[ABC]\ntitle=Other\n\n[" + section_.toUtf8() + "]\n")) << after.constData();
    CCDINI again("/dev/sr0");
    ASSERT_EQ(again.Read(), 2);
    EXPECT_EQ(again.artist, QString::fromUtf8("演奏者"));
    EXPECT_EQ(again.title, "");
    EXPECT_EQ(again.titles, (QStringList{"One", "Two"}));
    // A title that cannot be stored writes nothing at all.
    CCDINI broken("/dev/sr0");
    broken.artist = "Changed";
    broken.AddTitle("line\nbreak");
    EXPECT_EQ(broken.Write(), 0);
    EXPECT_EQ(testutil::ReadFile(UserFile()), after);
}

// Three processes write their discs into the file at once: each reads,
// changes and saves it under the file's lock, so no disc is lost.
TEST_F(CdIni, WritersAtOnceKeepEachOthersDiscs)
{
    constexpr int kWriters = 3;
    constexpr int kDiscs = 15;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid > 0) {
            children.push_back(pid);
            continue;
        }
        int failures = 0;
        for (int k = 0; k < kDiscs; ++k) {
            CCDINI ini("/dev/sr0");
            ini.section = QStringLiteral("D%1%2").arg(w).arg(k, 2, 10, QLatin1Char('0'));
            ini.artist = ini.section;
            ini.AddTitle(QStringLiteral("Track"));
            failures += ini.Write() != 1;
        }
        _exit(failures);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const QByteArray file = testutil::ReadFile(UserFile());
    for (int w = 0; w < kWriters; ++w) {
        for (int k = 0; k < kDiscs; ++k) {
            const QByteArray section = QStringLiteral("[D%1%2]").arg(w).arg(k, 2, 10, QLatin1Char('0')).toUtf8();
            EXPECT_TRUE(file.contains(section)) << section.constData();
        }
    }
}

TEST_F(CdIni, NoTocNoSection)
{
    ASSERT_TRUE(testutil::WriteFile(UserFile(), "[0]\nnumtracks=1\n"));
    drive_.drive->SetFault(cdrom::CannedDrive::Fault::Refused);
    CCDINI ini("/dev/sr0");
    EXPECT_TRUE(ini.section.isEmpty());
    EXPECT_EQ(ini.Read(), 0);
    ini.AddTitle("x");
    EXPECT_EQ(ini.Write(), 0);
    EXPECT_EQ(testutil::ReadFile(UserFile()), QByteArray("[0]\nnumtracks=1\n"));
}

}  // namespace

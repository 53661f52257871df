// Drive names, mount points and the disc-image transport.
#include "platform/cdrom/cdrom.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <vector>

namespace {

TEST(CdromNames, MountSourceOfLongestMountPoint)
{
    const QByteArray mountinfo =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "40 22 11:0 / /media/user/MY\\040DISC ro,nosuid shared:5 - iso9660 /dev/sr0 ro\n"
        "41 22 11:1 / /media/user/other ro - udf /dev/sr1 ro\n"
        "42 41 0:5 / /media/user/other/inner rw - tmpfs tmpfs rw\n"
        "broken line\n";
    struct Case {
        const char* path;
        const char* source;
    };
    for (const Case& c : {Case{"/media/user/MY DISC/VIDEO_TS/a.vob", "/dev/sr0"}, Case{"/media/user/MY DISC", "/dev/sr0"},
                          Case{"/media/user/MY DISCO/x", "/dev/sda1"}, Case{"/media/user/other/x", "/dev/sr1"},
                          Case{"/media/user/other/inner/x", "tmpfs"}, Case{"/home/user", "/dev/sda1"}})
        EXPECT_EQ(cdrom::MountSourceOf(mountinfo, QString::fromUtf8(c.path)), QString::fromUtf8(c.source)) << c.path;
    EXPECT_EQ(cdrom::MountSourceOf("", "/x"), QString());
}

TEST(CdromNames, ResolvesImagesAndRefusesOtherNames)
{
    const QString sheet = testutil::Fixture("cd/two.cue");
    const cdrom::DriveName image = cdrom::ResolveDrive(sheet);
    EXPECT_EQ(image.kind, cdrom::DriveName::Image);
    EXPECT_EQ(image.path, QFileInfo(sheet).canonicalFilePath());
    for (const QString& name : {QString(), QStringLiteral("/no/such/drive"), testutil::Fixture("cd/two.bin"),
                                QDir::tempPath()})
        EXPECT_EQ(cdrom::ResolveDrive(name).kind, cdrom::DriveName::None) << name.toStdString();
    // A file on no disc is held by no drive.
    EXPECT_EQ(cdrom::DriveOfPath(sheet), QString());
    EXPECT_EQ(cdrom::OpenDrive("/no/such/drive", cdrom::Access::Read), nullptr);
}

TEST(CdromImage, AnswersReadTocOnly)
{
    std::unique_ptr<cdrom::Transport> drive = cdrom::OpenDrive(testutil::Fixture("cd/three.cue"), cdrom::Access::Read);
    ASSERT_NE(drive, nullptr);
    std::vector<std::uint8_t> buffer(804, 0xEE);
    int n = -1;
    const std::uint8_t toc[10] = {0x43, 0x02, 0, 0, 0, 0, 0, 0x03, 0x24, 0};
    ASSERT_TRUE(drive->Execute(toc, 10, true, buffer.data(), 804, &n));
    // Three tracks at 0:02, 0:05, 0:09 and the lead-out at 0:11.
    ASSERT_EQ(n, 4 + 4 * 8);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 4), (std::vector<std::uint8_t>{0, 34, 1, 3}));
    const int seconds[] = {2, 5, 9, 11};
    const int tracks[] = {1, 2, 3, 0xAA};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(buffer[4 + i * 8 + 1], 0x10) << i;
        EXPECT_EQ(buffer[4 + i * 8 + 2], tracks[i]) << i;
        EXPECT_EQ(buffer[4 + i * 8 + 6], seconds[i]) << i;
    }
    // Bytes that did not come back are zero.
    EXPECT_EQ(buffer[n], 0);
    // The allocation length bounds the reply.
    const std::uint8_t shortToc[10] = {0x43, 0x02, 0, 0, 0, 0, 0, 0x00, 0x0C, 0};
    ASSERT_TRUE(drive->Execute(shortToc, 10, true, buffer.data(), 804, &n));
    EXPECT_EQ(n, 12);
    // The header some writers put before the packs is not passed on twice.
    const std::uint8_t text[10] = {0x43, 0x02, 0x05, 0, 0, 0, 0, 0x13, 0x88, 0};
    std::vector<std::uint8_t> packs(5000);
    ASSERT_TRUE(drive->Execute(text, 10, true, packs.data(), 5000, &n));
    EXPECT_EQ((n - 4) % 18, 0);
    EXPECT_EQ(packs[4], 0x80);
    struct Refused {
        std::vector<std::uint8_t> cdb;
        bool dataIn;
    };
    for (const Refused& r : {Refused{{0xBB, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}, false},
                             Refused{{0xAD, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false},
                             Refused{{0x43, 0x00, 0, 0, 0, 0, 0, 0x03, 0x24, 0}, true},
                             Refused{{0x43, 0x02, 0x02, 0, 0, 0, 0, 0x03, 0x24, 0}, true}})
        EXPECT_FALSE(drive->Execute(r.cdb.data(), static_cast<int>(r.cdb.size()), r.dataIn, buffer.data(), 804, &n));
    // An image without a CD-TEXT file refuses format 5.
    std::unique_ptr<cdrom::Transport> plain = cdrom::OpenDrive(testutil::Fixture("cd/two.cue"), cdrom::Access::Read);
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(plain->Execute(text, 10, true, packs.data(), 5000, &n));
}

TEST(CdromImage, BrokenSheetIsNoDrive)
{
    testutil::IsolatedHome home;
    const QString sheet = home.File("bad.cue");
    ASSERT_TRUE(testutil::WriteFile(sheet, "FILE \"missing.bin\" BINARY\n  TRACK 01 AUDIO\n"));
    EXPECT_EQ(cdrom::OpenDrive(sheet, cdrom::Access::Read), nullptr);
}

}  // namespace

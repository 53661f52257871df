// The namespace's volumes as a mount table describes them, the browser's
// order, and the renames that must never replace a file.
#include "platform/shell/drives.h"
#include "platform/shell/fileops.h"
#include "platform/shell/namespace.h"
#include "support/test_util.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

class Shell : public ::testing::Test {
protected:
    void SetUp() override
    {
        shell::SetMountTable(home.File("mountinfo"));
        shell::SetDriveTable([this] { return drives; });
    }
    void TearDown() override
    {
        shell::SetMountTable({});
        shell::SetDriveTable({});
    }
    testutil::IsolatedHome home;
    std::vector<shell::OpticalDrive> drives;
};

TEST_F(Shell, VolumesAreTheUsersMountsNetworkMountsAndEmptyOpticalDrives)
{
    // Blanks are written as \040; a system mount and a bind under /home are not the user's.
    testutil::WriteFile(home.File("mountinfo"),
                        "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                        "23 22 0:5 / /proc rw - proc proc rw\n"
                        "30 22 8:17 / /media/user/My\\040Stick rw - vfat /dev/sdb1 rw\n"
                        "31 22 0:50 / /srv/share rw - nfs4 server:/export rw\n"
                        "32 22 11:0 / /media/cdrom0 ro - iso9660 /dev/sr0 ro\n"
                        "33 22 8:33 / /mnt/data rw - ext4 /dev/sdc1 rw\n"
                        "34 22 8:17 / /media/user/My\\040Stick rw - vfat /dev/sdb2 rw\n"
                        "broken line\n");
    drives = {{"/dev/sr0", shell::OpticalDrive::Content::Data, "/media/cdrom0", ""},
              {"/dev/sr1", shell::OpticalDrive::Content::Empty, "", ""}};
    const std::vector<shell::Volume> volumes = shell::Volumes();
    ASSERT_EQ(volumes.size(), 5u);
    // A second mount over the same folder replaces the first, at the end.
    EXPECT_EQ(volumes[0].mountPoint, "/srv/share");
    EXPECT_TRUE(volumes[0].network);
    EXPECT_EQ(volumes[1].name, "cdrom0");
    EXPECT_TRUE(volumes[1].optical);
    EXPECT_EQ(volumes[2].mountPoint, "/mnt/data");
    EXPECT_FALSE(shell::ItemOf(volumes[2]).refresh);
    EXPECT_EQ(volumes[3].mountPoint, "/media/user/My Stick");
    EXPECT_EQ(volumes[3].device, "/dev/sdb2");
    EXPECT_TRUE(shell::ItemOf(volumes[3]).refresh);
    EXPECT_EQ(volumes[4].name, "光学ドライブ (sr1)");
    EXPECT_EQ(shell::ItemOf(volumes[4]).special, shell::ShellItem::Special::Drive);
    EXPECT_FALSE(shell::CanList(shell::ItemOf(volumes[4])));
}

TEST_F(Shell, TheDesktopHoldsHomeAndComputerFirstThenFoldersThenFilesInNumberOrder)
{
    const QString desktop = home.File("desk");
    QDir().mkpath(desktop + "/b folder");
    QDir().mkpath(desktop + "/A folder");
    for (const char* name : {"track10.wav", "Track9.wav", "track1.wav", ".hidden"})
        testutil::WriteFile(desktop + "/" + name, "x");
    shell::ShellItem root = shell::DesktopItem();
    root.parsingName = desktop;
    std::vector<shell::ShellItem> items = shell::Children(root);
    std::stable_sort(items.begin(), items.end(),
                     [](const auto& a, const auto& b) { return shell::CompareItems(a, b) < 0; });
    QStringList names;
    for (const shell::ShellItem& item : items) names << item.displayName;
    EXPECT_EQ(names, QStringList({"ホーム", "コンピュータ", "A folder", "b folder", "track1.wav", "Track9.wav",
                                  "track10.wav"}));
}

TEST_F(Shell, RenamesNeverReplaceAndUnusableNamesAreRefused)
{
    const QString a = home.File("a.wav"), b = home.File("b.wav");
    testutil::WriteFile(a, "a");
    testutil::WriteFile(b, "b");
    EXPECT_EQ(shell::RenameNoReplace(a, b), shell::RenameResult::Exists);
    EXPECT_EQ(testutil::ReadFile(b), "b");
    EXPECT_EQ(shell::RenameNoReplace(a, home.File("c.wav")), shell::RenameResult::Renamed);
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_EQ(shell::RenameNoReplace(a, home.File("d.wav")), shell::RenameResult::Failed);

    const QString folder = home.File("");
    for (const QString& name : {QString(), QString("."), QString(".."), QString("a/b"), QString(256, QChar('x'))})
        EXPECT_FALSE(shell::IsUsableFileName(folder, name)) << name.left(8).toStdString();
    EXPECT_TRUE(shell::IsUsableFileName(folder, QString(255, QChar('x'))));
    EXPECT_TRUE(shell::IsUsableFileName(folder, "...wav"));
}

}  // namespace

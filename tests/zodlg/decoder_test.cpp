// The decoder option dialogs over the vendors' registry values.
#include "dialog_test_util.h"
#include "support/test_util.h"
#include "zodlg/DecoderDlg.h"

#include <QCheckBox>

#include <gtest/gtest.h>

namespace {

constexpr char kInterVideo[] = "SOFTWARE\\InterVideo\\Common\\VideoDec";
constexpr char kClvsd[] = "SOFTWARE\\CyberLink\\Common\\CLVSD";
constexpr char kClvsdUser[] = "Software\\Cyberlink\\Common\\CLVSD";
constexpr char kClvsdOwn[] = "Software\\Cyberlink\\Common\\CLVSD\\Zorvi";
constexpr char kPowerDvd[] = "SOFTWARE\\CyberLink\\PowerDVD";
constexpr char kPowerDvdUser[] = "Software\\CyberLink\\PowerDVD";
constexpr char kCinePlayer[] = "Software\\Sonic\\CinePlayer\\1.5";
constexpr char kCineMaster[] = "SOFTWARE\\Sonic\\CineMaster DS DVD\\2.5\\VideoDecoder";

bool Checked(QWidget* d, int id) { return Find<QCheckBox>(d, id)->isChecked(); }

class Decoders : public ::testing::Test {
protected:
    testutil::IsolatedHome home;
    void TearDown() override { CancelWaits(); }
    std::string Snapshot() const { return testutil::ReadFile(QString::fromStdString(registry::StorePath())).toStdString(); }
};

TEST_F(Decoders, FirstFamilyWritesOnlyAfterAChange)
{
    // Nothing installed: all unchecked, and a change writes nothing anywhere.
    WhenShown("CDecoderDlg2", [](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "InterVideo Video Decoder");
        EXPECT_FALSE(Find<QCheckBox>(d, 6038)->isEnabled());
        EXPECT_FALSE(Checked(d, 6000) || Checked(d, 6001) || Checked(d, 6005));
        Find<QCheckBox>(d, 6000)->setChecked(true);
        Click(d, 1);
    });
    RunDecoderDlg(true);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kInterVideo));

    SetDword(HKEY_LOCAL_MACHINE, kInterVideo, "DXVA", 1);
    SetText(HKEY_LOCAL_MACHINE, kInterVideo, "HWMC", "1");   // not a DWORD: unchecked
    // OK without a change writes nothing, even to a key that exists.
    const std::string before = Snapshot();
    WhenShown("CDecoderDlg2", [](QWidget* d) {
        EXPECT_TRUE(Checked(d, 6000));
        EXPECT_FALSE(Checked(d, 6001));
        Click(d, 1);
    });
    RunDecoderDlg(true);
    EXPECT_EQ(Snapshot(), before);

    // One change writes every value of the vendor.
    WhenShown("CDecoderDlg2", [](QWidget* d) {
        Find<QCheckBox>(d, 6005)->setChecked(true);
        Click(d, 1);
    });
    RunDecoderDlg(true);
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kInterVideo, "DXVA").Dword(), 1u);
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kInterVideo, "HWMC").Dword(), 0u);
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kInterVideo, "VMR").Dword(), 1u);
}

TEST_F(Decoders, SecondFamilyWithAndWithoutItsPerUserKey)
{
    // Without the per-user key: values from the product keys, only existing
    // keys written, nothing created.
    SetDword(HKEY_LOCAL_MACHINE, kPowerDvd, "EnableVMR9", 1);
    WhenShown("CDecoderDlg2", [](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "CyberLink Video/SP Decoder");
        EXPECT_FALSE(Find<QCheckBox>(d, 6001)->isEnabled());
        EXPECT_TRUE(Checked(d, 6038));
        Find<QCheckBox>(d, 6000)->setChecked(true);
        Click(d, 1);
    });
    RunDecoderDlg(false);
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kPowerDvd, "EnableVMR").Dword(), 0u);
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kPowerDvd, "EnableVMR9").Dword(), 1u);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kPowerDvdUser));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClvsd));

    // With it: its own value wins on reading, and its keys are created.
    SetDword(HKEY_CURRENT_USER, kClvsdUser, "Other", 0);
    SetDword(HKEY_CURRENT_USER, kClvsdOwn, "UIUseHVA", 1);
    WhenShown("CDecoderDlg2", [](QWidget* d) {
        EXPECT_TRUE(Checked(d, 6000));
        EXPECT_FALSE(Checked(d, 6038));
        Find<QCheckBox>(d, 6005)->setChecked(true);
        Click(d, 1);
    });
    RunDecoderDlg(false);
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kClvsd, "EnableVMR").Dword(), 1u);
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kClvsd, "EnableVMR9").Dword(), 0u);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, kClvsdOwn, "UIUseHVA").Dword(), 1u);
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kPowerDvd, "EnableVMR").Dword(), 1u);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kPowerDvdUser));
}

TEST_F(Decoders, ThirdDecoderWritesBothKeysThatOpen)
{
    SetDword(HKEY_CURRENT_USER, kCinePlayer, "UseVMR", 1);
    WhenShown("CCinemasterDec", [](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "Sonic Cinemaster");
        EXPECT_TRUE(Checked(d, 6001));
        Click(d, 1);
    });
    RunSonicDecoderDlg();
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, kCinePlayer, "UseVMR").Dword(), 1u);
    WhenShown("CCinemasterDec", [](QWidget* d) {
        Find<QCheckBox>(d, 6001)->setChecked(false);
        Find<QCheckBox>(d, 6005)->setChecked(true);
        Click(d, 1);
    });
    RunSonicDecoderDlg();
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, kCinePlayer, "UseVMR").Dword(), 0u);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kCineMaster));
}

}  // namespace

// The main window slows a drive by its `DriveSpeed` setting and lets it run
// at full speed again when the media close and when the window goes.
#include "cd_test_util.h"
#include "window_test_util.h"

using namespace cdtest;
using namespace mwtest;

namespace {

class DriveSpeedWindow : public WindowTest {
protected:
    std::vector<Bytes> SpeedsSent() const
    {
        std::vector<Bytes> speeds;
        for (const auto& sent : drive.drive->SentCommands())
            if (sent.cdb[0] == 0xBB) speeds.push_back(sent.cdb);
        return speeds;
    }
    CannedDriveScope drive;
};

TEST_F(DriveSpeedWindow, AppliedAndRestoredWithTheMedia)
{
    SetMainDword("DriveSpeed", TDriveSpeedLimit::kLimitFlag | TDriveSpeedLimit::kRestoreFlag | (8u << 16) | (16u << 8));
    drive.drive->SetReply(SetSpeedCdb(16 * 177), {});
    drive.drive->SetReply(SetSpeedCdb(8 * 177), {});
    drive.drive->SetReply(SetSpeedCdb(0xFFFF), {});
    Open();
    w->ApplyDriveSpeed("/dev/sr0");
    EXPECT_EQ(w->SpeedLimitedDrive(), "/dev/sr0");
    w->CloseMedia();
    EXPECT_EQ(SpeedsSent(), (std::vector<Bytes>{SetSpeedCdb(16 * 177), SetSpeedCdb(0xFFFF)}));
    EXPECT_TRUE(w->SpeedLimitedDrive().isEmpty());
    drive.drive->ClearSent();
    // The audio-CD player's factor, restored when the window is destroyed.
    w->ApplyDriveSpeed("/dev/sr0", true);
    Close();
    EXPECT_EQ(SpeedsSent(), (std::vector<Bytes>{SetSpeedCdb(8 * 177), SetSpeedCdb(0xFFFF)}));
}

}  // namespace

// The audio-CD player on a recording host and a recording device, without a
// window: whether a disc's opening plays or fails, the player's end hands
// the host back everything the opening took.
#include "recording_device.h"

#include "player/units/Ccdplay.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QMenu>

namespace {

// What the player left with its host: the tracks, the play state, the CD
// timer, the mixer's CD line, the "CD-TEXT" menu and which controls show.
class RecordingHost : public ICdHost {
public:
    explicit RecordingHost(const QStringList* deviceLog) : deviceLog_(deviceLog) {}
    ~RecordingHost() override { delete menu; }

    void ClearTracks() override { tracks.clear(); }
    void AddTrack(const TPlayListItem& entry) override { tracks.push_back(entry); }
    void ReplaceTrack(int index, const TPlayListItem& entry) override { tracks.at(size_t(index)) = entry; }
    int TrackCount() const override { return int(tracks.size()); }
    TPlayListItem Track(int index) const override { return tracks.at(size_t(index)); }
    int TrackIndex() const override { return index; }
    void SetTrackIndex(int i) override { index = i; }
    int StartShuffleOrder() override { return -1; }
    bool ShuffleEntriesLeft() const override { return false; }
    void PlayNextEntry() override {}
    bool OnePlayOn() const override { return false; }
    bool ShuffleOn() const override { return false; }
    bool LoopOn() const override { return false; }
    bool PowerActionWaiting() const override { return false; }
    void StartPowerAction() override {}
    int ShownPlayState() const override { return state; }
    void ShowPlayState(int s) override { state = s; }
    void MarkAudioOnly() override {}
    void SetSeekBar(int) override {}
    int SeekBarValue() const override { return 0; }
    int SeekBarMaximum() const override { return 0; }
    bool SeekBarHeld() const override { return false; }
    bool SeekBarMoved() const override { return false; }
    void ClearSeekBarMoved() override {}
    void ShowTrackLength(int, const QString&) override {}
    void ShowElapsed(int) override {}
    void SetTimeText(const QString&) override {}
    void ShowTitle(const QString&) override {}
    void ShowArtistLine(const QString&) override {}
    void LayOutForDiscTexts() override {}
    void ShowCdControls(int) override { controls = "cd"; }
    void ShowFileControls() override { controls = "file"; }
    void SetVolumeBar(int) override {}
    void EnableSaveTitles() override {}
    QMenu* AddCdTextMenu() override { return menu = new QMenu; }
    void RemoveCdTextMenu(QMenu* m) override
    {
        EXPECT_EQ(m, menu);
        delete menu;
        menu = nullptr;
    }
    void SetCdTimer(bool on) override { cdTimer = on; }
    bool CdTimerActive() const override { return cdTimer; }
    void StartNotifyTimer(unsigned) override {}
    TForm* NoticeWindow() override { return nullptr; }
    void SetCdVolumeControl(CdVolumeControl* control) override
    {
        // The line is restored through the device: it must still be open.
        if (!control) logWhenReleased = *deviceLog_;
        volume = control;
    }
    void Inform(const QString&) override {}

    std::vector<TPlayListItem> tracks;
    int index = -1;
    int state = psNothing;
    bool cdTimer = false;
    CdVolumeControl* volume = nullptr;
    QMenu* menu = nullptr;
    QString controls;
    QStringList logWhenReleased;

private:
    const QStringList* deviceLog_;
};

TEST(CdPlayHost, TheEndHandsBackWhatTheOpeningTook)
{
    const QString drive = testutil::Fixture(QStringLiteral("cd/lang.cue"));
    if (!QFileInfo::exists(testutil::Fixture(QStringLiteral(".complete")))) GTEST_SKIP() << "media fixtures not made";
    testutil::IsolatedHome home;
    for (const bool playFails : {false, true}) {
        SCOPED_TRACE(playFails ? "the first play fails" : "the disc plays");
        RecordingDevice::Disc disc;
        disc.lengthsMs = {3000, 4000, 2000};
        disc.failPlay = playFails;
        CCDPlay::SetDeviceFactory([&disc] { return std::make_unique<RecordingDevice>(&disc); });
        RecordingHost host(&disc.log);
        auto player = std::make_unique<CCDPlay>(host);
        ASSERT_EQ(player->Open(drive), playFails ? 0 : 1);
        // The two CD-TEXT languages named the tracks and brought their menu.
        ASSERT_EQ(host.tracks.size(), 3u);
        EXPECT_EQ(host.tracks[0].Title, "Morning");
        ASSERT_NE(host.menu, nullptr);
        EXPECT_EQ(host.menu->actions().size(), 2);
        EXPECT_NE(host.volume, nullptr);
        EXPECT_EQ(host.cdTimer, !playFails);
        EXPECT_EQ(host.state, playFails ? psNothing : psPlaying);

        player.reset();
        EXPECT_EQ(host.volume, nullptr);
        EXPECT_FALSE(host.logWhenReleased.contains("close")) << host.logWhenReleased.join(", ").toStdString();
        EXPECT_EQ(disc.log.mid(disc.log.size() - 2), (QStringList{"stop", "close"}));
        EXPECT_EQ(host.menu, nullptr);
        EXPECT_FALSE(host.cdTimer);
        EXPECT_EQ(host.controls, "file");
    }
    CCDPlay::SetDeviceFactory({});
}

}  // namespace

// The window starting a DVD: the three failure messages, the caption and the
// navigator run on success, the end of a disc without menus closing it,
// through the fake builder; and the fixture discs through the real layer,
// whose painted picture shows offscreen.
#include "fake_builder.h"
#include "platform/dialogs/dialogs.h"
#include "platform/dvd/player.h"
#include "window_test_util.h"

using namespace mwtest;

namespace {

class DvdWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        dialogs::SetMessageBoxAnswerer([this](const dialogs::MessageBoxCall& call) {
            boxes << call.caption + ": " + call.text;
            return IDOK;
        });
    }
    void TearDown() override
    {
        dialogs::SetMessageBoxAnswerer({});
        WindowTest::TearDown();
    }
    FakeDvdBuilder* UseFake()
    {
        auto fake = std::make_unique<FakeDvdBuilder>();
        FakeDvdBuilder* raw = fake.get();
        w->SetDvdPipelineBuilder(std::move(fake));
        return raw;
    }
    QStringList boxes;
};

TEST_F(DvdWindow, FailureMessagesByResult)
{
    Open();
    struct Case {
        HRESULT manual, automatic;
        bool decoder;
        const char* text;
    } cases[] = {
        {E_INVALIDARG, S_OK, true, "DVD エラー: DVD ボリュームが見つかりません。"},
        {E_FAIL, S_OK, false, "DVD エラー: DVD デコーダがありません。\nDVDを再生するにはDVDに対応したデコーダが必要です。"},
        {E_FAIL, E_FAIL, true, "DVD エラー: 再生できません。"},
    };
    for (const Case& c : cases) {
        FakeDvdBuilder* fake = UseFake();
        fake->manualResult = c.manual;
        fake->automaticResult = c.automatic;
        fake->hasDecoder = c.decoder;
        boxes.clear();
        w->SetViewerPath("/media/Some_Disc");
        w->StartDvd();
        EXPECT_EQ(boxes, QStringList{QString::fromUtf8(c.text)});
        EXPECT_EQ(w->DvdControl(), nullptr);
        EXPECT_TRUE(w->ViewerPath().isEmpty()) << "cleared whatever the result";
        EXPECT_EQ(w->windowTitle(), "Zoravel");
    }
}

TEST_F(DvdWindow, StartRunsTheNavigatorAndTheDiscsEndClosesIt)
{
    Open();
    FakeDvdBuilder* fake = UseFake();
    w->StartDvd();
    ASSERT_NE(fake->navigator, nullptr);
    dvd::FakeNavigator* nav = fake->navigator;
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_EQ(w->windowTitle(), "Zoravel DVD - E") << "a disc without a name is called E";
    EXPECT_TRUE(nav->Called("Run"));
    EXPECT_EQ(w->PlayState(), psPlaying);
    // A disc without a root menu ends with its last title.
    nav->results["ShowMenu"] = dvd::VFW_E_DVD_INVALIDDOMAIN;
    nav->Raise(dvd::EC_DVD_PLAYBACK_STOPPED);
    ASSERT_TRUE(testutil::WaitUntil([&] { return w->DvdControl() == nullptr; }));
    EXPECT_EQ(w->PlayState(), psNothing);
}

TEST_F(DvdWindow, FixtureMenuShowsInThePaintedRendererAndAFolderWithoutAVolumeSaysSo)
{
    if (!FixturesMade()) GTEST_SKIP() << "media fixtures not made";
    SetMainDword("DVDRenderer", 2);
    Open();
    w->SetViewerPath(Fixture("dvd_menu") + "/VIDEO_TS");
    w->StartDvd();
    ASSERT_TRUE(boxes.isEmpty()) << boxes;
    auto* player = dynamic_cast<dvd::DvdPlayer*>(w->DvdControl());
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->FramesShown() > 0; }, 10000));
    EXPECT_EQ(w->DvdFlipTag(), 9);
    w->CloseMedia();
    w->UpdateControlsForMedia(false);
    EXPECT_EQ(w->DvdControl(), nullptr);

    w->SetViewerPath(Fixture("not_dvd"));
    w->StartDvd();
    EXPECT_EQ(boxes, QStringList{QString::fromUtf8("DVD エラー: DVD ボリュームが見つかりません。")});
}

}  // namespace

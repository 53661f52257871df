// A disc's picture in the window: nothing of the window stands over it. The
// title and artist texts of a sound played before (or of the fresh form) lie
// on the view panel; over a window sink's window they showed as blank bands.
// On an X display this runs the window sink; offscreen the painted renderer.
#include "platform/dvd/player.h"
#include "window_test_util.h"

#include <QLabel>

using namespace mwtest;

namespace {

class DvdPicture : public WindowTest {};

// The labels of the view panel that are shown over the picture.
std::string LabelsOverPicture(QWidget* panel)
{
    QStringList shown;
    for (QLabel* label : panel->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (label->isVisible()) shown << label->objectName();
    return shown.join(QLatin1Char(' ')).toStdString();
}

TEST_F(DvdPicture, NoTextOfASoundBeforeStandsOverTheDiscsPicture)
{
    if (!FixturesMade()) GTEST_SKIP() << "media fixtures not made";
    Open({Fixture("tagged.mp3")});
    ASSERT_TRUE(WaitPlaying());
    ASSERT_TRUE(ui()->LblTitle->isVisible()) << "a sound shows its title";

    w->SetViewerPath(Fixture("dvd_titles") + "/VIDEO_TS");
    w->StartDvd();
    ASSERT_TRUE(messageBoxes.isEmpty()) << messageBoxes;
    auto* player = dynamic_cast<dvd::DvdPlayer*>(w->DvdControl());
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->FramesShown() > 0; }, 10000));
    EXPECT_EQ(LabelsOverPicture(ui()->ViewPanel), "");

    // And from a fresh window, whose texts are laid out shown.
    Close();
    Open();
    w->SetViewerPath(Fixture("dvd_titles") + "/VIDEO_TS");
    w->StartDvd();
    player = dynamic_cast<dvd::DvdPlayer*>(w->DvdControl());
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->FramesShown() > 0; }, 10000));
    EXPECT_EQ(LabelsOverPicture(ui()->ViewPanel), "");
}

}  // namespace

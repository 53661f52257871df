// The Windows Media attribute reader on the item a graph has rendered.
#include "platform/media/media_test_util.h"

#include "player/units/Wmvinfo.h"

using namespace media;
using namespace mediatest;

namespace {

TEST_F(MediaTest, WmvInfoReadsTheRenderedItem)
{
    CWmvInfo info;
    EXPECT_EQ(info.ReadHeader(nullptr), E_FAIL);
    FilterGraph graph;
    graph.AddVideoRenderer(RendererWindowless9, &panel);
    graph.UseWindowsMediaSource(false);
    ASSERT_EQ(graph.RenderFile(F("clip.wmv")), S_OK);
    ASSERT_EQ(info.ReadHeader(&graph), S_OK);
    EXPECT_EQ(info.title, "WMV Title");
    EXPECT_EQ(info.author, "WMV Author");
    EXPECT_EQ(info.album, "WMV Album");
    EXPECT_EQ(info.seekable, 1);
    EXPECT_EQ(info.hasVideo, 1);

    CWmvInfo sound;
    FilterGraph audio;
    ASSERT_EQ(audio.RenderFile(F("sound.wma")), S_OK);
    ASSERT_EQ(sound.ReadHeader(&audio), S_OK);
    EXPECT_EQ(sound.hasVideo, 0);
    EXPECT_TRUE(sound.title.isEmpty());
}

}  // namespace

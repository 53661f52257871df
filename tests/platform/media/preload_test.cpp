// Loading GStreamer ahead of the first graph: the graph's plug-ins and the
// first file's container plug-in are loaded on the preloader's thread.
#include "platform/media/preload.h"
#include "support/test_util.h"

#include <QFileInfo>

#include <gst/gst.h>
#include <gtest/gtest.h>

namespace {

bool Loaded(const char* name)
{
    g_autoptr(GstPlugin) plugin = gst_registry_find_plugin(gst_registry_get(), name);
    return plugin && gst_plugin_is_loaded(plugin);
}

TEST(Preloader, LoadsTheGraphsAndTheFirstFilesPlugins)
{
    const QString clip = testutil::Fixture(QStringLiteral("bench720.mp4"));
    if (!QFileInfo::exists(clip)) GTEST_SKIP() << "media fixtures not made";
    ASSERT_FALSE(Loaded("playback")) << "this process loaded the playback plug-in already";
    media::Preloader preloader(clip);
    EXPECT_TRUE(testutil::WaitUntil([] { return Loaded("playback") && Loaded("isomp4"); }, 10000))
        << "the graph's plug-ins and the clip's container";
}

}  // namespace

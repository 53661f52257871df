// Loading GStreamer ahead of the first graph: plug-ins held back until the
// window is built load nothing before, load the graph's and the first file's
// container plug-ins after, and are never loaded when the owner goes first.
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

TEST(Preloader, HeldPluginsLoadOnlyOnceReleased)
{
    const QString clip = testutil::Fixture(QStringLiteral("bench720.mp4"));
    if (!QFileInfo::exists(clip)) GTEST_SKIP() << "media fixtures not made";
    ASSERT_FALSE(Loaded("playback")) << "this process loaded the playback plug-in already";
    {
        // Its owner goes while they are held: nothing is loaded, and the
        // thread ends.
        media::Preloader gone(clip, true);
    }
    EXPECT_FALSE(Loaded("playback"));
    EXPECT_FALSE(Loaded("isomp4"));

    media::Preloader preloader(clip, true);
    EXPECT_FALSE(Loaded("playback"));
    preloader.ReleasePlugins();
    EXPECT_TRUE(testutil::WaitUntil([] { return Loaded("playback") && Loaded("isomp4"); }, 10000))
        << "the graph's plug-ins and the clip's container";
}

}  // namespace

// Loading GStreamer ahead of the first graph: the graph's plug-ins and the
// first file's container plug-in are loaded on the preloader's thread.
#include "platform/media/preload.h"
#include "support/test_util.h"

#include <QFileInfo>
#include <QGuiApplication>

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

// The program builds its first graph, X window sink and all, while the
// preloader runs. X sinks opened on two threads at once corrupted the heap
// in about one start of twenty; many rounds here make that show.
TEST(Preloader, RunsBesideAWindowSinkOpeningOnTheWindowsThread)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs an X display";
    const QString clip = testutil::Fixture(QStringLiteral("bench720.mp4"));
    if (!QFileInfo::exists(clip)) GTEST_SKIP() << "media fixtures not made";
    for (int round = 0; round < 150; ++round) {
        media::Preloader preloader(clip);
        preloader.WindowShown();
        GstElement* sink = gst_element_factory_make("ximagesink", nullptr);
        ASSERT_NE(sink, nullptr);
        EXPECT_NE(gst_element_set_state(sink, GST_STATE_READY), GST_STATE_CHANGE_FAILURE) << "round " << round;
        gst_element_set_state(sink, GST_STATE_NULL);
        gst_object_unref(sink);
    }
}

}  // namespace

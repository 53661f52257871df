// Loading GStreamer ahead of the first graph: the plug-ins the first item's
// graph uses are loaded on the preloader's thread, and only those.
#include "platform/media/preload.h"
#include "support/test_util.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <atomic>
#include <cstring>
#include <set>
#include <string>

#include <gst/gst.h>
#include <gtest/gtest.h>

namespace {

bool Loaded(const char* name)
{
    g_autoptr(GstPlugin) plugin = gst_registry_find_plugin(gst_registry_get(), name);
    return plugin && gst_plugin_is_loaded(plugin);
}

std::set<std::string> LoadedPlugins()
{
    std::set<std::string> names;
    GList* plugins = gst_registry_get_plugin_list(gst_registry_get());
    for (GList* l = plugins; l; l = l->next)
        if (gst_plugin_is_loaded(GST_PLUGIN(l->data))) names.insert(gst_plugin_get_name(GST_PLUGIN(l->data)));
    gst_plugin_list_free(plugins);
    return names;
}

// The item is read as the main window reads the command line.
TEST(Preloader, ReadsTheFirstItemAsTheWindowDoes)
{
    using media::FirstItem;
    const struct {
        QStringList args;
        FirstItem::Kind kind;
        QString path;
    } cases[] = {
        {{}, FirstItem::kNothing, {}},
        {{"/DVD"}, FirstItem::kDvd, {}},
        {{"/dvd", "/media/disc"}, FirstItem::kDvd, "/media/disc"},
        {{"/m/VIDEO_TS/VIDEO_TS.IFO"}, FirstItem::kDvd, "/m/VIDEO_TS/VIDEO_TS.IFO"},
        {{"/cd", "/m/disc.cue"}, FirstItem::kAudioCd, "/m/disc.cue"},
        {{"/cd", "/dev/sr0"}, FirstItem::kAudioCd, "/dev/sr0"},
        {{"/cd"}, FirstItem::kNothing, {}},            // plays nothing
        {{"/m/disc.CUE"}, FirstItem::kNothing, {}},    // a sheet is no file to play
        {{"/fb"}, FirstItem::kNothing, {}},
        {{"/fb", "/m/a.mp4"}, FirstItem::kFile, "/m/a.mp4"},
        {{"/m/a.mp4", "/m/b.ifo"}, FirstItem::kFile, "/m/a.mp4"},
    };
    for (const auto& c : cases) {
        const FirstItem item = media::FirstItemOf(c.args);
        EXPECT_EQ(item.kind, c.kind) << c.args.join(' ').toStdString();
        if (item.kind != FirstItem::kNothing) {
            EXPECT_EQ(item.path, c.path) << c.args.join(' ').toStdString();
        }
    }
}

// A disc image plays through our own source: no decoder, and nothing of
// the playback bin, loads for it.
TEST(Preloader, LoadsNoDecoderForADiscImage)
{
    const QString cue = testutil::Fixture(QStringLiteral("cd/two.cue"));
    if (!QFileInfo::exists(cue)) GTEST_SKIP() << "media fixtures not made";
    gst_init(nullptr, nullptr);
    ASSERT_FALSE(Loaded("libav")) << "this process loaded the decoders already";
    {
        media::Preloader preloader({QStringLiteral("/cd"), cue});
        preloader.WindowShown();
    }   // waits for the thread
    EXPECT_TRUE(Loaded("audioconvert") && Loaded("volume") && Loaded("audiofx"));
    EXPECT_FALSE(Loaded("libav"));
    EXPECT_FALSE(Loaded("playback"));
    EXPECT_FALSE(Loaded("cdio")) << "the drive's source is not the image's";
}

// Everything a DVD's navigator bin loads while it starts (its demuxer,
// parsers, and the decoders it picks) was loaded ahead.
TEST(Preloader, LoadsWhatTheDvdsGraphPicks)
{
    const QString folder = testutil::Fixture(QStringLiteral("dvd_titles"));
    if (!QFileInfo::exists(folder + QStringLiteral("/VIDEO_TS"))) GTEST_SKIP() << "media fixtures not made";
    {
        media::Preloader preloader({QStringLiteral("/dvd"), folder});
        preloader.WindowShown();
    }
    const std::set<std::string> ahead = LoadedPlugins();
    EXPECT_TRUE(ahead.count("resindvd") && ahead.count("dvdspu"));

    GstElement* pipeline = gst_pipeline_new(nullptr);
    GstElement* nav = gst_element_factory_make("rsndvdbin", nullptr);
    ASSERT_NE(nav, nullptr);
    g_object_set(nav, "device", QFile::encodeName(folder).constData(), nullptr);
    gst_bin_add(GST_BIN(pipeline), nav);
    g_signal_connect(nav, "pad-added", G_CALLBACK(+[](GstElement* element, GstPad* pad, gpointer) {
                         GstElement* sink = gst_element_factory_make("fakesink", nullptr);
                         g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
                         gst_bin_add(GST_BIN(GST_ELEMENT_PARENT(element)), sink);
                         gst_element_sync_state_with_parent(sink);
                         g_autoptr(GstPad) sinkPad = gst_element_get_static_pad(sink, "sink");
                         gst_pad_link(pad, sinkPad);
                     }),
                     nullptr);
    // The decoders are made once the streams' formats are known: the
    // pipeline plays until it has made a video and a sound decoder.
    struct Decoders {
        std::atomic<bool> video{false}, audio{false};
    } made;
    g_signal_connect(pipeline, "deep-element-added", G_CALLBACK(+[](GstBin*, GstBin*, GstElement* e, gpointer data) {
                         GstElementFactory* f = gst_element_get_factory(e);
                         const gchar* klass = f ? gst_element_factory_get_metadata(f, GST_ELEMENT_METADATA_KLASS) : "";
                         if (!klass || !strstr(klass, "Decoder")) return;
                         auto* d = static_cast<Decoders*>(data);
                         (strstr(klass, "Video") ? d->video : d->audio) = true;
                     }),
                     &made);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    EXPECT_TRUE(testutil::WaitUntil([&made] { return made.video && made.audio; }, 10000))
        << "the DVD's decoders were not made";
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    std::set<std::string> late;
    for (const std::string& name : LoadedPlugins())
        if (!ahead.count(name)) late.insert(name);
    std::string names;
    for (const std::string& n : late) names += n + " ";
    EXPECT_TRUE(late.empty()) << "loaded by the graph itself: " << names;
}

TEST(Preloader, LoadsTheGraphsAndTheFirstFilesPlugins)
{
    const QString clip = testutil::Fixture(QStringLiteral("bench720.mp4"));
    if (!QFileInfo::exists(clip)) GTEST_SKIP() << "media fixtures not made";
    ASSERT_FALSE(Loaded("playback")) << "this process loaded the playback plug-in already";
    media::Preloader preloader(QStringList{clip});
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
        media::Preloader preloader(QStringList{clip});
        preloader.WindowShown();
        GstElement* sink = gst_element_factory_make("ximagesink", nullptr);
        ASSERT_NE(sink, nullptr);
        EXPECT_NE(gst_element_set_state(sink, GST_STATE_READY), GST_STATE_CHANGE_FAILURE) << "round " << round;
        gst_element_set_state(sink, GST_STATE_NULL);
        gst_object_unref(sink);
    }
}

}  // namespace

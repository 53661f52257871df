// Class identifiers of factories, the event queue on its own, and the
// Windows Media attribute reader.
#include "media_test_util.h"

#include "platform/media/events.h"
#include "player/units/Wmvinfo.h"

#include <QThread>

#include <thread>

using namespace media;
using namespace mediatest;

namespace {

TEST(FactoryClassId, IsAStableNameBasedUuidInGuidByteOrder)
{
    const QByteArray id = FactoryClassId("mpegpsdemux");
    ASSERT_EQ(id.size(), 16);
    // Version 5 sits in the high nibble of Data3, stored little-endian.
    EXPECT_EQ(static_cast<uchar>(id[7]) >> 4, 5);
    EXPECT_EQ(static_cast<uchar>(id[8]) & 0xC0, 0x80);
    // Stored preferences rely on these bytes never changing.
    EXPECT_EQ(id.toHex(), QByteArray("965b08fb8d9c01528ddaf7392d1756ae"));
    EXPECT_NE(FactoryClassId("mpegvideoparse"), id);
    EXPECT_EQ(FactoryClassId("mpegpsdemux"), id);
}

TEST(FactoryClassId, ResolvesThroughTheRegistry)
{
    for (const char* name : {"mpegpsdemux", "mpegvideoparse", "asfdemux", "avdec_mpeg2video"})
        EXPECT_EQ(FactoryForClassId(FactoryClassId(name)), name);
    EXPECT_TRUE(FactoryForClassId(QByteArray(16, '\0')).isEmpty());
    EXPECT_TRUE(FactoryForClassId(FactoryClassId("no-such-factory")).isEmpty());
    EXPECT_TRUE(FactoryForClassId(QByteArray(15, '\1')).isEmpty());
}

TEST(EventQueue, AnnouncesOnceUntilTheWindowTakes)
{
    auto queue = std::make_shared<EventQueue>();
    RecordingForm form;
    queue->Push(EC_PAUSED, 0, 0);
    queue->SetWindow(&form, WM_GRAPHNOTIFY, 0);   // queued before: announced now
    queue->Push(EC_COMPLETE, 0, 0);
    std::thread other([&] {
        for (int i = 0; i < 50; ++i) queue->Push(EC_OLE_EVENT, 1, i);
    });
    other.join();
    testutil::WaitUntil([] { return false; }, 50);
    EXPECT_EQ(form.notifications, 1);
    EXPECT_EQ(queue->Size(), 52u);

    GraphEvent e;
    ASSERT_TRUE(queue->Take(&e, 0));
    EXPECT_EQ(e.code, EC_PAUSED);
    queue->Push(EC_COMPLETE, 0, 0);   // the window has looked: a new message
    testutil::WaitUntil([] { return false; }, 50);
    EXPECT_EQ(form.notifications, 2);

    // Waiting with a time-out picks up an event pushed meanwhile.
    while (queue->Take(&e, 0)) {}
    std::thread late([&] {
        QThread::msleep(30);
        queue->Push(EC_USERABORT, 7, 8);
    });
    ASSERT_TRUE(queue->Take(&e, 2000));
    late.join();
    EXPECT_EQ(e.code, EC_USERABORT);
    EXPECT_EQ(e.param2, 8);

    queue->Push(EC_COMPLETE, 0, 0);
    queue->Close();
    EXPECT_FALSE(queue->Take(&e, 10));
    queue->Push(EC_COMPLETE, 0, 0);
    EXPECT_EQ(queue->Size(), 0u);
}

TEST(EventQueue, DestroyedWindowIsNeverPosted)
{
    auto queue = std::make_shared<EventQueue>();
    auto form = std::make_unique<RecordingForm>();
    queue->SetWindow(form.get(), WM_GRAPHNOTIFY, 0);
    std::atomic<bool> stop{false};
    std::thread pusher([&] {
        GraphEvent e;
        while (!stop) {
            queue->Push(EC_PAUSED, 0, 0);
            queue->Take(&e, 0);
        }
    });
    QThread::msleep(20);
    form.reset();
    QThread::msleep(20);
    stop = true;
    pusher.join();
    testutil::WaitUntil([] { return false; }, 50);
    SUCCEED();
}

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

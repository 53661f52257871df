// Class identifiers of factories, the event queue on its own, and messages
// from other threads to a window.
#include "media_test_util.h"

#include "platform/media/events.h"

#include <gst/gst.h>

#include <QCoreApplication>

#include <atomic>
#include <thread>

using namespace media;
using namespace mediatest;
using testutil::WaitUntil;

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

// Delivers what is posted to the main thread, including what that posts in
// turn (a wake-up of the relay posts the window's message).
void DeliverPosted()
{
    for (int i = 0; i < 3; ++i) QCoreApplication::sendPostedEvents();
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
    DeliverPosted();
    EXPECT_EQ(form.notifications, 1);
    EXPECT_EQ(queue->Announcements(), 1u);
    EXPECT_EQ(queue->Size(), 52u);

    GraphEvent e;
    ASSERT_TRUE(queue->Take(&e, 0));
    EXPECT_EQ(e.code, EC_PAUSED);
    queue->Push(EC_COMPLETE, 0, 0);   // the window has looked: a new message
    ASSERT_TRUE(WaitUntil([&] { return form.notifications == 2; }));
    DeliverPosted();
    EXPECT_EQ(form.notifications, 2);

    // Waiting with a time-out picks up an event pushed meanwhile.
    while (queue->Take(&e, 0)) {}
    std::atomic<bool> taking{false};
    std::thread late([&] {
        while (!taking) std::this_thread::yield();
        queue->Push(EC_USERABORT, 7, 8);
    });
    taking = true;
    ASSERT_TRUE(queue->Take(&e, 10000));
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
    std::atomic<int> pushed{0}, taken{0};
    std::thread pusher([&] {
        GraphEvent e;
        while (!stop) {
            queue->Push(EC_PAUSED, 0, 0);
            ++pushed;
            taken += queue->Take(&e, 0);
        }
    });
    // The window is told while it lives ...
    ASSERT_TRUE(WaitUntil([&] { return form->notifications >= 3; }));
    form.reset();
    const quint64 whileAlive = queue->Announcements();
    // ... and never once it has gone, however much is pushed meanwhile.
    const int before = pushed;
    ASSERT_TRUE(WaitUntil([&] {
        DeliverPosted();
        return pushed > before + 1000;
    }));
    stop = true;
    pusher.join();
    DeliverPosted();
    EXPECT_EQ(queue->Announcements(), whileAlive);
    // Each event was taken once and none is left.
    EXPECT_EQ(taken.load(), pushed.load());
    EXPECT_EQ(queue->Size(), 0u);
}

// Other threads only post to a window. A send from a streaming thread is
// refused: had it waited for the main thread, the main thread's stop of the
// pipeline (which waits for that streaming thread) would never return.
TEST(WindowMessages, StreamingThreadsPostAndTheirSendsAreRefused)
{
    RecordingForm form;
    struct Calls {
        RecordingForm* form;
        std::atomic<int> sends{0};
        std::atomic<int> nonZero{0};
    } calls{&form};
    GstElement* pipeline = gst_parse_launch("audiotestsrc is-live=true ! fakesink name=sink sync=true", nullptr);
    ASSERT_TRUE(pipeline);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    GstPad* pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer data) {
            auto* c = static_cast<Calls*>(data);
            if (c->form->SendMessage(WM_GRAPHNOTIFY, 0, 0) != 0) ++c->nonZero;
            if (++c->sends == 1) c->form->PostMessage(WM_GRAPHNOTIFY, 0, 0);
            return GST_PAD_PROBE_OK;
        },
        &calls, nullptr);
    gst_object_unref(pad);
    gst_object_unref(sink);
    ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    ASSERT_TRUE(WaitUntil([&] { return calls.sends >= 5; }));
    // Stopped while a send may be under way on the streaming thread.
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    DeliverPosted();
    EXPECT_EQ(calls.nonZero.load(), 0);
    EXPECT_EQ(form.notifications, 1) << "only the posted message arrives";
}

}  // namespace

/* A GStreamer tracer that tells when the first buffer reaches a video sink.
 * Loaded into another program's process (GST_PLUGIN_PATH, GST_TRACERS=
 * zofirstframe), it writes one line to standard error:
 *   zo-first-frame <monotonic time of the frame> <monotonic time of gst_init>
 * both in microseconds of g_get_monotonic_time(), which every process on the
 * machine shares. */
#define PACKAGE "zoravel"

#include <gst/gst.h>
#include <gst/base/gstbasesink.h>

#include <stdio.h>

typedef struct {
    GstTracer parent;
    gint64 started;
    gint reported;
} ZoFirstFrame;

typedef struct {
    GstTracerClass parent_class;
} ZoFirstFrameClass;

static GType zo_first_frame_get_type(void);
G_DEFINE_TYPE(ZoFirstFrame, zo_first_frame, GST_TYPE_TRACER)

/* The pad that really receives what `pad` pushes, through ghost pads. */
static GstPad* receiving_pad(GstPad* pad)
{
    GstPad* peer = gst_pad_get_peer(pad);
    while (peer && GST_IS_GHOST_PAD(peer)) {
        GstPad* target = gst_ghost_pad_get_target(GST_GHOST_PAD(peer));
        gst_object_unref(peer);
        peer = target;
    }
    return peer;
}

static gboolean is_video_sink_pad(GstPad* pad)
{
    gboolean video = FALSE;
    GstElement* element = gst_pad_get_parent_element(pad);
    if (element && GST_IS_BASE_SINK(element) && GST_OBJECT_FLAG_IS_SET(element, GST_ELEMENT_FLAG_SINK)) {
        GstCaps* caps = gst_pad_get_current_caps(pad);
        if (caps && !gst_caps_is_empty(caps))
            video = g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "video/");
        if (caps) gst_caps_unref(caps);
    }
    if (element) gst_object_unref(element);
    return video;
}

static void on_push(GObject* self, GstClockTime ts, GstPad* pad, GstBuffer* buffer)
{
    ZoFirstFrame* tracer = (ZoFirstFrame*)self;
    (void)ts;
    (void)buffer;
    if (g_atomic_int_get(&tracer->reported)) return;
    GstPad* peer = receiving_pad(pad);
    if (!peer) return;
    if (is_video_sink_pad(peer) && g_atomic_int_compare_and_exchange(&tracer->reported, 0, 1)) {
        fprintf(stderr, "zo-first-frame %" G_GINT64_FORMAT " %" G_GINT64_FORMAT "\n", g_get_monotonic_time(),
                tracer->started);
        fflush(stderr);
    }
    gst_object_unref(peer);
}

static void zo_first_frame_class_init(ZoFirstFrameClass* klass) { (void)klass; }

static void zo_first_frame_init(ZoFirstFrame* self)
{
    self->started = g_get_monotonic_time();
    self->reported = 0;
    gst_tracing_register_hook(GST_TRACER(self), "pad-push-pre", G_CALLBACK(on_push));
}

static gboolean plugin_init(GstPlugin* plugin)
{
    return gst_tracer_register(plugin, "zofirstframe", zo_first_frame_get_type());
}

/* The macro leaves the descriptor's reserved fields to zero-initialisation. */
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, zofirstframe, "First frame time of a video sink", plugin_init,
                  "1.0", "LGPL", "zoravel", "zoravel")

// What the video output's two files share: the state it shares with
// GStreamer's threads, and small helpers.
#pragma once

#include "platform/media/output.h"
#include "platform/media/renderers.h"

#include <gst/gst.h>

#include <memory>
#include <mutex>

namespace media {

struct VideoOutput::Shared {
    std::mutex mutex;
    std::shared_ptr<EventQueue> events;
    std::shared_ptr<detail::RenderStats> stats;
    GstElement* pipeline = nullptr;   // identity
    guintptr windowHandle = 0;
    bool countSinkBuffers = false;   // window and fake sinks: a frame shown is a frame in
    bool closed = false;
    bool prerolled = false;
    bool stillHeld = false;   // the scaling bin holds the still frame
    // ximagesink's scaling bin (identity) and whether the window has given
    // the frames a size yet; until it has, they keep the picture's own size.
    GstElement* scalingBin = nullptr;
    bool frameSizeSet = false;
    int videoWidth = 0;
    int videoHeight = 0;
};

namespace output_detail {

// The newest frame that passed the capture branch, with its caps; written on
// the streaming thread, read on the main thread.
struct CaptureHolder {
    std::mutex mutex;
    GstSample* sample = nullptr;   // ours
    ~CaptureHolder()
    {
        if (sample) gst_sample_unref(sample);
    }
    void Keep(GstSample* next)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (sample) gst_sample_unref(sample);
        sample = next;
    }
};

bool HasProperty(gpointer object, const char* name);
// The painted renderer's frame format, as GStreamer names it.
const char* PaintedFormat();

}  // namespace output_detail

}  // namespace media

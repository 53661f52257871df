// The bus of one pipeline, shared by the parts of the code that build it: the pipeline's
// own logic and its output stage (the video output sets its window handle
// there) each add a handler. Handlers run on the thread that posted the
// message (GStreamer's streaming threads or the caller of a state change),
// every handler sees every message, and none may wait for the main thread:
// work for the main thread is posted (EventQueue, a queued invokeMethod).
#pragma once

#include "platform/wintypes.h"

#include <gst/gst.h>

#include <functional>
#include <memory>
#include <vector>

namespace media {

class BusWatch {
public:
    using Handler = std::function<void(GstMessage*)>;

    BusWatch() = default;
    ~BusWatch() { Detach(); }
    BusWatch(const BusWatch&) = delete;
    BusWatch& operator=(const BusWatch&) = delete;

    // Takes `pipeline`'s bus with these handlers, in this order; call before
    // the pipeline leaves NULL. Messages are not kept on the bus.
    void Attach(GstElement* pipeline, std::vector<Handler> handlers);
    // Removes the handlers; call once the pipeline is in NULL (its threads
    // have stopped), before what the handlers refer to goes away.
    void Detach();

private:
    GstBus* bus_ = nullptr;   // a reference of ours
};

// The HRESULT a pipeline's error stands for: a missing file, a stream of no
// known type, a missing decoder, else E_FAIL.
HRESULT ResultOfError(const GError* error);
// Whether the message comes from the element or from inside it (any thread).
bool IsFrom(GstMessage* message, GstElement* element);

}  // namespace media

// The video output's helpers (output.cpp): the counters of the renderer, the
// frames of the painted renderer, the two kinds of picture widgets in the view
// panel, and the scaling bin in front of a sink that cannot scale.
#pragma once

#include "platform/wintypes.h"

#include <gst/gst.h>

#include <QRect>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace media::detail {

// Frames that reached the screen (window sinks: the sink's input; painted
// renderer: a paint that showed a new frame).
struct RenderStats {
    std::atomic<qint64> firstFrameUs{0};   // g_get_monotonic_time() of the first frame
    std::atomic<quint64> frames{0};
    void FrameShown()
    {
        qint64 none = 0;
        firstFrameUs.compare_exchange_strong(none, g_get_monotonic_time());
        frames.fetch_add(1);
    }
};

// The latest frame of the painted renderer. The sink's thread puts samples;
// the widget takes them on the main thread. The widget detaches itself in its
// destructor, under the mutex, before Qt drops its posted events.
class FrameStore {
public:
    ~FrameStore();
    void Put(GstSample* sample);   // takes the reference
    GstSample* Current();          // a new reference or null
    void Attach(QObject* target);
    void Detach();
    static int EventType();

private:
    std::mutex mutex_;
    GstSample* sample_ = nullptr;
    QObject* target_ = nullptr;
    bool pending_ = false;
};

// Our own renderer: covers the view panel and paints the current frame into
// the video rectangle, keeping the picture's shape; everything around the
// picture is painted black. Mouse input passes to the panel.
class VideoCanvas : public QWidget {
    Q_OBJECT
public:
    VideoCanvas(QWidget* panel, std::shared_ptr<FrameStore> frames, std::shared_ptr<RenderStats> stats);
    ~VideoCanvas() override;
    void SetVideoRect(const QRect& rect);
    // An invalid rectangle means the whole panel.
    QRect VideoRect() const { return videoRect_.isValid() ? videoRect_ : rect(); }
    quint64 FramesPainted() const { return painted_; }
    // The picture drawn mirrored left to right and/or upside down.
    void SetMirrored(bool horizontal, bool vertical);

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    std::shared_ptr<FrameStore> frames_;
    std::shared_ptr<RenderStats> stats_;
    QRect videoRect_;
    GstBuffer* lastBuffer_ = nullptr;   // identity only, never dereferenced
    quint64 painted_ = 0;
    bool mirrorH_ = false;
    bool mirrorV_ = false;
};

// Frames for a window sink that cannot scale (ximagesink draws each frame
// centred at its own size): a bin that scales them in front of the sink to
// the size of its window, with black borders that keep the picture's shape.
// The sink asks upstream for frames of its window's size by itself, but only
// when it notices a new size, and only frames that come later get it; a still
// picture has sent its single frame by then. So the bin also holds a still
// frame (imagefreeze) and sends it again, scaled anew, after a flushing seek.
//   bin: ghost "sink" -> videoscale -> capsfilter (size) -> sink
//   still: ghost "sink" -> imagefreeze -> capsfilter (one frame) -> videoscale ...
// `sink` goes into the bin as by gst_bin_add; returns the bin (not floating),
// or null when an element is missing.
GstElement* MakeScalingSinkBin(GstElement* sink);
// The frame size the sink gets (device pixels), taken from the next frame
// into the bin on. False when the size is empty or the one asked for last.
bool SetScaledFrameSize(GstElement* bin, int width, int height);
// Routes the frames through the still-frame holder; call before data flows
// (the item's type is known before its decoders are linked). False when the
// bin has no holder.
bool HoldStillFrames(GstElement* bin);
// Keeps the last frame that enters `element` through its "sink" pad, so that
// RepeatLastFrame can send it in again (the colour stage, whose new values
// must reach a picture that has stopped moving).
void KeepLastFrameOf(GstElement* element);
// The frame kept for `element` with its format; a new reference or null.
GstSample* LastFrameOf(GstElement* element);
// Sends the last frame that came into the bin again, scaled to the size set
// now, for a stream that has stopped sending frames by itself (a disc's
// still menu) and must not be seeked. The push is made on another thread.
// Also for an element given to KeepLastFrameOf.
void RepeatLastFrame(GstElement* bin);

// A native child window of the view panel at the video rectangle, for sinks
// that draw into a window of their own (GstVideoOverlay). Qt never paints it.
class OverlayWindow : public QWidget {
    Q_OBJECT
public:
    explicit OverlayWindow(QWidget* panel);
    ~OverlayWindow() override;
    QPaintEngine* paintEngine() const override { return nullptr; }
    // Called after a resize or an expose, and when the window goes away.
    std::function<void()> onExpose;
    std::function<void()> onGone;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
};

}  // namespace media::detail

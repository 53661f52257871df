// The output stage of a playback pipeline, for every pipeline that shows a
// picture or plays sound: playbin's file graph, the DVD layer, the CD player,
// the RealMedia control. A builder makes the outputs, puts their elements into
// its pipeline, adds their bus handlers to the pipeline's BusWatch, and keeps
// the outputs until the pipeline is in NULL.
//
//   video: [Filter(): videoconvert ! videobalance ! gamma (! videoflip)] ! Sink()
//          with a capture branch, the frame at the sink's input is kept for
//          the capture window
//   audio: [Filter(): audioconvert ! audiopanorama] ! Sink()
//
// playbin takes them as video-filter / video-sink and audio-filter /
// audio-sink; a pipeline of its own links filter to sink.
//
// Main thread, unless a function says otherwise. Elements returned by Sink()
// and Filter() stay owned by the output (the pipeline takes references of
// its own); they are identities for the caller.
#pragma once

#include "platform/media/bus.h"
#include "platform/media/events.h"
#include "platform/media/graph.h"

#include <gst/gst.h>

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <vector>

namespace media {

namespace output_detail {
struct CaptureHolder;
}
namespace detail {
class FrameStore;
class OverlayWindow;
class VideoCanvas;
struct RenderStats;
}  // namespace detail

// The picture's format as its caps tell it.
struct VideoFormat {
    int width = 0;
    int height = 0;
    int parN = 1;   // pixel aspect, 1:1 when the caps do not say
    int parD = 1;
    int fpsN = 0;   // frame rate, 0 when unknown
    int fpsD = 1;
};
// False without caps or without a width and height.
bool ReadVideoFormat(const GstCaps* caps, VideoFormat* format);

// Brings a sink to READY, which opens its device or display. A sink that
// cannot is set back to NULL. For tests, ZORAVEL_BROKEN_SINKS (factory names,
// comma-separated) names sinks that are taken as failing to open, as a sink
// without its device does.
bool OpenSink(GstElement* sink);

// A fresh element of the factory with its floating reference sunk, or null.
GstElement* MakeOwnedElement(const char* factory);

// What the window has set for the picture; it outlives any one pipeline.
struct VideoSettings {
    QRect rect;              // in the panel's coordinates; invalid: the whole panel
    bool visible = true;
    ColorValues colors;
    bool flipH = false;
    bool flipV = false;
    // The painted renderer's output rectangle: drawn mirrored or upside down.
    bool mirrorH = false;
    bool mirrorV = false;
};

class VideoOutput {
public:
    enum class Kind {
        Painted,   // appsink; our canvas paints the frames in the panel
        Window,    // a window sink drawing into a native child of the panel
        Fake,      // no panel (or ZORAVEL_VIDEO_SINK): a sink that keeps time
    };

    struct Options {
        int renderer = 0;               // the `Renderer` value
        QWidget* panel = nullptr;       // null: Kind::Fake
        bool flipAllowed = false;       // a videoflip in the filter
        bool paintedOnly = false;       // a window sink already failed in this pipeline
        VideoSettings settings;         // applied at once
        std::shared_ptr<EventQueue> events;   // gets EC_VIDEO_SIZE_CHANGED; may be null
        // A paused picture is drawn again with new colours or flip by a
        // flushing seek to where it stands; off for a pipeline whose source
        // must not be seeked for it (a disc's navigation).
        bool redrawBySeek = true;
        // A capture branch: the newest frame at the sink's input is kept for
        // picture capture, read without pausing the picture.
        bool captureBranch = false;
    };

    // Picks the sink: the renderer value's sinks from one table, best first,
    // each made and opened (READY) in turn; window sinks only on an X
    // display. Every list ends at the painted renderer. Null only when not
    // even appsink can be made.
    static std::unique_ptr<VideoOutput> Create(const Options& options);
    // The factories the table lists for a renderer value, best first,
    // before the painted renderer that ends every list.
    static QStringList WindowSinksFor(int renderer);

    // The pipeline must be in NULL by now.
    ~VideoOutput();
    VideoOutput(const VideoOutput&) = delete;
    VideoOutput& operator=(const VideoOutput&) = delete;

    GstElement* Sink() const { return sink_; }
    GstElement* Filter() const { return filter_; }   // null when an element is missing
    Kind GetKind() const { return kind_; }
    QString SinkFactory() const;   // "appsink", "xvimagesink" ...

    // The pipeline the output is part of (identity): a held still picture is
    // drawn again by a seek on it, and it is stopped when the panel goes
    // away under a window sink. Set it before the pipeline leaves NULL.
    void SetPipeline(GstElement* pipeline);
    // For the pipeline's BusWatch: gives a window sink its window
    // (prepare-window-handle) and notes the preroll. Runs on any thread.
    BusWatch::Handler BusHandler() const;
    // Stops the output from reporting events, giving out its window and
    // drawing; call before the pipeline is taken down.
    void Detach();

    // Any thread: whether a message comes from the sink.
    bool IsFrom(GstMessage* message) const { return IsFrom(message, sink_); }
    // Whether the sink's input is linked and has its format.
    bool IsConnected() const;
    // The format entering the output (the decoded picture).
    bool CurrentFormat(VideoFormat* format) const;
    // The decoded picture comes as fields (its caps' interlace mode is not
    // progressive); false before the format is known.
    bool IsInterlaced() const;
    // The panel went away under a window sink; the pipeline was stopped.
    bool WindowGone() const { return windowGone_; }
    // Sends a still picture again, scaled anew, whenever the window changes
    // size (only a sink that cannot scale needs it). Any thread; call before
    // the picture's data flows. False when the output has no holder.
    bool HoldStillFrames();

    // ---- what the window sets ----
    void SetRect(const QRect& rect);
    void SetVisible(bool visible);
    bool HasWidget() const;   // a canvas or window shows the picture in the panel
    // New colours and flip show at once, also on a paused or still picture.
    void SetColors(const ColorValues& values);
    bool HasColorControls() const { return balance_ != nullptr; }
    void SetFlip(bool horizontal, bool vertical);
    bool CanFlip() const { return flip_ != nullptr; }
    // Only the painted renderer draws mirrored; false for the others.
    bool SetMirrored(bool horizontal, bool vertical);
    // The display changed: draw again.
    void DisplayModeChanged();

    // ---- what was shown ----
    // A copy of the picture now shown; null without one.
    QImage CurrentImage() const;
    // The same picture at its own size, for a sink that is given frames of
    // its window's size (ximagesink) as it was before it was scaled.
    QImage PictureImage() const;
    // The capture branch: whether there is one, whether its input is linked
    // and has its format, and a copy of the last frame it got (null without).
    bool HasCaptureBranch() const { return captureFrames_ != nullptr; }
    bool CaptureBranchConnected() const;
    QImage CaptureBranchImage() const;
    // g_get_monotonic_time() of the first shown frame (microseconds, 0 until
    // then) and the frames shown since the output was made. Any thread.
    qint64 FirstFrameTime() const;
    quint64 FramesShown() const;

private:
    struct Shared;
    VideoOutput();
    static bool IsFrom(GstMessage* message, GstElement* element) { return media::IsFrom(message, element); }
    bool MakeWindowSink(const char* factory);
    bool MakePaintedSink();
    bool MakeFakeSink(const QString& factory);
    bool MakeFilter(bool flipAllowed);
    void AddCaptureBranch();
    void WatchSinkPad();
    static GstPadProbeReturn OnSinkPad(GstPad* pad, GstPadProbeInfo* info, gpointer data);
    void ApplyRect();
    void ApplyScaledFrameSize();
    void RedrawHeldStill();
    void RedrawThroughFilter();
    void RedrawPausedBeside();
    void ExposeOverlay(bool renewSize = false);
    void WindowGoneAway();

    Kind kind_ = Kind::Fake;
    QPointer<QWidget> panel_;
    VideoSettings settings_;
    GstElement* pipeline_ = nullptr;    // identity
    GstElement* sink_ = nullptr;        // ours
    GstElement* filter_ = nullptr;      // ours
    GstElement* balance_ = nullptr;     // ours, inside the filter
    GstElement* gamma_ = nullptr;       // ours, inside the filter
    GstElement* flip_ = nullptr;        // ours, inside the filter
    std::shared_ptr<output_detail::CaptureHolder> captureFrames_;   // the capture branch's newest frame
    GstElement* overlayElement_ = nullptr;   // ours: the element that draws into the window
    GstElement* scalingBin_ = nullptr;  // the sink itself when it is one (identity)
    QSize scaledFrameSize_;
    bool redrawQueued_ = false;
    bool redrawBySeek_ = true;
    bool windowGone_ = false;
    std::shared_ptr<Shared> shared_;
    std::shared_ptr<detail::RenderStats> stats_;
    std::shared_ptr<detail::FrameStore> frames_;
    QPointer<detail::VideoCanvas> canvas_;
    QPointer<detail::OverlayWindow> overlay_;
    QObject context_;   // queued work dies with the output
};

// An audio output device found by the device monitor; the reference is ours.
struct DeviceUnref {
    void operator()(GstDevice* device) const { gst_object_unref(device); }
};
using DeviceRef = std::unique_ptr<GstDevice, DeviceUnref>;

// An audio output device as the device monitor lists it: the device, the
// name it is shown under and the factory of the sink it makes.
struct AudioSinkDevice {
    DeviceRef device;
    QString name;
    QString factory;
};

// Every audio output device (class "Audio/Sink") the device monitor finds
// now, in its order; one whose sink cannot be made is left out. Blocks while
// the providers probe.
std::vector<AudioSinkDevice> AudioSinkDevices();

// The audio output device (class "Audio/Sink") shown under `displayName`
// whose sink is of the factory `factoryName`, as the device monitor finds
// them now; null when there is none. Blocks while the providers probe.
DeviceRef FindAudioSinkDevice(const QString& displayName, const QString& factoryName);

// The audiopanorama value (-1 .. 1, simple method) of a balance in
// hundredths of a decibel (see AudioOutput::SetBalance).
double PanoramaOfBalance(long balance);

// The sound sink the environment names (ZORAVEL_AUDIO_SINK, a factory name,
// or one with its settings such as "filesink location=PATH" for the start-up
// benchmark), empty when it names none.
QString AudioSinkFromEnvironment();

class AudioOutput {
public:
    // The chosen sink: made for `device` when there is one, else by factory
    // name (empty: the automatic one); ZORAVEL_AUDIO_SINK overrides both. A
    // sink that cannot open its device gives way to the automatic one, and
    // without any sound device (or with `silent`, after a sink failed in the
    // pipeline) the sound goes to a sink that only keeps time (fakesink,
    // sync): missing sound never stops playback. Null only when not even that
    // sink can be made. `device` is only read.
    static std::unique_ptr<AudioOutput> Create(const QString& factoryName, GstDevice* device = nullptr,
                                               bool silent = false);
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    GstElement* Sink() const { return sink_; }
    GstElement* Filter() const { return filter_; }   // null when an element is missing
    // The sound goes nowhere because no sound device opened.
    bool IsSilent() const { return silent_; }
    // Any thread: whether a message comes from the sink.
    bool IsFrom(GstMessage* message) const { return media::IsFrom(message, sink_); }
    // -10000 .. 10000: the attenuation in hundredths of a decibel of the
    // other side (positive lowers the left; 10000 silences it, -10000 the right).
    void SetBalance(long balance);

private:
    AudioOutput() = default;
    GstElement* sink_ = nullptr;       // ours
    GstElement* filter_ = nullptr;     // ours
    GstElement* panorama_ = nullptr;   // ours, inside the filter
    bool silent_ = true;
};

// After a build failed: the lesser outputs to try in the next build. A sink
// that could not open is never the reason an item cannot play: the picture
// goes to the painted renderer, the sound nowhere.
struct OutputFallback {
    bool paintedOnly = false;
    bool silent = false;
    // True when one of the outputs caused the failure and a lesser choice
    // is left (and takes it).
    bool StepDown(bool failedInVideoSink, const VideoOutput* video, bool failedInAudioSink, const AudioOutput* audio);
};

}  // namespace media

// Still pictures from a playing graph for the capture window: which capture
// method a renderer calls for, and the grab itself. Every method reads the
// frame the video sink got last (its last sample, or the painted renderer's
// own frame), checked against its caps before a pixel is read. Main thread.
#pragma once

#include "platform/wintypes.h"

#include <QImage>

#include <memory>

class QWidget;
typedef struct _GstElement GstElement;

namespace media {

class FilterGraph;

// Capture methods, as the `CaptureMethod` setting numbers them.
enum CaptureMethodKind : int {
    kCaptureRenderer = 1,      // the renderer's current image: paused while it is read
    kCaptureGrabber = 2,       // the grabber branch's last sample
    kCaptureWindowless7 = 3,   // the `Renderer` 2 sink's last sample
    kCaptureWindowless9 = 4,   // the painted renderer's (`Renderer` 3) frame
};

// The method for a `CaptureMethod` value: 1 to 4 as set; 0 (automatic)
// takes 3 while the `Renderer` 2 sink draws, 4 while the painted renderer
// of `Renderer` 3 does, else 1.
int ChooseCaptureMethod(DWORD setting, int renderer);

// A copy of the frame now shown as QImage::Format_BGR888, rows top-down.
// The renderer method pauses the graph while it reads and runs it again when
// `playing`. E_FAIL when the graph shows no picture; E_INVALIDARG for an
// unknown method.
HRESULT GrabPicture(FilterGraph& graph, int method, bool playing, QImage* picture);

// A frame as a BGR888 copy; null for a null frame.
QImage AsCapturedPicture(const QImage& frame);

class VideoOutput;

// The capture window's hidden second graph: a black 320 x 240 picture drawn
// into a hidden sink on the view panel while the RealMedia player opens a
// clip. Nothing is written to disk. Runs until destroyed.
class PlaceholderGraph {
public:
    // Null when the pipeline cannot be made or started.
    static std::unique_ptr<PlaceholderGraph> Start(QWidget* panel);
    ~PlaceholderGraph();
    PlaceholderGraph(const PlaceholderGraph&) = delete;
    PlaceholderGraph& operator=(const PlaceholderGraph&) = delete;

private:
    PlaceholderGraph() = default;
    GstElement* pipeline_ = nullptr;   // ours
    std::unique_ptr<VideoOutput> video_;
};

}  // namespace media

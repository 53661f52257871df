#include "platform/media/capture.h"

#include "platform/media/graph.h"
#include "platform/media/output.h"

#include <gst/gst.h>

namespace media {

int ChooseCaptureMethod(DWORD setting, int renderer)
{
    if (setting >= 1 && setting <= 4) return int(setting);
    if (renderer == 2) return kCaptureWindowless7;
    if (renderer == 3) return kCaptureWindowless9;
    return kCaptureRenderer;
}

QImage AsCapturedPicture(const QImage& frame)
{
    if (frame.isNull()) return {};
    return frame.convertToFormat(QImage::Format_BGR888);
}

HRESULT GrabPicture(FilterGraph& graph, int method, bool playing, QImage* picture)
{
    if (!picture) return E_POINTER;
    *picture = QImage();
    if (method < kCaptureRenderer || method > kCaptureWindowless9) return E_INVALIDARG;
    if (!graph.HasVideo()) return E_FAIL;
    if (method == kCaptureRenderer) {
        // The picture must not move on while it is read. A graph at rest
        // is left alone: a pause request would redraw it by a seek.
        if (graph.State() == GraphState::Running) {
            HRESULT hr = graph.Pause();
            if (SUCCEEDED(hr)) hr = graph.WaitForState(20);
            if (FAILED(hr)) {
                if (playing) graph.Run();
                return hr;
            }
        }
        *picture = AsCapturedPicture(graph.PictureImage());
        if (playing) graph.Run();
    } else if (method == kCaptureGrabber && graph.HasCaptureBranch()) {
        // The branch's frame, read without stopping the picture; a branch
        // that never got its format has nothing to give.
        if (!graph.CaptureBranchConnected()) return E_FAIL;
        *picture = AsCapturedPicture(graph.CaptureBranchImage());
    } else {
        *picture = AsCapturedPicture(graph.PictureImage());
    }
    return picture->isNull() ? E_FAIL : S_OK;
}

std::unique_ptr<PlaceholderGraph> PlaceholderGraph::Start(QWidget* panel)
{
    std::unique_ptr<PlaceholderGraph> graph(new PlaceholderGraph);
    VideoOutput::Options options;
    options.renderer = 3;
    options.panel = panel;
    options.settings.visible = false;
    graph->video_ = VideoOutput::Create(options);
    if (!graph->video_) return nullptr;
    graph->pipeline_ = gst_pipeline_new("placeholder");
    gst_object_ref_sink(graph->pipeline_);
    GstElement* source = gst_element_factory_make("videotestsrc", nullptr);
    GstElement* size = gst_element_factory_make("capsfilter", nullptr);
    if (!source || !size) {
        if (source) gst_object_unref(source);
        if (size) gst_object_unref(size);
        return nullptr;
    }
    g_object_set(source, "pattern", 2 /* black */, nullptr);
    g_autoptr(GstCaps) caps = gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, 320, "height", G_TYPE_INT, 240,
                                                  nullptr);
    g_object_set(size, "caps", caps, nullptr);
    GstElement* filter = graph->video_->Filter();
    GstElement* sink = graph->video_->Sink();
    gst_bin_add_many(GST_BIN(graph->pipeline_), source, size, sink, nullptr);
    bool linked = gst_element_link(source, size);
    if (filter) {
        gst_bin_add(GST_BIN(graph->pipeline_), filter);
        linked = linked && gst_element_link(size, filter) && gst_element_link(filter, sink);
    } else {
        linked = linked && gst_element_link(size, sink);
    }
    graph->video_->SetPipeline(graph->pipeline_);
    if (!linked || gst_element_set_state(graph->pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) return nullptr;
    return graph;
}

PlaceholderGraph::~PlaceholderGraph()
{
    if (video_) video_->Detach();
    if (pipeline_) {
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(pipeline_);
    }
}

}  // namespace media

#include "platform/media/graph_internal.h"

#include <gst/video/video.h>

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QResizeEvent>

namespace media::detail {

// ---- FrameStore ----

FrameStore::~FrameStore()
{
    if (sample_) gst_sample_unref(sample_);
}

int FrameStore::EventType()
{
    static const int type = QEvent::registerEventType();
    return type;
}

void FrameStore::Put(GstSample* sample)
{
    GstSample* old = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        old = sample_;
        sample_ = sample;
        if (target_ && !pending_) {
            pending_ = true;
            QCoreApplication::postEvent(target_, new QEvent(static_cast<QEvent::Type>(EventType())));
        }
    }
    if (old) gst_sample_unref(old);
}

GstSample* FrameStore::Current()
{
    std::lock_guard<std::mutex> lock(mutex_);
    pending_ = false;
    return sample_ ? gst_sample_ref(sample_) : nullptr;
}

void FrameStore::Attach(QObject* target)
{
    std::lock_guard<std::mutex> lock(mutex_);
    target_ = target;
    pending_ = false;
}

void FrameStore::Detach()
{
    std::lock_guard<std::mutex> lock(mutex_);
    target_ = nullptr;
}

// ---- VideoCanvas ----

VideoCanvas::VideoCanvas(QWidget* panel, std::shared_ptr<FrameStore> frames, std::shared_ptr<RenderStats> stats)
    : QWidget(panel), frames_(std::move(frames)), stats_(std::move(stats))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(panel->rect());
    panel->installEventFilter(this);
    lower();
    frames_->Attach(this);
}

VideoCanvas::~VideoCanvas()
{
    frames_->Detach();
}

void VideoCanvas::SetVideoRect(const QRect& rect)
{
    if (rect == videoRect_) return;
    videoRect_ = rect;
    update();
}

bool VideoCanvas::event(QEvent* e)
{
    if (e->type() == FrameStore::EventType()) {
        // Paint at once: the frame is due now, and a frame that waits for the
        // next idle pass of the event loop is shown late.
        repaint(VideoRect());
        return true;
    }
    return QWidget::event(e);
}

bool VideoCanvas::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == parent() && e->type() == QEvent::Resize) {
        setGeometry(static_cast<QResizeEvent*>(e)->size().isValid()
                        ? QRect(QPoint(0, 0), static_cast<QResizeEvent*>(e)->size())
                        : parentWidget()->rect());
    }
    return false;
}

namespace {

// The largest rectangle of the picture's shape inside the video rectangle,
// centred (the rest of the video rectangle is border).
QRect Letterboxed(const QRect& area, int width, int height, int parN, int parD)
{
    if (width <= 0 || height <= 0 || parN <= 0 || parD <= 0 || area.isEmpty()) return area;
    const double shape = static_cast<double>(width) * parN / (static_cast<double>(height) * parD);
    int w = area.width();
    int h = qRound(w / shape);
    if (h > area.height()) {
        h = area.height();
        w = qRound(h * shape);
    }
    return QRect(area.x() + (area.width() - w) / 2, area.y() + (area.height() - h) / 2, w, h);
}

}  // namespace

void VideoCanvas::paintEvent(QPaintEvent* e)
{
    QPainter painter(this);
    const QRect area = VideoRect();
    GstSample* sample = e->rect().intersects(area) ? frames_->Current() : nullptr;
    GstVideoInfo info;
    GstVideoFrame frame;
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample) : nullptr;
    const bool mapped = buffer && gst_video_info_from_caps(&info, gst_sample_get_caps(sample))
                        && gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ);
    const QRect picture =
        mapped ? Letterboxed(area, GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info),
                             GST_VIDEO_INFO_PAR_N(&info), GST_VIDEO_INFO_PAR_D(&info))
               : QRect();
    const QRegion borders = QRegion(e->rect()).subtracted(QRegion(picture));
    for (const QRect& r : borders) painter.fillRect(r, Qt::black);
    if (mapped) {
        const QImage image(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                           GST_VIDEO_FRAME_WIDTH(&frame), GST_VIDEO_FRAME_HEIGHT(&frame),
                           GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGB32);
        if (image.size() != picture.size()) painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(picture, image);
        gst_video_frame_unmap(&frame);
        if (buffer != lastBuffer_) {
            lastBuffer_ = buffer;
            ++painted_;
            stats_->FrameShown();
        }
    }
    if (sample) gst_sample_unref(sample);
}

// ---- OverlayWindow ----

OverlayWindow::OverlayWindow(QWidget* panel) : QWidget(panel)
{
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(panel->rect());
    lower();
}

OverlayWindow::~OverlayWindow()
{
    if (onGone) onGone();
}

void OverlayWindow::paintEvent(QPaintEvent*)
{
    if (onExpose) onExpose();
}

void OverlayWindow::resizeEvent(QResizeEvent*)
{
    if (onExpose) onExpose();
}

void OverlayWindow::showEvent(QShowEvent*)
{
    if (onExpose) onExpose();
}

}  // namespace media::detail

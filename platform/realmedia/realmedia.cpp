// The RealMedia control over playbin.
#include "platform/realmedia/realmedia.h"

#include "platform/media/bus.h"
#include "platform/media/graph.h"
#include "platform/media/output.h"

#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace realmedia {
namespace {

// playbin's flags.
constexpr guint kPlayVideo = 1 << 0;
constexpr guint kPlayAudio = 1 << 1;
constexpr guint kPlayText = 1 << 2;
constexpr guint kPlaySoftVolume = 1 << 4;

// How long a source may take to open: a file opens at once or never, a
// stream waits for its server.
constexpr int kFileOpenTimeoutMs = 10000;
constexpr int kStreamOpenTimeoutMs = 30000;

// Any scheme, one letter too.
bool IsAddress(const QString& source) { return media::IsAddress(source, 1); }

// A path becomes a file URI whatever characters it holds ("#", "%", "?",
// blanks, non-ASCII); an address is taken as it stands.
QString UriOf(const QString& source)
{
    if (IsAddress(source)) return source;
    return QUrl::fromLocalFile(QFileInfo(source).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

QString TitleOf(const GstTagList* tags)
{
    if (!tags) return {};
    gchar* title = nullptr;
    if (!gst_tag_list_get_string(tags, GST_TAG_TITLE, &title)) return {};
    QString text = QString::fromUtf8(title);
    g_free(title);
    return text;
}

}  // namespace

struct TRealAudio::Pipeline {
    GstElement* playbin = nullptr;   // ours
    std::unique_ptr<media::VideoOutput> video;
    std::unique_ptr<media::AudioOutput> audio;
    media::BusWatch bus;
};

TRealAudio::TRealAudio(QWidget* owner, QWidget* parent) : QWidget(parent)
{
    Q_UNUSED(owner);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    hide();
}

TRealAudio::~TRealAudio() { Teardown(); }

void TRealAudio::Teardown()
{
    ++generation_;
    if (!pipeline_) return;
    if (pipeline_->video) pipeline_->video->Detach();
    if (pipeline_->playbin) {
        gst_element_set_state(pipeline_->playbin, GST_STATE_NULL);
        pipeline_->bus.Detach();
        gst_object_unref(pipeline_->playbin);
        pipeline_->playbin = nullptr;
    }
    pipeline_.reset();
}

bool TRealAudio::SetSource(const QString& source)
{
    Teardown();
    source_ = source;
    state_ = kStateStopped;
    opened_ = live_ = seekable_ = ended_ = failed_ = stopRequested_ = seekInFlight_ = false;
    pendingSeek_ = -1;
    seekTarget_ = 0;
    length_ = width_ = height_ = 0;
    title_.clear();
    if (!gst_init_check(nullptr, nullptr, nullptr)) return false;

    auto p = std::make_unique<Pipeline>();
    p->playbin = media::MakeOwnedElement("playbin");
    if (!p->playbin) return false;
    g_object_set(p->playbin, "uri", UriOf(source).toUtf8().constData(), nullptr);
    guint flags = 0;
    g_object_get(p->playbin, "flags", &flags, nullptr);
    flags &= ~kPlayText;
    flags |= kPlayAudio | kPlayVideo | kPlaySoftVolume;
    g_object_set(p->playbin, "flags", flags, nullptr);

    media::VideoOutput::Options options;
    options.renderer = renderer_;
    options.panel = this;
    p->video = media::VideoOutput::Create(options);
    if (p->video) {
        p->video->SetRect(rect());
        p->video->SetPipeline(p->playbin);
        g_object_set(p->playbin, "video-sink", p->video->Sink(), nullptr);
        if (p->video->Filter()) g_object_set(p->playbin, "video-filter", p->video->Filter(), nullptr);
    }
    p->audio = media::AudioOutput::Create(QString());
    if (p->audio) {
        g_object_set(p->playbin, "audio-sink", p->audio->Sink(), nullptr);
        if (p->audio->Filter()) g_object_set(p->playbin, "audio-filter", p->audio->Filter(), nullptr);
    }

    // Every message that matters is handled on the main thread; those of an
    // older pipeline are dropped there.
    std::vector<media::BusWatch::Handler> handlers;
    if (p->video) handlers.push_back(p->video->BusHandler());
    const quint64 generation = generation_;
    GstElement* playbin = p->playbin;
    handlers.push_back([this, generation, playbin](GstMessage* message) {
        switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_STATE_CHANGED:
            if (GST_MESSAGE_SRC(message) != GST_OBJECT(playbin)) return;
            break;
        case GST_MESSAGE_ERROR:
        case GST_MESSAGE_EOS:
        case GST_MESSAGE_ASYNC_DONE:
        case GST_MESSAGE_TAG:
            break;
        default:
            return;
        }
        std::shared_ptr<GstMessage> held(gst_message_ref(message), gst_message_unref);
        QMetaObject::invokeMethod(
            this,
            [this, generation, held] {
                if (generation == generation_) OnMessage(held.get());
            },
            Qt::QueuedConnection);
    });
    p->bus.Attach(p->playbin, std::move(handlers));
    pipeline_ = std::move(p);

    // A source that never prerolls (a damaged file the demuxer keeps
    // waiting on, a server that does not answer) fails after a while.
    const int timeout = openTimeoutMs_ > 0 ? openTimeoutMs_
                        : IsAddress(source)  ? kStreamOpenTimeoutMs
                                             : kFileOpenTimeoutMs;
    QTimer::singleShot(timeout, this, [this, generation] {
        if (generation == generation_ && !opened_) Fail(VFW_E_TIMEOUT);
    });
    const GstStateChangeReturn change = gst_element_set_state(pipeline_->playbin, GST_STATE_PLAYING);
    if (change == GST_STATE_CHANGE_NO_PREROLL) live_ = true;
    if (change == GST_STATE_CHANGE_FAILURE) {
        // The bus usually tells why; without an error message it is told here.
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == generation_) Fail(E_FAIL);
            },
            Qt::QueuedConnection);
    }
    return true;
}

void TRealAudio::OnMessage(GstMessage* message)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_TAG: {
        if (!title_.isEmpty()) break;
        GstTagList* tags = nullptr;
        gst_message_parse_tag(message, &tags);
        title_ = TitleOf(tags);
        gst_tag_list_unref(tags);
        break;
    }
    case GST_MESSAGE_ASYNC_DONE:
        if (!opened_ && !failed_) OnPrerolled();
        seekInFlight_ = false;
        if (pendingSeek_ >= 0 && opened_) {
            const std::int64_t target = pendingSeek_;
            pendingSeek_ = -1;
            SendSeek(target);
        }
        break;
    case GST_MESSAGE_STATE_CHANGED: {
        GstState oldState, newState, pending;
        gst_message_parse_state_changed(message, &oldState, &newState, &pending);
        if (pending != GST_STATE_VOID_PENDING || failed_) break;
        if (newState == GST_STATE_PLAYING) {
            // A live stream does not preroll: it has opened once it plays.
            if (!opened_ && live_) OnPrerolled();
            if (!ended_ && !stopRequested_) SetState(kStatePlaying);
        } else if (newState == GST_STATE_PAUSED && opened_) {
            SetState(stopRequested_ || ended_ ? kStateStopped : kStatePaused);
        }
        break;
    }
    case GST_MESSAGE_EOS:
        // The end before the clip opened: nothing of it could be played.
        if (!opened_) {
            Fail(VFW_E_UNSUPPORTED_STREAM);
            break;
        }
        if (ended_ || failed_) break;
        ended_ = true;
        SetState(kStateStopped);
        QMetaObject::invokeMethod(this, [this] { emit ClipClosed(); }, Qt::QueuedConnection);
        break;
    case GST_MESSAGE_ERROR: {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        const HRESULT hr = media::ResultOfError(error);
        g_clear_error(&error);
        Fail(hr);
        break;
    }
    default:
        break;
    }
}

void TRealAudio::Fail(HRESULT hr)
{
    if (failed_) return;
    failed_ = true;
    // Nothing of a failed source goes on: its pipeline stops at once.
    if (pipeline_) gst_element_set_state(pipeline_->playbin, GST_STATE_READY);
    const bool opened = opened_;
    SetState(kStateStopped);
    QMetaObject::invokeMethod(this, [this, hr, opened] { emit SourceError(hr, opened); }, Qt::QueuedConnection);
}

void TRealAudio::OnPrerolled()
{
    if (!pipeline_) return;
    GstElement* playbin = pipeline_->playbin;
    opened_ = true;
    gint64 duration = 0;
    if (!live_ && gst_element_query_duration(playbin, GST_FORMAT_TIME, &duration) && duration > 0)
        length_ = static_cast<int>(std::min<gint64>(duration / GST_MSECOND, INT_MAX));
    g_autoptr(GstQuery) seeking = gst_query_new_seeking(GST_FORMAT_TIME);
    if (gst_element_query(playbin, seeking)) {
        gboolean can = FALSE;
        gst_query_parse_seeking(seeking, nullptr, &can, nullptr, nullptr);
        seekable_ = can && length_ > 0;
    }
    gint videoStreams = 0;
    g_object_get(playbin, "n-video", &videoStreams, nullptr);
    media::VideoFormat format;
    if (videoStreams > 0 && pipeline_->video && pipeline_->video->CurrentFormat(&format)) {
        width_ = format.width;
        height_ = format.height;
    }
    // The stream tags, in case the bus's tag message came later.
    for (const char* signal : {"get-video-tags", "get-audio-tags"}) {
        if (!title_.isEmpty()) break;
        GstTagList* tags = nullptr;
        g_signal_emit_by_name(playbin, signal, 0, &tags);
        title_ = TitleOf(tags);
        if (tags) gst_tag_list_unref(tags);
    }
    const QString shortName = IsAddress(source_) ? source_ : QFileInfo(source_).fileName();
    const QString url = source_;
    QMetaObject::invokeMethod(this, [this, shortName, url] { emit ClipOpened(shortName, url); },
                              Qt::QueuedConnection);
}

void TRealAudio::SetState(int state)
{
    if (state == state_) return;
    const int old = state_;
    state_ = state;
    QMetaObject::invokeMethod(this, [this, old, state] { emit PlayStateChange(old, state); }, Qt::QueuedConnection);
}

void TRealAudio::DoPlay()
{
    if (!pipeline_ || failed_) return;
    stopRequested_ = false;
    if (ended_) {
        // After the end the clip starts again from its start.
        ended_ = false;
        if (seekable_) SendSeek(0);
    }
    gst_element_set_state(pipeline_->playbin, GST_STATE_PLAYING);
}

void TRealAudio::DoPause()
{
    if (!pipeline_ || failed_) return;
    gst_element_set_state(pipeline_->playbin, GST_STATE_PAUSED);
}

void TRealAudio::DoStop()
{
    if (!pipeline_ || failed_) return;
    stopRequested_ = true;
    ended_ = false;
    if (seekable_) {
        gst_element_set_state(pipeline_->playbin, GST_STATE_PAUSED);
        SendSeek(0);
    } else {
        // A stream: its connection closes; playing again opens it anew.
        gst_element_set_state(pipeline_->playbin, GST_STATE_READY);
        seekInFlight_ = false;
        pendingSeek_ = -1;
    }
    SetState(kStateStopped);
}

int TRealAudio::GetPosition() const
{
    if (!pipeline_ || !opened_) return 0;
    if (seekInFlight_ || pendingSeek_ >= 0) return static_cast<int>(pendingSeek_ >= 0 ? pendingSeek_ : seekTarget_);
    if (stopRequested_ && !seekable_) return 0;
    gint64 position = 0;
    if (!gst_element_query_position(pipeline_->playbin, GST_FORMAT_TIME, &position) || position < 0) return 0;
    std::int64_t ms = position / GST_MSECOND;
    if (length_ > 0 && ms > length_) ms = length_;
    return static_cast<int>(ms);
}

void TRealAudio::SetPosition(int milliseconds)
{
    if (!pipeline_ || failed_) return;
    std::int64_t target = std::max(0, milliseconds);
    if (length_ > 0 && target > length_) target = length_;
    // Before the clip has opened, or while a seek lands, the newest target waits.
    if (!opened_ || seekInFlight_) {
        pendingSeek_ = target;
        return;
    }
    if (!seekable_) return;
    ended_ = false;
    SendSeek(target);
}

void TRealAudio::SendSeek(std::int64_t milliseconds)
{
    if (!pipeline_) return;
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    if (gst_element_seek_simple(pipeline_->playbin, GST_FORMAT_TIME, flags, milliseconds * GST_MSECOND)) {
        seekInFlight_ = true;
        seekTarget_ = milliseconds;
        return;
    }
    // A clip without a seek index cannot seek, and the failed seek has
    // already flushed it, which leaves it standing: it starts again from its
    // beginning, in the state it was in, and is not sought again.
    seekable_ = false;
    const bool playing = state_ == kStatePlaying;
    gst_element_set_state(pipeline_->playbin, GST_STATE_READY);
    gst_element_set_state(pipeline_->playbin, playing ? GST_STATE_PLAYING : GST_STATE_PAUSED);
}

QImage TRealAudio::CurrentImage() const
{
    return pipeline_ && pipeline_->video ? pipeline_->video->CurrentImage() : QImage();
}

void TRealAudio::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (pipeline_ && pipeline_->video) pipeline_->video->SetRect(rect());
}

qint64 TRealAudio::FirstFrameTime() const
{
    return pipeline_ && pipeline_->video ? pipeline_->video->FirstFrameTime() : 0;
}

bool TRealAudio::IsSilent() const { return !pipeline_ || !pipeline_->audio || pipeline_->audio->IsSilent(); }

QString TRealAudio::VideoSinkFactory() const
{
    return pipeline_ && pipeline_->video ? pipeline_->video->SinkFactory() : QString();
}

}  // namespace realmedia

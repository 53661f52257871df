// The file graph's operations on a built pipeline: control, seeking, sound,
// picture, stream information and events.
#include "platform/media/graph.h"

#include "platform/media/graph_private.h"

#include <gst/base/gstbaseparse.h>
#include <gst/tag/tag.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace media {

// ---- the pipeline's properties ----

int GraphPrivate::IntProperty(const char* name) const
{
    gint value = 0;
    if (pipeline) g_object_get(pipeline, name, &value, nullptr);
    return value;
}

bool GraphPrivate::StillPicture() const
{
    if (!shared) return false;
    std::lock_guard<std::mutex> lock(shared->mutex);
    return shared->stillPicture;
}

// Elementary streams (MP3 without a header that tells its length, MPEG
// video) learn their duration only after many frames; until then a parser can
// still convert the stream's size to time from the frames it has seen.
gint64 GraphPrivate::EstimatedDuration() const
{
    gint64 longest = -1;
    g_autoptr(GstIterator) it = gst_bin_iterate_recurse(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        if (GST_IS_BASE_PARSE(element)) {
            g_autoptr(GstPad) sink = gst_element_get_static_pad(element, "sink");
            g_autoptr(GstPad) src = gst_element_get_static_pad(element, "src");
            gint64 bytes = -1, ns = -1;
            if (sink && src && gst_pad_peer_query_duration(sink, GST_FORMAT_BYTES, &bytes) && bytes > 0
                && gst_pad_query_convert(src, GST_FORMAT_BYTES, bytes, GST_FORMAT_TIME, &ns) && ns > longest)
                longest = ns;
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    return longest;
}

bool GraphPrivate::Seekable() const
{
    if (!pipeline || StillPicture()) return false;
    g_autoptr(GstQuery) query = gst_query_new_seeking(GST_FORMAT_TIME);
    gboolean seekable = FALSE;
    if (gst_element_query(pipeline, query)) gst_query_parse_seeking(query, nullptr, &seekable, nullptr, nullptr);
    return seekable;
}

bool GraphPrivate::CurrentVideoFormat(VideoFormat* format) const
{
    *format = VideoFormat();
    if (!pipeline) return false;
    gint current = 0;
    g_object_get(pipeline, "current-video", &current, nullptr);
    g_autoptr(GstPad) pad = nullptr;
    g_signal_emit_by_name(pipeline, "get-video-pad", std::max(current, 0), &pad);
    g_autoptr(GstCaps) caps = pad ? gst_pad_get_current_caps(pad) : nullptr;
    return ReadVideoFormat(caps, format);
}

// ---- seeks ----

HRESULT GraphPrivate::RequestSeek(const SeekPacer::Seek& seek)
{
    stepped = false;
    return seeks ? seeks->Request(seek) : VFW_E_WRONG_STATE;
}

// ---- control ----

HRESULT FilterGraph::Run()
{
    if (!d->pipeline || d->WindowGone()) return VFW_E_WRONG_STATE;
    d->target = GraphState::Running;
    d->stepped = false;
    bool buffering = false;
    {
        std::lock_guard<std::mutex> lock(d->shared->mutex);
        buffering = d->shared->bufferingPercent < 100;
    }
    // Playback starts when buffering is done; until then the pipeline is
    // paused, which lets a stream stopped before fill its buffer again.
    d->heldForBuffering = buffering && !d->live;
    if (d->heldForBuffering)
        return gst_element_set_state(d->pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE ? E_FAIL : S_OK;
    return gst_element_set_state(d->pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE ? E_FAIL : S_OK;
}

HRESULT FilterGraph::Pause()
{
    if (!d->pipeline || d->WindowGone()) return VFW_E_WRONG_STATE;
    const GraphState before = d->target;
    d->target = GraphState::Paused;
    GstState current = GST_STATE_VOID_PENDING, pending = GST_STATE_VOID_PENDING;
    gst_element_get_state(d->pipeline, &current, &pending, 0);
    if (d->seeks) d->seeks->OperationStarting();
    const GstStateChangeReturn change = gst_element_set_state(d->pipeline, GST_STATE_PAUSED);
    if (d->seeks) d->seeks->OperationMade(change == GST_STATE_CHANGE_ASYNC);
    if (change == GST_STATE_CHANGE_FAILURE) return E_FAIL;
    // From our stopped state the pipeline is already paused, and no state
    // change will announce the pause.
    if (before == GraphState::Stopped && current == GST_STATE_PAUSED && pending == GST_STATE_VOID_PENDING)
        d->events->Push(EC_PAUSED, S_OK, 0);
    return S_OK;
}

HRESULT FilterGraph::Stop()
{
    if (!d->pipeline) return VFW_E_WRONG_STATE;
    d->target = GraphState::Stopped;
    if (d->WindowGone()) return S_OK;
    // A file stays prerolled at its position (the picture stays, the
    // position is kept); a stream lets go of its connection, and a seek on
    // it will not complete.
    const bool release = d->network || d->live;
    if (release && d->seeks) d->seeks->Forget();
    // A released stream buffers anew when it plays again. Playing it at once
    // and pausing it at the first buffering message could leave it paused
    // for good: GStreamer drops the step to playing when a pause comes
    // between the end of its preroll and that step.
    if (release) {
        std::lock_guard<std::mutex> lock(d->shared->mutex);
        if (d->shared->sawBuffering) d->shared->bufferingPercent = 0;
    }
    return gst_element_set_state(d->pipeline, release ? GST_STATE_READY : GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE
               ? E_FAIL
               : S_OK;
}

GraphState FilterGraph::State() const { return d->target; }

HRESULT FilterGraph::WaitForState(long timeoutMs) const
{
    if (!d->pipeline) return VFW_E_WRONG_STATE;
    const GstStateChangeReturn change =
        gst_element_get_state(d->pipeline, nullptr, nullptr, GstClockTime(std::max(0L, timeoutMs)) * GST_MSECOND);
    if (change == GST_STATE_CHANGE_FAILURE) return E_FAIL;
    return change == GST_STATE_CHANGE_ASYNC ? VFW_S_STATE_INTERMEDIATE : S_OK;
}

// ---- seeking ----

bool FilterGraph::IsSeekable() const { return d->Seekable(); }

HRESULT FilterGraph::GetDuration(REFERENCE_TIME* duration) const
{
    if (!duration) return E_POINTER;
    *duration = 0;
    if (!d->pipeline) return VFW_E_WRONG_STATE;
    if (d->StillPicture()) return S_OK;
    gint64 ns = -1;
    if (!gst_element_query_duration(d->pipeline, GST_FORMAT_TIME, &ns) || ns < 0) ns = d->EstimatedDuration();
    if (ns < 0) return E_FAIL;
    *duration = ToReference(ns);
    return S_OK;
}

HRESULT FilterGraph::GetCurrentPosition(REFERENCE_TIME* position) const
{
    if (!position) return E_POINTER;
    *position = 0;
    if (!d->pipeline) return VFW_E_WRONG_STATE;
    gint64 targetNs = 0;
    if (d->seeks && d->seeks->PendingTarget(&targetNs)) {
        *position = ToReference(targetNs);
        return S_OK;
    }
    if (d->StillPicture()) return S_OK;
    gint64 ns = -1;
    GstElement* asked = d->stepped && d->video && d->video->Sink() ? d->video->Sink() : d->pipeline;
    if (!gst_element_query_position(asked, GST_FORMAT_TIME, &ns) || ns < 0) {
        if (asked == d->pipeline || !gst_element_query_position(d->pipeline, GST_FORMAT_TIME, &ns) || ns < 0)
            return S_OK;
    }
    *position = ToReference(ns);
    return S_OK;
}

HRESULT FilterGraph::SetPositions(REFERENCE_TIME* current, DWORD currentFlags, REFERENCE_TIME* stop, DWORD stopFlags)
{
    if (!d->pipeline) return VFW_E_WRONG_STATE;
    const DWORD currentMode = currentFlags & 0x3;
    const DWORD stopMode = stopFlags & 0x3;
    if ((currentMode != AM_SEEKING_NoPositioning && !current) || (stopMode != AM_SEEKING_NoPositioning && !stop))
        return E_POINTER;
    if (currentMode == AM_SEEKING_NoPositioning && stopMode == AM_SEEKING_NoPositioning) return S_OK;
    if (!d->Seekable()) return E_FAIL;

    REFERENCE_TIME duration = 0;
    const bool knowDuration = SUCCEEDED(GetDuration(&duration)) && duration > 0;
    auto clamp = [&](REFERENCE_TIME t) {
        t = std::max<REFERENCE_TIME>(t, 0);
        return knowDuration ? std::min(t, duration) : t;
    };

    GstSeekType stopType = GST_SEEK_TYPE_NONE;
    gint64 stopNs = -1;
    if (stopMode != AM_SEEKING_NoPositioning) {
        REFERENCE_TIME target = *stop;
        if (stopMode == AM_SEEKING_RelativePositioning)
            target += d->stopNs >= 0 ? ToReference(d->stopNs) : duration;
        stopType = GST_SEEK_TYPE_SET;
        // A stop at the media's end is no stop: the stream plays out.
        stopNs = knowDuration && clamp(target) >= duration ? -1 : ToNs(clamp(target));
    }
    if (currentMode == AM_SEEKING_NoPositioning) {
        // Only the end moves: no flush, nothing to wait for.
        if (!gst_element_seek(d->pipeline, d->rate, GST_FORMAT_TIME, GST_SEEK_FLAG_NONE, GST_SEEK_TYPE_NONE, -1,
                              stopType, stopNs))
            return E_FAIL;
        d->stopNs = stopNs;
        return S_OK;
    }

    REFERENCE_TIME target = *current;
    if (currentMode == AM_SEEKING_RelativePositioning) {
        REFERENCE_TIME now = 0;
        GetCurrentPosition(&now);
        target += now;
    }
    SeekPacer::Seek seek;
    seek.startNs = ToNs(clamp(target));
    GstSeekFlags mode = GST_SEEK_FLAG_ACCURATE;
    if (currentFlags & AM_SEEKING_SeekToKeyFrame) {
        // A key-frame seek snaps in the direction it goes: snapping to the
        // nearest key frame would, with key frames far apart, bring a skip
        // forward back to where it started, and a held fast forward would
        // never get past that key frame.
        REFERENCE_TIME now = 0;
        GetCurrentPosition(&now);
        mode = static_cast<GstSeekFlags>(GST_SEEK_FLAG_KEY_UNIT
                                         | (ToReference(seek.startNs) >= now ? GST_SEEK_FLAG_SNAP_AFTER
                                                                             : GST_SEEK_FLAG_SNAP_BEFORE));
    }
    seek.flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | mode);
    if (stopType == GST_SEEK_TYPE_NONE && d->stopNs >= 0) {
        // A seek without a stop keeps the one set before, so that a section
        // played to its stop loops from its start; a position at or past
        // that stop would end at once, and plays on to the end instead.
        stopType = GST_SEEK_TYPE_SET;
        stopNs = seek.startNs < d->stopNs ? d->stopNs : -1;
    }
    if (stopNs >= 0 && seek.startNs >= stopNs) return E_INVALIDARG;
    seek.stopType = stopType;
    seek.stopNs = stopNs;
    const HRESULT hr = d->RequestSeek(seek);
    if (SUCCEEDED(hr) && stopType == GST_SEEK_TYPE_SET) d->stopNs = stopNs;
    return hr;
}

HRESULT FilterGraph::GetStopPosition(REFERENCE_TIME* stop) const
{
    if (!stop) return E_POINTER;
    *stop = 0;
    if (!d->pipeline) return VFW_E_WRONG_STATE;
    if (d->stopNs >= 0) {
        *stop = ToReference(d->stopNs);
        return S_OK;
    }
    return GetDuration(stop);
}

quint64 FilterGraph::SeeksSent() const { return d->seeks ? d->seeks->Sent() : 0; }

bool FilterGraph::IsSettling() const { return d->seeks && d->seeks->Busy(); }

HRESULT FilterGraph::SetRate(double rate)
{
    if (!(rate > 0.0) || !std::isfinite(rate)) return E_INVALIDARG;
    if (!d->pipeline) return VFW_E_WRONG_STATE;
    if (rate == d->rate) return S_OK;
    if (!d->Seekable()) return E_FAIL;
    REFERENCE_TIME now = 0;
    GetCurrentPosition(&now);
    const double before = d->rate;
    d->rate = rate;   // a seek sent later goes at the newest rate
    SeekPacer::Seek seek;
    seek.flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    seek.startNs = ToNs(now);
    seek.stopType = d->stopNs >= 0 ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE;
    seek.stopNs = d->stopNs;
    const HRESULT hr = d->RequestSeek(seek);
    if (FAILED(hr)) d->rate = before;
    return hr;
}

HRESULT FilterGraph::GetRate(double* rate) const
{
    if (!rate) return E_POINTER;
    *rate = d->rate;
    return S_OK;
}

HRESULT FilterGraph::GetFrameRate(double* framesPerSecond) const
{
    if (!framesPerSecond) return E_POINTER;
    *framesPerSecond = 0;
    if (!d->pipeline || !HasVideo()) return E_NOTIMPL;
    VideoFormat format;
    if (!d->CurrentVideoFormat(&format) || format.fpsN <= 0) return E_NOTIMPL;
    *framesPerSecond = static_cast<double>(format.fpsN) / format.fpsD;
    return S_OK;
}

// ---- frame step ----

HRESULT FilterGraph::CanStep() const
{
    return d->pipeline && !d->WindowGone() && HasVideo() && IsVideoRendererConnected() ? S_OK : S_FALSE;
}

HRESULT FilterGraph::Step(DWORD frames)
{
    if (frames == 0) return E_INVALIDARG;
    if (CanStep() != S_OK) return VFW_E_WRONG_STATE;
    if (d->target != GraphState::Paused) {
        if (FAILED(Pause())) return E_FAIL;
        gst_element_get_state(d->pipeline, nullptr, nullptr, GST_SECOND);
    }
    // The step ends in an ASYNC_DONE of its own, which is no seek's.
    if (d->seeks) d->seeks->OperationStarting();
    const bool sent =
        gst_element_send_event(d->pipeline, gst_event_new_step(GST_FORMAT_BUFFERS, frames, 1.0, TRUE, FALSE));
    if (d->seeks) d->seeks->OperationMade(sent);
    if (sent) d->stepped = true;
    return sent ? S_OK : E_FAIL;
}

// ---- audio ----

bool FilterGraph::HasAudio() const { return d->IntProperty("n-audio") > 0; }

HRESULT FilterGraph::put_Volume(long hundredthsDb)
{
    if (hundredthsDb < -10000 || hundredthsDb > 0) return E_INVALIDARG;
    if (d->pipeline && !HasAudio()) return E_NOTIMPL;
    d->volume = hundredthsDb;
    d->ApplyVolume();
    return S_OK;
}

HRESULT FilterGraph::get_Volume(long* hundredthsDb) const
{
    if (!hundredthsDb) return E_POINTER;
    if (!d->pipeline || !HasAudio()) return E_NOTIMPL;
    *hundredthsDb = d->volume;
    return S_OK;
}

HRESULT FilterGraph::put_Balance(long balance)
{
    if (balance < -10000 || balance > 10000) return E_INVALIDARG;
    if (d->pipeline && !HasAudio()) return E_NOTIMPL;
    d->balanceValue = balance;
    d->ApplyBalance();
    return S_OK;
}

HRESULT FilterGraph::get_Balance(long* balance) const
{
    if (!balance) return E_POINTER;
    if (!d->pipeline || !HasAudio()) return E_NOTIMPL;
    *balance = d->balanceValue;
    return S_OK;
}

int FilterGraph::AudioStreamCount() const { return d->IntProperty("n-audio"); }

int FilterGraph::CurrentAudioStream() const { return d->pipeline ? d->IntProperty("current-audio") : -1; }

HRESULT FilterGraph::SelectAudioStream(int index)
{
    if (!d->pipeline) return VFW_E_WRONG_STATE;
    if (index < 0 || index >= AudioStreamCount()) return E_INVALIDARG;
    g_object_set(d->pipeline, "current-audio", index, nullptr);
    return S_OK;
}

QString FilterGraph::AudioStreamName(int index) const
{
    if (!d->pipeline || index < 0 || index >= AudioStreamCount()) return {};
    g_autoptr(GstTagList) tags = nullptr;
    g_signal_emit_by_name(d->pipeline, "get-audio-tags", index, &tags);
    if (!tags) return {};
    g_autofree gchar* text = nullptr;
    if (gst_tag_list_get_string(tags, GST_TAG_LANGUAGE_NAME, &text)) return QString::fromUtf8(text);
    if (gst_tag_list_get_string(tags, GST_TAG_LANGUAGE_CODE, &text)) {
        const gchar* language = gst_tag_get_language_name(text);
        return QString::fromUtf8(language ? language : text);
    }
    if (gst_tag_list_get_string(tags, GST_TAG_TITLE, &text)) return QString::fromUtf8(text);
    return {};
}

namespace {

QString AudioTag(GstElement* pipeline, int index, const char* tag)
{
    g_autoptr(GstTagList) tags = nullptr;
    g_signal_emit_by_name(pipeline, "get-audio-tags", index, &tags);
    g_autofree gchar* text = nullptr;
    if (!tags || !gst_tag_list_get_string(tags, tag, &text)) return {};
    return QString::fromUtf8(text);
}

}  // namespace

QString FilterGraph::AudioStreamLanguage(int index) const
{
    if (!d->pipeline || index < 0 || index >= AudioStreamCount()) return {};
    return AudioTag(d->pipeline, index, GST_TAG_LANGUAGE_CODE);
}

QString FilterGraph::AudioStreamTitle(int index) const
{
    if (!d->pipeline || index < 0 || index >= AudioStreamCount()) return {};
    return AudioTag(d->pipeline, index, GST_TAG_TITLE);
}

// ---- video ----

bool FilterGraph::HasVideo() const { return d->IntProperty("n-video") > 0; }

HRESULT FilterGraph::GetNativeVideoSize(long* width, long* height) const
{
    if (!width || !height) return E_POINTER;
    *width = *height = 0;
    if (!d->pipeline || !HasVideo()) return VFW_E_NOT_CONNECTED;
    VideoFormat format;
    if (!d->CurrentVideoFormat(&format)) return VFW_E_NOT_CONNECTED;
    *width = format.width;
    *height = format.height;
    return S_OK;
}

HRESULT FilterGraph::GetPreferredAspectRatio(long* aspectX, long* aspectY) const
{
    if (!aspectX || !aspectY) return E_POINTER;
    long w = 0, h = 0;
    const HRESULT hr = GetNativeVideoSize(&w, &h);
    if (FAILED(hr)) return hr;
    VideoFormat format;
    d->CurrentVideoFormat(&format);
    const long long x = static_cast<long long>(w) * format.parN;
    const long long y = static_cast<long long>(h) * format.parD;
    const long long g = std::gcd(x, y);
    *aspectX = static_cast<long>(g ? x / g : x);
    *aspectY = static_cast<long>(g ? y / g : y);
    return S_OK;
}

HRESULT FilterGraph::SetVideoPosition(const QRect& rect)
{
    d->videoSettings.rect = rect;
    if (d->video) d->video->SetRect(rect);
    return (d->video && d->video->HasWidget()) || !d->pipeline ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT FilterGraph::SetVideoVisible(bool visible)
{
    d->videoSettings.visible = visible;
    if (d->video) d->video->SetVisible(visible);
    return (d->video && d->video->HasWidget()) || !d->pipeline ? S_OK : VFW_E_NOT_CONNECTED;
}

bool FilterGraph::IsVideoVisible() const
{
    return d->video && d->video->HasWidget() && d->videoSettings.visible;
}

void FilterGraph::DisplayModeChanged()
{
    if (d->video) d->video->DisplayModeChanged();
}

HRESULT FilterGraph::SetColorValues(const ColorValues& values)
{
    d->videoSettings.colors = values;
    if (d->rendererAdded && UsesDisplayOverlay(d->renderer)) SetDisplayOverlayColors(values);
    if (d->video) d->video->SetColors(values);
    return (d->video && d->video->HasColorControls()) || !d->pipeline ? S_OK : E_NOTIMPL;
}

HRESULT FilterGraph::GetColorValues(ColorValues* values) const
{
    if (!values) return E_POINTER;
    *values = d->videoSettings.colors;
    return S_OK;
}

bool FilterGraph::HasColorControls() const
{
    return d->video && d->video->HasColorControls() && IsVideoRendererConnected();
}

void FilterGraph::SetFlip(bool horizontal, bool vertical)
{
    d->videoSettings.flipH = horizontal;
    d->videoSettings.flipV = vertical;
    if (d->video) d->video->SetFlip(horizontal, vertical);
}

bool FilterGraph::CanFlip() const { return d->video && d->video->CanFlip(); }

QImage FilterGraph::CurrentImage() const
{
    if (!d->pipeline || !d->video) return {};
    return d->video->CurrentImage();
}

QImage FilterGraph::PictureImage() const
{
    if (!d->pipeline || !d->video) return {};
    return d->video->PictureImage();
}

bool FilterGraph::Deinterlaces() const { return d->pipeline && d->video && d->deinterlace; }

bool FilterGraph::IsVideoInterlaced() const { return d->video && d->video->IsInterlaced(); }

bool FilterGraph::HasCaptureBranch() const { return d->video && d->video->HasCaptureBranch(); }

bool FilterGraph::CaptureBranchConnected() const { return d->video && d->video->CaptureBranchConnected(); }

QImage FilterGraph::CaptureBranchImage() const
{
    if (!d->pipeline || !d->video) return {};
    return d->video->CaptureBranchImage();
}

// ---- stream information ----

QString FilterGraph::Tag(const char* name) const
{
    if (!d->shared || !name) return {};
    std::lock_guard<std::mutex> lock(d->shared->mutex);
    if (!d->shared->tags) return {};
    g_autofree gchar* text = nullptr;
    if (!gst_tag_list_get_string(d->shared->tags, name, &text)) return {};
    return QString::fromUtf8(text);
}

bool FilterGraph::IsStillPicture() const { return d->StillPicture(); }

bool FilterGraph::IsSilent() const { return d->pipeline && (!d->audio || d->audio->IsSilent()); }

int FilterGraph::BufferingPercent() const
{
    if (!d->shared) return 100;
    std::lock_guard<std::mutex> lock(d->shared->mutex);
    return d->shared->bufferingPercent;
}

qint64 FilterGraph::FirstFrameTime() const { return d->video ? d->video->FirstFrameTime() : 0; }

quint64 FilterGraph::FramesShown() const { return d->video ? d->video->FramesShown() : 0; }

// ---- events ----

void FilterGraph::SetNotifyWindow(TForm* window, UINT message, LPARAM lParam)
{
    d->events->SetWindow(window, message, lParam);
}

HRESULT FilterGraph::GetEvent(long* code, LPARAM* param1, LPARAM* param2, long timeoutMs)
{
    if (!code || !param1 || !param2) return E_POINTER;
    GraphEvent event;
    if (!d->events->Take(&event, timeoutMs)) return E_ABORT;
    *code = event.code;
    *param1 = event.param1;
    *param2 = event.param2;
    return S_OK;
}

HRESULT FilterGraph::FreeEventParams(long, LPARAM, LPARAM)
{
    // Our events carry plain numbers only.
    return S_OK;
}

}  // namespace media

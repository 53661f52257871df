// The real DVD player's pipeline: building it (the manual chain around
// rsndvdbin or playbin on "dvd://"), taking rsndvdbin's source, tearing it
// down when the player goes (or leaving it to a command stuck inside
// rsndvdbin), and the pipeline's part of the player: its elements, colour,
// flip, picture place, volume and balance.
#include "platform/dvd/player_private.h"

#include "platform/dvd/discinfo.h"
#include "platform/dvd/probe.h"
#include "platform/media/preload.h"

#include <gst/video/colorbalance.h>

#include <QFile>
#include <QWidget>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <future>

namespace dvd {

namespace {

GstElement* Owned(const char* factory, const char* name = nullptr)
{
    GstElement* e = gst_element_factory_make(factory, name);
    if (e) gst_object_ref_sink(e);
    return e;
}

}  // namespace

// ---- building ----

bool PlayerPrivate::FindSource()
{
    if (!nav) return false;
    GstElement* found = gst_bin_get_by_name(GST_BIN(nav), "dvdsrc");
    if (!found) return false;
    const bool attached = AttachSource(found);
    gst_object_unref(found);
    return attached;
}

// Takes rsndvdbin's source: fast start off, and our probe on its output.
bool PlayerPrivate::AttachSource(GstElement* element)
{
    std::lock_guard<std::mutex> lock(sourceMutex);
    if (source) return true;
    source = GST_ELEMENT(gst_object_ref(element));
    // With fast start rsndvdbin skips the disc's first-play program.
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(source), "fast-start"))
        g_object_set(source, "fast-start", FALSE, nullptr);
    g_autoptr(GstPad) pad = gst_element_get_static_pad(source, "src");
    if (!pad) return false;
    gst_pad_add_probe(pad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      OnSourcePad, this, nullptr);
    return true;
}

// rsndvdbin (a reference), the parent of the source once it was taken.
GstObject* PlayerPrivate::NavigatorBin()
{
    std::lock_guard<std::mutex> lock(sourceMutex);
    return source ? gst_object_get_parent(GST_OBJECT(source)) : nullptr;
}

HRESULT PlayerPrivate::Preroll()
{
    bus.Attach(pipeline, Handlers());
    if (gst_element_set_state(pipeline, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) return E_FAIL;
    if (!automatic && !FindSource()) return E_FAIL;
    StartWorker();
    return S_OK;
}

std::vector<media::BusWatch::Handler> PlayerPrivate::Handlers()
{
    std::vector<media::BusWatch::Handler> handlers;
    if (video) handlers.push_back(video->BusHandler());
    handlers.push_back([this](GstMessage* m) { OnBus(m); });
    return handlers;
}

void PlayerPrivate::OnPadAdded(GstElement*, GstPad* pad, gpointer data)
{
    auto* d = static_cast<PlayerPrivate*>(data);
    const gchar* name = GST_PAD_NAME(pad);
    GstElement* target = nullptr;
    const char* targetPad = "sink";
    if (g_str_equal(name, "video")) {
        WatchVideoOutput(pad, d);
        target = d->videoQueue;
    } else if (g_str_equal(name, "subpicture")) {
        target = d->spu;
        targetPad = "subpicture";
    } else if (g_str_equal(name, "audio")) {
        target = d->audioQueue;
    }
    if (!target) return;
    g_autoptr(GstPad) sink = gst_element_get_static_pad(target, targetPad);
    if (sink && !gst_pad_is_linked(sink)) gst_pad_link(pad, sink);
}

// ---- tearing down ----

// Main thread, when the player goes.
void PlayerPrivate::Shutdown()
{
    if (decoderLoad.joinable()) decoderLoad.join();
    const bool stopped = StopWorker();
    if (video) video->Detach();
    if (!stopped) {
        // The stuck thread still uses the pipeline and this object: both
        // are left to it, never freed under it.
        new std::shared_ptr<PlayerPrivate>(shared_from_this());
        return;
    }
    if (pipeline) {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        bus.Detach();
        gst_object_unref(pipeline);
        pipeline = nullptr;
    }
}

PlayerPrivate::~PlayerPrivate()
{
    if (source) gst_object_unref(source);
    if (driveFd >= 0) close(driveFd);
}

// ---------------------------------------------------------------------------

DvdPlayer::DvdPlayer() : d(std::make_shared<PlayerPrivate>())
{
    d->titleFormat = gst_format_get_by_nick("title");
    d->chapterFormat = gst_format_get_by_nick("chapter");
}

DvdPlayer::~DvdPlayer()
{
    // Whoever still holds the picture controls must not reach this player.
    if (d->pictureControls) d->pictureControls->Detach();
    d->Shutdown();
}

HRESULT DvdPlayer::CreateManual(const ManualOptions& options, std::unique_ptr<DvdPlayer>* out)
{
    std::unique_ptr<DvdPlayer> player(new DvdPlayer);
    PlayerPrivate& d = *player->d;
    // The disc check runs in a process of its own: the graph is built
    // meanwhile. Nothing reads the disc before its verdict (the disc's
    // information, the drive and the navigator's device all follow it).
    std::future<HRESULT> probed = std::async(std::launch::async, [path = options.path] {
        return ProbeBeforePlay(path);
    });
    d.pollInterval = std::chrono::milliseconds(std::max(options.pollMs, 1));
    // rsndvdbin registers its formats when it is first made.
    d.pipeline = Owned("pipeline", "DVD graph");
    GstElement* nav = gst_element_factory_make("rsndvdbin", "DVD Navigator");
    GstElement* vqueue = gst_element_factory_make("queue", nullptr);
    GstElement* spu = gst_element_factory_make("dvdspu", options.mixerName.toUtf8().constData());
    GstElement* aqueue = gst_element_factory_make("queue", nullptr);
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* mixer = gst_element_factory_make("audiomixmatrix", nullptr);
    GstElement* volume = gst_element_factory_make("volume", "volume");
    if (!d.pipeline || !nav || !vqueue || !spu || !aqueue || !convert || !volume) {
        for (GstElement* e : {nav, vqueue, spu, aqueue, convert, mixer, volume})
            if (e) gst_object_unref(gst_object_ref_sink(e));
        return E_FAIL;
    }
    d.titleFormat = gst_format_get_by_nick("title");
    d.chapterFormat = gst_format_get_by_nick("chapter");
    d.nav = nav;
    d.spu = spu;
    d.volume = volume;
    d.videoQueue = vqueue;
    d.audioQueue = aqueue;
    gst_bin_add_many(GST_BIN(d.pipeline), nav, vqueue, spu, aqueue, convert, volume, nullptr);
    if (mixer) {
        // Karaoke: each output channel takes what the matrix gives it; until a
        // mode is chosen the matrix passes the channels on unchanged.
        g_object_set(mixer, "mode", 1 /* first-channels */, nullptr);
        gst_bin_add(GST_BIN(d.pipeline), mixer);
        d.karaoke = std::make_unique<KaraokeMixer>(mixer);
    }

    media::VideoOutput::Options vo;
    vo.renderer = options.renderer;
    vo.panel = options.panel;
    vo.flipAllowed = true;
    vo.events = d.events;
    vo.redrawBySeek = false;   // the navigation must not be seeked for a colour
    d.video = media::VideoOutput::Create(vo);
    d.audio = media::AudioOutput::Create(options.audioSink);
    if (!d.video || !d.audio) return E_FAIL;
    d.video->SetPipeline(d.pipeline);
    GstElement* vfilter = d.video->Filter();
    GstElement* afilter = d.audio->Filter();
    gst_bin_add(GST_BIN(d.pipeline), d.video->Sink());
    gst_bin_add(GST_BIN(d.pipeline), d.audio->Sink());
    if (vfilter) gst_bin_add(GST_BIN(d.pipeline), vfilter);
    if (afilter) gst_bin_add(GST_BIN(d.pipeline), afilter);
    bool linked = gst_element_link(vqueue, spu);
    linked = linked && (vfilter ? gst_element_link_many(spu, vfilter, d.video->Sink(), nullptr)
                                : gst_element_link(spu, d.video->Sink()));
    linked = linked && gst_element_link(aqueue, convert);
    linked = linked && (mixer ? gst_element_link_many(convert, mixer, volume, nullptr) : gst_element_link(convert, volume));
    linked = linked && (afilter ? gst_element_link_many(volume, afilter, d.audio->Sink(), nullptr)
                                : gst_element_link(volume, d.audio->Sink()));
    if (!linked) return E_FAIL;
    g_signal_connect(nav, "pad-added", G_CALLBACK(PlayerPrivate::OnPadAdded), &d);
    {
        g_autoptr(GstPad) pictures = gst_element_get_static_pad(spu, "video");
        if (pictures)
            gst_pad_add_probe(pictures,
                              GST_PAD_PROBE_TYPE_BUFFER,
                              PlayerPrivate::OnMixerInput, &d, nullptr);
    }
    if (const HRESULT verdict = probed.get(); FAILED(verdict)) return verdict;
    if (!d.disc.Open(options.path)) return E_INVALIDARG;
    d.OpenDrive(VolumePath(options.path));
    d.directory = VolumePath(options.path);
    d.fps = d.disc.MenuVideo().height == 576 ? 25.0 : 30.0;
    const QByteArray device = QFile::encodeName(d.directory);
    g_object_set(nav, "device", device.constData(), nullptr);
    const HRESULT hr = d.Preroll();
    if (FAILED(hr)) return hr;
    // rsndvdbin makes every decoder of the disc's streams at its first data;
    // their plug-ins (the whole libav library for MPEG-2 video) load from
    // now on, beside the navigator's start, instead of after it. Not
    // earlier: this thread needs the dynamic loader until here (the disc's
    // information opens libdvdread's decryption library), and a library that
    // loads holds the loader for all of its loading.
    d.decoderLoad = std::thread([] { media::LoadDvdDecoders(); });
    *out = std::move(player);
    return S_OK;
}

HRESULT DvdPlayer::CreateAutomatic(const QString& path, QWidget* panel, std::unique_ptr<DvdPlayer>* out)
{
    std::unique_ptr<DvdPlayer> player(new DvdPlayer);
    PlayerPrivate& d = *player->d;
    if (const HRESULT probed = ProbeBeforePlay(path); FAILED(probed)) return probed;
    if (!d.disc.Open(path)) return E_INVALIDARG;
    d.OpenDrive(VolumePath(path));
    d.directory = VolumePath(path);
    d.fps = d.disc.MenuVideo().height == 576 ? 25.0 : 30.0;
    d.automatic = true;
    d.pipeline = Owned("playbin", "DVD graph");
    if (!d.pipeline) return E_FAIL;
    const QString uri = "dvd://" + VolumePath(path);
    g_object_set(d.pipeline, "uri", uri.toUtf8().constData(), nullptr);
    // The picture goes into the panel: playbin's own choice of sink, given
    // the panel's window by the video output's bus handler.
    media::VideoOutput::Options vo;
    vo.renderer = media::RendererWindowless7;
    vo.panel = panel;
    vo.events = d.events;
    vo.redrawBySeek = false;   // the navigation must not be seeked for a colour
    d.video = media::VideoOutput::Create(vo);
    if (d.video) {
        d.video->SetPipeline(d.pipeline);
        g_object_set(d.pipeline, "video-sink", d.video->Sink(), nullptr);
    }
    // playbin makes rsndvdbin, and rsndvdbin its source, while it starts:
    // the source is taken as it is added.
    g_signal_connect(d.pipeline, "deep-element-added",
                     G_CALLBACK(+[](GstBin*, GstBin* parent, GstElement* element, gpointer data) {
                         if (g_strcmp0(GST_ELEMENT_NAME(element), "dvdsrc") != 0) return;
                         auto* p = static_cast<PlayerPrivate*>(data);
                         p->nav = GST_ELEMENT(parent);
                         p->AttachSource(element);
                         g_signal_connect(parent, "pad-added",
                                          G_CALLBACK(+[](GstElement*, GstPad* pad, gpointer d) {
                                              if (g_str_equal(GST_PAD_NAME(pad), "video"))
                                                  PlayerPrivate::WatchVideoOutput(pad, static_cast<PlayerPrivate*>(d));
                                          }),
                                          p);
                     }),
                     &d);
    const HRESULT hr = d.Preroll();
    if (FAILED(hr)) return hr;
    *out = std::move(player);
    return S_OK;
}

// ---- the pipeline ----

GstElement* DvdPlayer::Pipeline() const { return d->pipeline; }

QStringList DvdPlayer::ElementFactories() const
{
    QStringList names;
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(d->pipeline));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        GstElement* e = GST_ELEMENT(g_value_get_object(&item));
        if (GstElementFactory* f = gst_element_get_factory(e)) names << gst_plugin_feature_get_name(f);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return names;
}

int DvdPlayer::VideoSinkCount() const
{
    int count = 0;
    GstIterator* it = gst_bin_iterate_sinks(GST_BIN(d->pipeline));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        GstElement* e = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* f = gst_element_get_factory(e);
        const gchar* klass = f ? gst_element_factory_get_metadata(f, GST_ELEMENT_METADATA_KLASS) : nullptr;
        if ((klass && strstr(klass, "Video")) || (d->video && e == d->video->Sink())) ++count;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return count;
}

namespace {

// playbin's colour balance (its own software balance in the automatic
// build): the channel of that name set from our 0..20000-style ranges.
void SetBalanceChannel(GstColorBalance* balance, const char* name, double fraction)
{
    for (const GList* l = gst_color_balance_list_channels(balance); l; l = l->next) {
        GstColorBalanceChannel* channel = GST_COLOR_BALANCE_CHANNEL(l->data);
        if (!g_str_equal(channel->label, name)) continue;
        const double value = channel->min_value + std::clamp(fraction, 0.0, 1.0) * (channel->max_value - channel->min_value);
        gst_color_balance_set_value(balance, channel, gint(value));
    }
}

}  // namespace

bool DvdPlayer::HasColorControls() const
{
    if (d->automatic)
        return GST_IS_COLOR_BALANCE(d->pipeline) && gst_color_balance_list_channels(GST_COLOR_BALANCE(d->pipeline));
    return d->video && d->video->HasColorControls();
}

HRESULT DvdPlayer::SetColorValues(const media::ColorValues& values)
{
    if (!HasColorControls()) return E_NOTIMPL;
    d->colors = values;
    if (!d->automatic) {
        d->video->SetColors(values);
        return S_OK;
    }
    GstColorBalance* balance = GST_COLOR_BALANCE(d->pipeline);
    // The same mapping as the video output's videobalance: brightness 750 and
    // contrast and saturation 10000 are neutral, hue -180..180.
    SetBalanceChannel(balance, "BRIGHTNESS", ((values.brightness - 750) / 10000.0 + 1.0) / 2.0);
    SetBalanceChannel(balance, "CONTRAST", values.contrast / 20000.0);
    SetBalanceChannel(balance, "HUE", (values.hue / 180.0 + 1.0) / 2.0);
    SetBalanceChannel(balance, "SATURATION", values.saturation / 20000.0);
    return S_OK;
}

HRESULT DvdPlayer::GetColorValues(media::ColorValues* values) const
{
    if (!HasColorControls()) return E_NOTIMPL;
    *values = d->colors;
    return S_OK;
}

bool DvdPlayer::CanFlip() const { return d->video && d->video->CanFlip() && !d->automatic; }

void DvdPlayer::SetFlip(bool horizontal, bool vertical)
{
    if (CanFlip()) d->video->SetFlip(horizontal, vertical);
}

std::shared_ptr<media::PictureControls> DvdPlayer::GetPictureControls()
{
    if (!HasColorControls()) return nullptr;
    if (!d->pictureControls) {
        d->pictureControls = std::make_shared<media::PaintedPictureControls>(
            [this](const media::ColorValues& values) { SetColorValues(values); },
            [this](bool horizontal, bool vertical) { SetFlip(horizontal, vertical); });
    }
    return d->pictureControls;
}

HRESULT DvdPlayer::SetVideoPosition(const QRect& rect)
{
    if (!d->video) return E_FAIL;
    d->video->SetRect(rect);
    return S_OK;
}

HRESULT DvdPlayer::put_Volume(long hundredthsDb)
{
    d->volumeDb = std::clamp(hundredthsDb, -10000L, 0L);
    if (d->automatic) {
        g_object_set(d->pipeline, "volume", media::LinearVolume(d->volumeDb), nullptr);
        return S_OK;
    }
    d->ApplyVolume();
    return S_OK;
}

HRESULT DvdPlayer::get_Volume(long* hundredthsDb) const
{
    *hundredthsDb = d->volumeDb;
    return S_OK;
}

HRESULT DvdPlayer::put_Balance(long balance)
{
    if (!d->audio) return E_NOTIMPL;
    d->audio->SetBalance(balance);
    return S_OK;
}

HRESULT DvdPlayer::GetNativeVideoSize(long* width, long* height) const
{
    media::VideoFormat format;
    if (!d->video || !d->video->CurrentFormat(&format)) return E_FAIL;
    *width = format.width;
    *height = format.height;
    return S_OK;
}

qint64 DvdPlayer::FirstFrameTime() const { return d->video ? d->video->FirstFrameTime() : 0; }
quint64 DvdPlayer::FramesShown() const { return d->video ? d->video->FramesShown() : 0; }
bool DvdPlayer::ShowsStill() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->o.still;
}
QImage DvdPlayer::CurrentImage() const { return d->video ? d->video->CurrentImage() : QImage(); }
const DiscInfo& DvdPlayer::Disc() const { return d->disc; }

bool DvdPlayer::DecodesCaptions() const { return d->spu != nullptr; }

QString DvdPlayer::CaptionText() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->captionText;
}

}  // namespace dvd

// The CD-audio device on GStreamer:
//   cdiocddasrc (continuous: the whole disc is one stream) ! audioconvert ! volume ! audio output
// The table of contents comes from libcdio on the same drive, so the
// addresses we report are the ones the source plays. A disc image plays
// through our own source over the layout our sheet reader gives the table,
// so that table and sound agree there too.
#include "platform/cdrom/cdaudio.h"

#include "platform/cdrom/cdrom.h"
#include "platform/cdrom/cuesheet.h"
#include "platform/cdrom/imagesrc.h"
#include "platform/media/bus.h"
#include "platform/media/output.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>

#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace cdrom {

namespace {

constexpr int kFramesPerSecond = 75;
// A real drive may need to spin up before the first sector comes.
constexpr GstClockTime kStateTimeout = 15 * GST_SECOND;

std::atomic<std::uint32_t> nextDeviceId{1};


std::int64_t FramesToMs(std::int64_t frames) { return frames * 1000 / kFramesPerSecond; }
std::int64_t MsToFrames(std::int64_t ms) { return ms * kFramesPerSecond / 1000; }

using TocTrack = LibcdioTrack;

// Reads the table of contents (an image's from its sheet, else through
// libcdio); false without an audio track or with addresses out of order.
bool ReadToc(const DriveName& drive, DiscImage* image, std::vector<TocTrack>* tracks, int* leadOut)
{
    bool ok = false;
    if (drive.kind == DriveName::Image) {
        ok = LoadDiscImage(drive.path, image);
        for (const DiscTrack& t : image->layout.tracks) tracks->push_back({t.number, t.start, t.audio});
        *leadOut = image->layout.leadOut;
    } else {
        ok = ReadLibcdioTracks(drive.path, tracks, leadOut);
    }
    for (size_t i = 1; ok && i < tracks->size(); ++i)
        if ((*tracks)[i].lba <= (*tracks)[i - 1].lba) ok = false;
    if (ok && *leadOut <= tracks->back().lba) ok = false;
    return ok && std::any_of(tracks->begin(), tracks->end(), [](const TocTrack& t) { return t.audio; });
}

// What the bus handler on GStreamer's threads shares with the device.
struct Relay {
    std::mutex mutex;
    QObject* context = nullptr;   // the device's; null once it goes
    std::function<void(bool eos, guint32 seqnum)> deliver;
};

class GstAudioDevice final : public AudioDevice {
public:
    explicit GstAudioDevice(QString sinkFactory) : sinkFactory_(std::move(sinkFactory)) {}
    ~GstAudioDevice() override { Close(); }

    bool Open(const QString& drive, TForm* notifyWindow) override
    {
        Close();
        const DriveName name = ResolveDrive(drive);
        if (name.kind == DriveName::None) return false;
        std::vector<TocTrack> tracks;
        int leadOut = 0;
        DiscImage image;
        if (!ReadToc(name, &image, &tracks, &leadOut)) return false;
        tracks_ = std::move(tracks);
        leadOut_ = leadOut;
        // The source's stream time counts from the first track.
        streamOrigin_ = tracks_.front().lba;
        const DiscImage* disc = name.kind == DriveName::Image ? &image : nullptr;
        if (!BuildPipeline(name.path, disc, false) && !BuildPipeline(name.path, disc, true)) {
            tracks_.clear();
            return false;
        }
        window_ = notifyWindow;
        id_ = nextDeviceId++;
        format_ = TimeFormat::Milliseconds;
        mode_ = Mode::Stopped;
        stoppedAt_ = streamOrigin_;
        return true;
    }

    bool Close() override
    {
        if (!pipeline_) return false;
        EndNotify(kNotifyAborted);
        TearDown();
        tracks_.clear();
        window_ = nullptr;
        return true;
    }

    std::uint32_t DeviceId() const override { return pipeline_ ? id_ : 0; }

    bool SetTimeFormat(TimeFormat format) override
    {
        if (!pipeline_) return false;
        format_ = format;
        return true;
    }

    bool TrackCount(int* count) override
    {
        if (!pipeline_) return false;
        *count = static_cast<int>(tracks_.size());
        return true;
    }

    bool Position(std::uint32_t* position) override
    {
        if (!pipeline_) return false;
        *position = Encode(PositionFrames());
        return true;
    }

    bool CurrentTrack(int* track) override
    {
        if (!pipeline_) return false;
        *track = TrackAt(PositionFrames());
        return true;
    }

    bool TrackPosition(int track, std::uint32_t* position) override
    {
        const TocTrack* t = Track(track);
        if (!t) return false;
        *position = format_ == TimeFormat::Tmsf ? MakeTmsf(t->number, 0, 0, 0)
                                                : static_cast<std::uint32_t>(FramesToMs(t->lba));
        return true;
    }

    bool TrackLength(int track, std::uint32_t* length) override
    {
        const TocTrack* t = Track(track);
        if (!t) return false;
        const int frames = EndOf(*t) - t->lba;
        if (format_ == TimeFormat::Tmsf) {
            *length = static_cast<std::uint32_t>(frames / (60 * kFramesPerSecond)) |
                      (static_cast<std::uint32_t>(frames / kFramesPerSecond % 60) << 8) |
                      (static_cast<std::uint32_t>(frames % kFramesPerSecond) << 16);
        } else {
            *length = static_cast<std::uint32_t>(FramesToMs(frames));
        }
        return true;
    }

    bool Play(const std::uint32_t* from, const std::uint32_t* to, bool notify) override
    {
        if (!pipeline_) return false;
        int start = PositionFrames();
        if (from && !Decode(*from, &start)) return false;
        int stop = -1;
        if (to && !Decode(*to, &stop)) return false;
        const int discEnd = LastAudioEnd();
        if (start < streamOrigin_ || start > discEnd) return false;
        if (stop >= 0 && (stop < start || stop > discEnd)) return false;
        // The earlier play ends here, whatever follows.
        EndNotify(kNotifyAborted);
        const gint64 startNs = StreamNs(start);
        // Playing to the end stops at the end of the disc's last track: a
        // source that ran past it takes no further seek.
        const gint64 stopNs = StreamNs(stop >= 0 ? stop : discEnd);
        if (start == stop) {
            // Nothing to play: the play ends at once where it starts.
            stoppedAt_ = start;
            mode_ = Mode::Stopped;
            if (notify) Post(kNotifySuccessful);
            return true;
        }
        GstEvent* seek = gst_event_new_seek(1.0, GST_FORMAT_TIME,
                                            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                            GST_SEEK_TYPE_SET, startNs, GST_SEEK_TYPE_SET, stopNs);
        // The end of this play carries the seek's sequence number: an end
        // that still belongs to an earlier play is told apart by it.
        const guint32 seqnum = gst_event_get_seqnum(seek);
        playSeqnum_ = seqnum;
        if (!gst_element_send_event(pipeline_, seek)) return false;
        if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) return false;
        mode_ = Mode::Playing;
        // Until the stream shows the new position, the play's start is the position.
        landingAt_ = start;
        landing_.start();
        playEnd_ = stop >= 0 ? stop : discEnd;
        notifyPending_ = notify;
        return true;
    }

    bool Pause() override
    {
        if (!pipeline_) return false;
        if (mode_ != Mode::Playing) return true;
        stoppedAt_ = PositionFrames();
        gst_element_set_state(pipeline_, GST_STATE_PAUSED);
        mode_ = Mode::Paused;
        EndNotify(kNotifyAborted);
        return true;
    }

    bool Stop() override
    {
        if (!pipeline_) return false;
        if (mode_ != Mode::Stopped) stoppedAt_ = PositionFrames();
        gst_element_set_state(pipeline_, GST_STATE_PAUSED);
        mode_ = Mode::Stopped;
        EndNotify(kNotifyAborted);
        return true;
    }

    bool SetVolume(int volume) override
    {
        volume_ = std::clamp(volume, 0, kMaxVolume);
        if (volumeElement_) g_object_set(volumeElement_, "volume", static_cast<double>(volume_) / kMaxVolume, nullptr);
        return true;
    }

    int Volume() const override { return volume_; }

private:
    enum class Mode { Stopped, Playing, Paused };

    bool BuildPipeline(const QString& path, const DiscImage* image, bool silent)
    {
        // The program initialises GStreamer on a thread of its own; gst_init
        // waits for it (gst_is_initialized() would not: it turns true before
        // the plug-in registry is loaded).
        gst_init(nullptr, nullptr);
        audio_ = media::AudioOutput::Create(sinkFactory_, nullptr, silent);
        if (!audio_) return false;
        pipeline_ = gst_pipeline_new("cdaudio");
        gst_object_ref_sink(pipeline_);
        GstElement* source =
            image ? CreateImageSource(*image, streamOrigin_) : gst_element_factory_make("cdiocddasrc", nullptr);
        GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
        volumeElement_ = gst_element_factory_make("volume", nullptr);
        if (!source || !convert || !volumeElement_) {
            if (source) gst_object_unref(gst_object_ref_sink(source));
            if (convert) gst_object_unref(gst_object_ref_sink(convert));
            if (volumeElement_) gst_object_unref(gst_object_ref_sink(volumeElement_));
            volumeElement_ = nullptr;
            TearDown();
            return false;
        }
        if (!image) {
            g_object_set(source, "device", QFile::encodeName(path).constData(), nullptr);
            gst_util_set_object_arg(G_OBJECT(source), "mode", "continuous");
        }
        volume_ = kMaxVolume;
        g_object_set(volumeElement_, "volume", 1.0, nullptr);
        gst_bin_add_many(GST_BIN(pipeline_), source, convert, volumeElement_, audio_->Sink(), nullptr);
        bool linked = gst_element_link_many(source, convert, volumeElement_, nullptr);
        if (audio_->Filter()) {
            gst_bin_add(GST_BIN(pipeline_), audio_->Filter());
            linked = linked && gst_element_link_many(volumeElement_, audio_->Filter(), audio_->Sink(), nullptr);
        } else {
            linked = linked && gst_element_link(volumeElement_, audio_->Sink());
        }
        relay_ = std::make_shared<Relay>();
        relay_->context = &context_;
        std::weak_ptr<Relay> weak = relay_;
        bus_.Attach(pipeline_, {[weak](GstMessage* message) { OnBusMessage(weak, message); }});
        relay_->deliver = [this](bool eos, guint32 seqnum) { OnStreamEnd(eos, seqnum); };
        // Prerolled and waiting at the start of the disc.
        if (!linked || gst_element_set_state(pipeline_, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE ||
            gst_element_get_state(pipeline_, nullptr, nullptr, kStateTimeout) != GST_STATE_CHANGE_SUCCESS) {
            TearDown();
            return false;
        }
        return true;
    }

    void TearDown()
    {
        if (relay_) {
            std::lock_guard<std::mutex> lock(relay_->mutex);
            relay_->context = nullptr;
        }
        if (pipeline_) gst_element_set_state(pipeline_, GST_STATE_NULL);
        bus_.Detach();
        if (pipeline_) gst_object_unref(pipeline_);
        pipeline_ = nullptr;
        volumeElement_ = nullptr;
        audio_.reset();
        relay_.reset();
        notifyPending_ = false;
        mode_ = Mode::Stopped;
    }

    // GStreamer's threads: the end of the stream or an error goes to the
    // main thread with the sequence number it carries.
    static void OnBusMessage(const std::weak_ptr<Relay>& weak, GstMessage* message)
    {
        const GstMessageType type = GST_MESSAGE_TYPE(message);
        if (type != GST_MESSAGE_EOS && type != GST_MESSAGE_ERROR) return;
        std::shared_ptr<Relay> relay = weak.lock();
        if (!relay) return;
        const bool eos = type == GST_MESSAGE_EOS;
        const guint32 seqnum = gst_message_get_seqnum(message);
        std::lock_guard<std::mutex> lock(relay->mutex);
        if (!relay->context) return;
        QMetaObject::invokeMethod(
            relay->context,
            [weak, eos, seqnum] {
                if (std::shared_ptr<Relay> r = weak.lock(); r && r->deliver) r->deliver(eos, seqnum);
            },
            Qt::QueuedConnection);
    }

    void OnStreamEnd(bool eos, guint32 seqnum)
    {
        if (!pipeline_ || mode_ != Mode::Playing) return;
        // An end that belongs to an earlier play is never this one's.
        if (eos && seqnum != playSeqnum_) return;
        stoppedAt_ = eos ? playEnd_ : PositionFrames();
        mode_ = Mode::Stopped;
        gst_element_set_state(pipeline_, GST_STATE_PAUSED);
        EndNotify(eos ? kNotifySuccessful : kNotifyFailure);
    }

    void EndNotify(WPARAM code)
    {
        if (!notifyPending_) return;
        notifyPending_ = false;
        Post(code);
    }

    void Post(WPARAM code)
    {
        if (window_) window_->PostMessage(MM_MCINOTIFY, code, static_cast<LPARAM>(id_));
    }

    const TocTrack* Track(int number) const
    {
        if (!pipeline_) return nullptr;
        for (const TocTrack& t : tracks_)
            if (t.number == number) return &t;
        return nullptr;
    }

    int EndOf(const TocTrack& t) const
    {
        const auto it = std::find_if(tracks_.begin(), tracks_.end(), [&](const TocTrack& n) { return n.lba > t.lba; });
        return it == tracks_.end() ? leadOut_ : it->lba;
    }

    // The end of the last audio track: the end of what the source plays.
    int LastAudioEnd() const
    {
        for (auto it = tracks_.rbegin(); it != tracks_.rend(); ++it)
            if (it->audio) return EndOf(*it);
        return leadOut_;
    }

    int TrackAt(int frames) const
    {
        int found = tracks_.empty() ? 0 : tracks_.front().number;
        for (const TocTrack& t : tracks_)
            if (t.lba <= frames) found = t.number;
        return found;
    }

    gint64 StreamNs(int frames) const
    {
        return gst_util_uint64_scale(static_cast<guint64>(std::max(0, frames - streamOrigin_)), GST_SECOND,
                                     kFramesPerSecond);
    }

    // The position in frames on the TOC's scale.
    int PositionFrames()
    {
        if (mode_ != Mode::Playing) return stoppedAt_;
        gint64 ns = 0;
        const bool known = gst_element_query_position(pipeline_, GST_FORMAT_TIME, &ns) && ns >= 0;
        const int frames = known ? streamOrigin_ + static_cast<int>(gst_util_uint64_scale(
                                                       static_cast<guint64>(ns), kFramesPerSecond, GST_SECOND))
                                 : landingAt_;
        if (landing_.isValid()) {
            // Right after a seek the sink may still report where the previous
            // play was: only a position between the new start and where it
            // can have got to since is the new play's.
            const int reach = landingAt_ + static_cast<int>(MsToFrames(landing_.elapsed() + 500));
            if (!known || frames < landingAt_ - 1 || frames > reach) return landingAt_;
            landing_.invalidate();
        }
        return frames;
    }

    std::uint32_t Encode(int frames)
    {
        if (format_ == TimeFormat::Milliseconds) return static_cast<std::uint32_t>(FramesToMs(frames));
        const int number = TrackAt(frames);
        const TocTrack* t = Track(number);
        const int offset = t ? std::max(0, frames - t->lba) : 0;
        return MakeTmsf(number, offset / (60 * kFramesPerSecond), offset / kFramesPerSecond % 60,
                        offset % kFramesPerSecond);
    }

    bool Decode(std::uint32_t value, int* frames) const
    {
        if (format_ == TimeFormat::Milliseconds) {
            *frames = static_cast<int>(MsToFrames(value));
            return true;
        }
        const TocTrack* t = Track(TmsfTrack(value));
        if (!t) return false;
        *frames = t->lba + (TmsfMinutes(value) * 60 + TmsfSeconds(value)) * kFramesPerSecond + TmsfFrames(value);
        return true;
    }

    QString sinkFactory_;
    std::vector<TocTrack> tracks_;
    int leadOut_ = 0;
    int streamOrigin_ = 0;
    GstElement* pipeline_ = nullptr;        // ours
    GstElement* volumeElement_ = nullptr;   // inside the pipeline (identity)
    std::unique_ptr<media::AudioOutput> audio_;
    media::BusWatch bus_;
    std::shared_ptr<Relay> relay_;
    QObject context_;   // queued deliveries die with the device
    QPointer<TForm> window_;
    std::uint32_t id_ = 0;
    TimeFormat format_ = TimeFormat::Milliseconds;
    Mode mode_ = Mode::Stopped;
    int stoppedAt_ = 0;
    int playEnd_ = 0;            // where the last play stops
    int landingAt_ = 0;          // the start of the last play
    QElapsedTimer landing_;      // valid until the stream has reached that start
    bool notifyPending_ = false;
    guint32 playSeqnum_ = 0;   // main thread only
    int volume_ = kMaxVolume;
};

}  // namespace

std::unique_ptr<AudioDevice> CreateAudioDevice(const QString& audioSinkFactory)
{
    return std::make_unique<GstAudioDevice>(audioSinkFactory);
}

}  // namespace cdrom

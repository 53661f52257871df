#include "platform/dvd/player.h"

#include "platform/dvd/karaoke.h"
#include "platform/dvd/state.h"
#include "platform/media/bus.h"
#include "platform/media/events.h"
#include "platform/media/output.h"

#include <gst/video/colorbalance.h>
#include <gst/video/navigation.h>
#include <gst/video/video.h>

#include <dvdread/nav_read.h>
#include <dvdread/nav_types.h>

#include <QFile>
#include <QPointer>
#include <QWidget>

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace dvd {

using namespace std::chrono_literals;

namespace {

constexpr auto kPollInterval = 250ms;
constexpr auto kBlockLimit = 2s;
constexpr auto kFastPlayStep = 500ms;

// Operations that make rsndvdbin seek; during a still they can loop for ever.
constexpr DWORD kSeekingOps = UOP_FLAG_Play_Title_Or_AtTime | UOP_FLAG_Play_Chapter | UOP_FLAG_Play_Title |
                              UOP_FLAG_Play_Chapter_Or_AtTime | UOP_FLAG_PlayPrev_Or_Replay_Chapter |
                              UOP_FLAG_PlayNext_Chapter | UOP_FLAG_Play_Forwards | UOP_FLAG_Play_Backwards;

// ISO 639-1 code of a Windows language identifier's primary language.
QString CodeForLcid(DWORD lcid)
{
    switch (lcid & 0x3FF) {
    case 0x04: return "zh";
    case 0x07: return "de";
    case 0x09: return "en";
    case 0x0A: return "es";
    case 0x0C: return "fr";
    case 0x10: return "it";
    case 0x11: return "ja";
    case 0x12: return "ko";
    case 0x13: return "nl";
    case 0x16: return "pt";
    case 0x19: return "ru";
    case 0x1D: return "sv";
    default: return {};
    }
}

// A 2048-byte sector that is a NAV pack: pack header, system header, then
// the PCI packet (private stream 2, sub-stream 0) at a fixed place.
bool IsNavPack(const guint8* s)
{
    return s[0] == 0 && s[1] == 0 && s[2] == 1 && s[3] == 0xBA && s[0x26] == 0 && s[0x27] == 0 && s[0x28] == 1 &&
           s[0x29] == 0xBF && s[0x2C] == 0;
}

GstElement* Owned(const char* factory, const char* name = nullptr)
{
    GstElement* e = gst_element_factory_make(factory, name);
    if (e) gst_object_ref_sink(e);
    return e;
}

}  // namespace

int TitleJumpOf(const unsigned char* cmd)
{
    // A jump group command (type 1 with the jump bit) whose operation is a
    // jump to a title of the disc.
    if ((cmd[0] & 0xF0) != 0x30 || (cmd[1] & 0x0F) != 2) return 0;
    return cmd[5] & 0x7F;
}

long DiscWarningKind(GstMessage* message, GstObject* navigator)
{
    if (!message || !navigator || GST_MESSAGE_TYPE(message) != GST_MESSAGE_WARNING) return 0;
    GstObject* from = GST_MESSAGE_SRC(message);
    if (!from || !gst_object_has_as_ancestor(from, navigator)) return 0;
    g_autoptr(GError) error = nullptr;
    gst_message_parse_warning(message, &error, nullptr);
    if (!error || error->domain != GST_RESOURCE_ERROR) return 0;
    switch (error->code) {
    case GST_RESOURCE_ERROR_OPEN_READ: return DVD_WARNING_Open;
    case GST_RESOURCE_ERROR_SEEK: return DVD_WARNING_Seek;
    default: return DVD_WARNING_Read;
    }
}

bool CommandCanBranch(const unsigned char* cmd)
{
    const int type = cmd[0] >> 5;
    if (type == 1) {
        if (cmd[0] & 0x10) return true;   // jump or call
        const int link = cmd[1] & 0x0F;
        if (link == 1) return (cmd[7] & 0x1F) != 0;   // a link sub-instruction other than "no link"
        return link >= 4 && link <= 7;   // link to a program chain, part, program or cell
    }
    if (type >= 2 && type <= 6) {
        // Set and compare commands may carry a link sub-instruction.
        const int link = cmd[1] & 0x0F;
        return link == 1 && (cmd[7] & 0x1F) != 0;
    }
    return false;
}

// ---------------------------------------------------------------------------
// What the layer knows of the playback, written by GStreamer's threads and the
// command thread, read by the window's thread.
struct Observed {
    bool navFlowing = false;
    bool inMenu = true;   // until rsndvdbin names a title
    bool still = false;
    bool eos = false;
    bool hasPci = false;
    pci_t pci{};
    int button = 1;
    bool highlighted = false;   // rsndvdbin has shown the menu's buttons
    ULONG title = 0;
    ULONG chapter = 0;
    gint64 positionNs = 0;   // in the title
    gint64 durationNs = 0;
    // Where the title on the screen began, in the stream's time. rsndvdbin
    // goes from one title into the next without a flush (a post command) and
    // the stream's time runs on: the second title would count on from the
    // first one's end. rsndvdbin's video output names each title before its
    // first picture, ahead of the screen by its queues; the title counts as
    // begun once the pipeline's running time reaches that picture (its
    // stream time may lie before the end of the title before). A flush
    // (every seek) starts the stream's time at the title's own time again.
    gint64 titleStartNs = 0;
    gint64 nextTitleStartNs = -1;    // a title begun in the stream, not yet on the screen
    gint64 nextTitleRunningNs = -1;  // the running time of its first picture
    int streamTitle = -1;            // the title named on the video output, 0 in menus
    bool flushedSincePicture = false;
    bool startAtNextPicture = false;
    // A flush: the stream's time is the title's own again.
    void StreamTimeRestarts()
    {
        titleStartNs = 0;
        nextTitleStartNs = -1;
        startAtNextPicture = false;
        flushedSincePicture = true;
    }
    Domain domain = DVD_DOMAIN_FirstPlay;
    DWORD uops = 0;
    ULONG angles = 1;
    ULONG angle = 1;
    // Streams: rsndvdbin's own selection as last seen, and the user's choice.
    int audioCount = 0;
    int audioPhysical[8] = {};
    int subCount = 0;
    int subPhysical[32] = {};
    LONG audio = 0;
    LONG subpicture = 0;
    bool subShown = false;
    LONG chosenAudio = -1;
    LONG chosenSub = -1;
    int chosenShown = -1;   // -1: the disc decides
    bool pushAudio = false;
    bool pushSub = false;
    bool userChoseAudio = false;
    bool userChoseSub = false;
    QString defaultAudio;   // ISO 639-1
    QString defaultSub;
    // Fast play.
    double rate = 1.0;
    // What was reported last.
    Domain reportedDomain = Domain(0);
    ULONG reportedTitle = 0;
    ULONG reportedChapter = 0;
    int reportedSecond = -1;
    DWORD reportedUops = 0xFFFFFFFF;
    LONG reportedAudio = -2;
    LONG reportedSub = -2;
    int reportedShown = -1;
};

class PlayerPrivate : public std::enable_shared_from_this<PlayerPrivate> {
public:
    GstElement* pipeline = nullptr;   // ours
    GstElement* nav = nullptr;        // identity: rsndvdbin
    GstElement* source = nullptr;     // a reference of ours: rsndvdbin's "dvdsrc"
    GstElement* spu = nullptr;        // identity
    GstElement* volume = nullptr;     // identity; null in the automatic build
    std::unique_ptr<KaraokeMixer> karaoke;   // on the audio chain's audiomixmatrix
    bool automatic = false;
    std::unique_ptr<media::VideoOutput> video;
    std::unique_ptr<media::AudioOutput> audio;
    media::BusWatch bus;
    std::shared_ptr<media::EventQueue> events = std::make_shared<media::EventQueue>();
    DiscInfo disc;
    QString directory;   // the volume path the player opened
    // rsndvdbin's own formats, registered at run time: their values lie
    // beyond GstFormat's enumerators, so they are kept as numbers.
    gint titleFormat = GST_FORMAT_UNDEFINED;
    gint chapterFormat = GST_FORMAT_UNDEFINED;
    double fps = 30.0;
    bool audioDuringFastPlay = false;
    long volumeDb = 0;
    media::ColorValues colors;
    // Handed out by GetPictureControls; detached when the player goes.
    std::shared_ptr<media::PaintedPictureControls> pictureControls;
    // A disc in a drive: the device node, asked for the drive's status.
    int driveFd = -1;
    bool ejected = false;

    mutable std::mutex mutex;
    Observed o;

    // Command thread.
    std::thread worker;
    std::mutex jobMutex;
    std::condition_variable jobWake;
    std::deque<std::function<void()>> jobs;
    bool quit = false;
    std::atomic<bool> workerDone{false};
    std::atomic<long> nextCommandId{1};
    std::chrono::steady_clock::time_point lastFastStep;

    void Push(long code, LPARAM p1 = 0, LPARAM p2 = 0) { events->Push(code, p1, p2); }

    // ---- command thread ----
    void StartWorker()
    {
        worker = std::thread([this] { WorkerLoop(); });
    }
    void WorkerLoop()
    {
        auto nextPoll = std::chrono::steady_clock::now();
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock<std::mutex> lock(jobMutex);
                jobWake.wait_until(lock, nextPoll, [this] { return quit || !jobs.empty(); });
                if (quit) break;
                if (!jobs.empty()) {
                    job = std::move(jobs.front());
                    jobs.pop_front();
                }
            }
            if (job) {
                job();
                continue;
            }
            Poll();
            nextPoll = std::chrono::steady_clock::now() + kPollInterval;
        }
        workerDone = true;
    }
    // Runs `work` on the command thread. With the block flag the caller waits
    // for its end, at most 2 seconds; with the send-events flag the command is
    // framed by EC_DVD_CMD_START and EC_DVD_CMD_END.
    HRESULT Post(DWORD flags, std::function<HRESULT()> work, bool keepsRate = false)
    {
        const long id = nextCommandId++;
        auto promise = std::make_shared<std::promise<HRESULT>>();
        std::future<HRESULT> result = promise->get_future();
        const bool sendEvents = flags & DVD_CMD_FLAG_SendEvents;
        if (sendEvents) Push(EC_DVD_CMD_START, id, 0);
        {
            std::lock_guard<std::mutex> lock(jobMutex);
            jobs.push_back([this, work = std::move(work), promise, sendEvents, id, keepsRate] {
                if (!keepsRate) NormalSpeed();
                const HRESULT hr = work();
                if (sendEvents) Push(EC_DVD_CMD_END, id, hr);
                promise->set_value(hr);
            });
        }
        jobWake.notify_one();
        if (!(flags & DVD_CMD_FLAG_Block)) return S_OK;
        if (result.wait_for(kBlockLimit) != std::future_status::ready) return VFW_E_TIMEOUT;
        return result.get();
    }
    // True when the command thread has ended; false when a command is stuck
    // inside rsndvdbin (the thread is then left to it).
    bool StopWorker()
    {
        {
            std::lock_guard<std::mutex> lock(jobMutex);
            quit = true;
        }
        jobWake.notify_one();
        if (!worker.joinable()) return true;
        // A command stuck inside rsndvdbin never returns; the window must not
        // wait for it.
        for (int i = 0; i < 200 && !workerDone; ++i) std::this_thread::sleep_for(10ms);
        if (workerDone) {
            worker.join();
            return true;
        }
        worker.detach();
        return false;
    }
    // Main thread, when the player goes.
    void Shutdown()
    {
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

    // ---- commands (command thread) ----
    bool SeekTo(gint format, gint64 value)
    {
        if (format == GST_FORMAT_UNDEFINED ||
            !gst_element_seek(pipeline, 1.0, static_cast<GstFormat>(format), GstSeekFlags(GST_SEEK_FLAG_FLUSH),
                              GST_SEEK_TYPE_SET, value, GST_SEEK_TYPE_NONE, -1))
            return false;
        StreamTimeRestarts();
        return true;
    }
    // After a flushing seek the stream's time is the title's own again. The
    // flush reaches the video output's probe only after its queues, while
    // the next poll (on this thread) already reads the new position.
    void StreamTimeRestarts()
    {
        std::lock_guard<std::mutex> lock(mutex);
        o.StreamTimeRestarts();
    }
    bool SendNavigation(GstEvent* event)
    {
        if (spu) {
            g_autoptr(GstPad) pad = gst_element_get_static_pad(spu, "src");
            return pad && gst_pad_send_event(pad, event);
        }
        return gst_element_send_event(pipeline, event);
    }
    // Command thread. rsndvdbin announces a menu's still before it shows the
    // buttons and ignores button input until then: wait for them a moment.
    void WaitForButtons()
    {
        for (int i = 0; i < 100; ++i) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (o.highlighted) return;
            }
            std::this_thread::sleep_for(10ms);
        }
    }
    HRESULT ButtonCommand(GstNavigationCommand command)
    {
        WaitForButtons();
        return Command(command);
    }
    HRESULT Command(GstNavigationCommand command)
    {
        return SendNavigation(gst_navigation_event_new_command(command)) ? S_OK : E_FAIL;
    }
    bool Query(gint format, gint64* value)
    {
        return format != GST_FORMAT_UNDEFINED &&
               gst_element_query_position(pipeline, static_cast<GstFormat>(format), value);
    }
    // The pipeline's running time while it plays; -1 otherwise.
    gint64 RunningTime() const
    {
        if (GST_STATE(pipeline) != GST_STATE_PLAYING) return -1;
        g_autoptr(GstClock) clock = gst_element_get_clock(pipeline);
        if (!clock) return -1;
        return gint64(gst_clock_get_time(clock)) - gint64(gst_element_get_base_time(pipeline));
    }
    void NormalSpeed()
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (o.rate == 1.0) return;
        o.rate = 1.0;
        lock.unlock();
        ApplyVolume();
        Push(EC_DVD_PLAYBACK_RATE_CHANGE, 10000, 0);
    }
    void ApplyVolume()
    {
        if (!volume) return;
        bool mute;
        {
            std::lock_guard<std::mutex> lock(mutex);
            mute = o.rate != 1.0 && !(o.rate > 0 && audioDuringFastPlay);
        }
        g_object_set(volume, "volume", media::LinearVolume(volumeDb), "mute", mute ? TRUE : FALSE, nullptr);
    }

    // The 250 ms look at rsndvdbin: title, chapter, time and what follows
    // from them.
    void Poll()
    {
        // rsndvdbin's source registers its formats when it is first made.
        if (titleFormat == GST_FORMAT_UNDEFINED) {
            titleFormat = gst_format_get_by_nick("title");
            chapterFormat = gst_format_get_by_nick("chapter");
        }
        gint64 title = 0, chapter = 0, position = -1, duration = -1;
        bool haveTitle = Query(titleFormat, &title);
        bool haveChapter = Query(chapterFormat, &chapter);
        Query(GST_FORMAT_TIME, &position);
        gst_element_query_duration(pipeline, GST_FORMAT_TIME, &duration);
        const gint64 running = RunningTime();
        if (position >= 0) {
            std::lock_guard<std::mutex> lock(mutex);
            if (o.nextTitleStartNs >= 0 && running >= o.nextTitleRunningNs) {
                o.titleStartNs = o.nextTitleStartNs;
                o.nextTitleStartNs = -1;
            }
            // rsndvdbin answers with the title it reads: until its video
            // output names that title and the running time reaches its first
            // picture, the screen shows the end of the one before.
            const bool readAhead = haveTitle && title > 0 && o.streamTitle > 0 && title != o.streamTitle;
            if (readAhead || o.nextTitleStartNs >= 0) haveTitle = haveChapter = false;
            position = std::max<gint64>(position - o.titleStartNs, 0);
        }
        FastPlayStep(position, duration);
        WatchDrive();

        std::unique_lock<std::mutex> lock(mutex);
        if (haveTitle) o.title = ULONG(std::max<gint64>(title, 0));
        if (haveChapter) o.chapter = ULONG(std::max<gint64>(chapter, 0));
        if (position >= 0) o.positionNs = position;
        if (duration >= 0) o.durationNs = duration;
        Domain domain;
        if (o.eos)
            domain = DVD_DOMAIN_Stop;
        else if (!o.navFlowing)
            domain = DVD_DOMAIN_FirstPlay;
        else if (o.inMenu)
            domain = haveTitle && o.title > 0 ? DVD_DOMAIN_VideoTitleSetMenu : DVD_DOMAIN_VideoManagerMenu;
        else
            domain = DVD_DOMAIN_Title;
        o.domain = domain;

        std::vector<media::GraphEvent> out;
        if (domain != o.reportedDomain) {
            o.reportedDomain = domain;
            out.push_back({EC_DVD_DOMAIN_CHANGE, domain, 0});
        }
        if (domain == DVD_DOMAIN_Title) {
            if (o.title != o.reportedTitle && o.title > 0) {
                o.reportedTitle = o.title;
                o.reportedChapter = 0;
                o.reportedSecond = -1;
                ApplyDefaultLanguages();
                // rsndvdbin picks the new title's subpicture while it still
                // counts as a menu, where the user's choice is not applied:
                // the choice goes again with the title's data, and the title's
                // subpicture state is reported at its start even when the
                // record kept its value, so the window can check its mark.
                if (o.chosenShown >= 0 || o.chosenSub >= 0) o.pushSub = true;
                o.reportedShown = -1;
                out.push_back({EC_DVD_TITLE_CHANGE, LPARAM(o.title), 0});
            }
            if (o.chapter != o.reportedChapter && o.chapter > 0) {
                o.reportedChapter = o.chapter;
                out.push_back({EC_DVD_CHAPTER_START, LPARAM(o.chapter), 0});
            }
            const int second = int(o.positionNs / GST_SECOND);
            if (second != o.reportedSecond) {
                o.reportedSecond = second;
                out.push_back({EC_DVD_CURRENT_HMSF_TIME, TimeAt(o.positionNs).Packed(), 0});
            }
        } else {
            o.reportedTitle = 0;
        }
        const DWORD uops = CurrentUops();
        if (uops != o.reportedUops) {
            o.reportedUops = uops;
            out.push_back({EC_DVD_VALID_UOPS_CHANGE, LPARAM(uops), 0});
        }
        if (o.audio != o.reportedAudio) {
            o.reportedAudio = o.audio;
            // A karaoke mode belongs to the stream it was chosen for.
            if (karaoke) karaoke->Reset();
            out.push_back({EC_DVD_AUDIO_STREAM_CHANGE, o.audio, 0});
        }
        if (o.subpicture != o.reportedSub || int(o.subShown) != o.reportedShown) {
            o.reportedSub = o.subpicture;
            o.reportedShown = o.subShown;
            out.push_back({EC_DVD_SUBPICTURE_STREAM_CHANGE, o.subpicture, o.subShown ? 1 : 0});
        }
        lock.unlock();
        for (const auto& e : out) Push(e.code, e.param1, e.param2);
    }

    void OpenDrive(const QString& path)
    {
        struct stat st {};
        const QByteArray local = QFile::encodeName(path);
        if (stat(local.constData(), &st) != 0 || !S_ISBLK(st.st_mode)) return;
        driveFd = open(local.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    // Command thread: an open tray or no disc ends the disc, once.
    void WatchDrive()
    {
        if (driveFd < 0 || ejected) return;
        const int status = ioctl(driveFd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
        if (status != CDS_TRAY_OPEN && status != CDS_NO_DISC) return;
        ejected = true;
        Push(EC_DVD_DISC_EJECTED);
    }

    HmsfTime TimeAt(gint64 ns) const
    {
        const gint64 s = ns / GST_SECOND;
        HmsfTime t;
        t.hours = BYTE(std::min<gint64>(s / 3600, 255));
        t.minutes = BYTE(s / 60 % 60);
        t.seconds = BYTE(s % 60);
        t.frames = BYTE(double(ns % GST_SECOND) / GST_SECOND * fps);
        return t;
    }

    // Under `mutex`.
    bool CurrentAudioIsKaraoke() const
    {
        if (o.domain != DVD_DOMAIN_Title || o.audio < 0) return false;
        const TitleInfo* t = disc.Title(o.title);
        return t && size_t(o.audio) < t->audio.size() && t->audio[size_t(o.audio)].karaoke;
    }

    // Under `mutex`. The disc's prohibitions (NAV pack, title, program
    // chain), and what the layer cannot do now.
    DWORD CurrentUops() const
    {
        DWORD uops = 0;
        if (o.hasPci) uops |= UopsFromUserOps(UserOpsBits(&o.pci.pci_gi.vobu_uop_ctl));
        if (o.domain == DVD_DOMAIN_Title)
            if (const TitleInfo* t = disc.Title(o.title)) uops |= t->prohibited;
        if (o.still || o.domain == DVD_DOMAIN_FirstPlay || o.domain == DVD_DOMAIN_Stop) uops |= kSeekingOps;
        if (o.domain != DVD_DOMAIN_Title) uops |= UOP_FLAG_Play_Forwards | UOP_FLAG_Play_Backwards;
        // Karaoke mixing needs a karaoke stream in a title, and our mixer.
        if (!karaoke || !CurrentAudioIsKaraoke()) uops |= UOP_FLAG_Select_Karaoke_Audio_Presentation_Mode;
        return uops;
    }

    // Under `mutex`. rsndvdbin cannot seek out of a menu's endless still;
    // it takes a button's jump there. The button of this menu whose command
    // jumps to `title`, 0 when none does or the disc prohibits `op` here.
    int MenuButtonJumpingTo(ULONG title, DWORD op) const
    {
        if (!o.still || !o.hasPci) return 0;
        if (!o.inMenu || !o.navFlowing || o.eos) return 0;
        if (UopsFromUserOps(UserOpsBits(&o.pci.pci_gi.vobu_uop_ctl)) & op) return 0;
        const auto& hli = o.pci.hli;
        for (int i = 0; i < hli.hl_gi.btn_ns && i < 36; ++i)
            if (TitleJumpOf(hli.btnit[i].cmd.bytes) == int(title)) return i + 1;
        return 0;
    }
    // Command thread: activates the button and waits for the title's
    // pictures to flow.
    int LockedButtonJumpingTo(ULONG title, DWORD op)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return MenuButtonJumpingTo(title, op);
    }
    bool JumpByButton(int button)
    {
        WaitForButtons();
        long x, y;
        {
            std::lock_guard<std::mutex> lock(mutex);
            const btni_t& b = o.pci.hli.btnit[button - 1];
            x = long(b.x_start + b.x_end) / 2;
            y = long(b.y_start + b.y_end) / 2;
        }
        SendNavigation(gst_navigation_event_new_mouse_move(x, y, GST_NAVIGATION_MODIFIER_NONE));
        if (!SendNavigation(gst_navigation_event_new_mouse_button_release(1, x, y, GST_NAVIGATION_MODIFIER_NONE)))
            return false;
        // A loaded machine can take a few seconds to leave the menu.
        for (int i = 0; i < 500; ++i) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (!o.inMenu && !o.still) return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    // Under `mutex`, at a title's start: the default languages, unless the
    // user chose a stream.
    void ApplyDefaultLanguages()
    {
        const TitleInfo* t = disc.Title(o.title);
        if (!t) return;
        if (!o.userChoseAudio && !o.defaultAudio.isEmpty()) {
            for (size_t i = 0; i < t->audio.size(); ++i)
                if (t->audio[i].language == o.defaultAudio) {
                    o.chosenAudio = LONG(i);
                    o.pushAudio = true;
                    break;
                }
        }
        if (!o.userChoseSub && !o.defaultSub.isEmpty()) {
            for (size_t i = 0; i < t->subpictures.size(); ++i)
                if (t->subpictures[i].language == o.defaultSub) {
                    o.chosenSub = LONG(i);
                    o.pushSub = true;
                    break;
                }
        }
    }

    // Fast play: flushing key-unit seeks of rate x 0.5 s every 500 ms.
    void FastPlayStep(gint64 position, gint64 duration)
    {
        double rate;
        {
            std::lock_guard<std::mutex> lock(mutex);
            rate = o.rate;
        }
        if (rate == 1.0 || position < 0) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastFastStep < kFastPlayStep) return;
        lastFastStep = now;
        const gint64 target = position + gint64(rate * 0.5 * GST_SECOND);
        if (target <= 0 || (duration > 0 && target >= duration)) {
            NormalSpeed();   // the title's start or end: normal speed again
            return;
        }
        if (gst_element_seek(pipeline, 1.0, GST_FORMAT_TIME, GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT),
                             GST_SEEK_TYPE_SET, target, GST_SEEK_TYPE_NONE, -1))
            StreamTimeRestarts();
    }

    // ---- streaming threads ----
    // rsndvdbin's video output: where each title begins in the stream's time.
    static GstPadProbeReturn OnVideoOutput(GstPad* pad, GstPadProbeInfo* info, gpointer data)
    {
        static_cast<PlayerPrivate*>(data)->VideoOutputData(pad, info);
        return GST_PAD_PROBE_OK;
    }
    void VideoOutputData(GstPad* pad, GstPadProbeInfo* info)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
            o.flushedSincePicture = false;
            GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
            if (!o.startAtNextPicture || !GST_BUFFER_PTS_IS_VALID(buffer)) return;
            g_autoptr(GstEvent) event = gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0);
            const GstSegment* segment = nullptr;
            if (event) gst_event_parse_segment(event, &segment);
            if (!segment || segment->format != GST_FORMAT_TIME) return;
            const guint64 at = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
            const guint64 running = gst_segment_to_running_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
            if (at == GST_CLOCK_TIME_NONE || running == GST_CLOCK_TIME_NONE) return;
            o.nextTitleStartNs = gint64(at);
            o.nextTitleRunningNs = gint64(running);
            o.startAtNextPicture = false;
            return;
        }
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (!event) return;
        if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) {
            o.StreamTimeRestarts();
            return;
        }
        if (GST_EVENT_TYPE(event) != GST_EVENT_TAG) return;
        GstTagList* tags = nullptr;
        gst_event_parse_tag(event, &tags);
        g_autofree gchar* name = nullptr;
        if (!tags || !gst_tag_list_get_string(tags, GST_TAG_TITLE, &name)) return;
        // "Title 1, Chapter 2" in titles, "DVD Menu" in menus.
        const int title = g_str_has_prefix(name, "Title ") ? int(g_ascii_strtoll(name + 6, nullptr, 10)) : 0;
        if (title == o.streamTitle) return;
        // The first title, and one a seek went to, start where their time
        // says; menus have no time of their own.
        const bool seamless = o.streamTitle >= 0 && !o.flushedSincePicture;
        o.streamTitle = title;
        o.startAtNextPicture = seamless && title > 0;
    }
    static void WatchVideoOutput(GstPad* pad, PlayerPrivate* d)
    {
        gst_pad_add_probe(pad,
                          GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                                          GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                          OnVideoOutput, d, nullptr);
    }
    static GstPadProbeReturn OnSourcePad(GstPad* pad, GstPadProbeInfo* info, gpointer data)
    {
        return static_cast<PlayerPrivate*>(data)->SourceData(pad, info);
    }
    GstPadProbeReturn SourceData(GstPad* pad, GstPadProbeInfo* info)
    {
        if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
            GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
            GstMapInfo map;
            if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                for (gsize at = 0; at + 2048 <= map.size; at += 2048)
                    if (IsNavPack(map.data + at)) NavPack(map.data + at);
                gst_buffer_unmap(buffer, &map);
            }
            PushChosenStreams(pad);
            return GST_PAD_PROBE_OK;
        }
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (!event) return GST_PAD_PROBE_OK;
        gboolean stillState = FALSE;
        if (gst_video_event_parse_still_frame(event, &stillState)) {
            Still(stillState);
            return GST_PAD_PROBE_OK;
        }
        if (GST_EVENT_TYPE(event) == GST_EVENT_TAG) {
            GstTagList* tags = nullptr;
            gst_event_parse_tag(event, &tags);
            gchar* title = nullptr;
            if (tags && gst_tag_list_get_string(tags, GST_TAG_TITLE, &title)) {
                std::lock_guard<std::mutex> lock(mutex);
                // "Title 1, Chapter 2" in titles, "DVD Menu" in menus.
                o.inMenu = !g_str_has_prefix(title, "Title");
                g_free(title);
            }
            return GST_PAD_PROBE_OK;
        }
        const GstStructure* s = gst_event_get_structure(event);
        if (!s || !gst_structure_has_name(s, "application/x-gst-dvd")) return GST_PAD_PROBE_OK;
        const gchar* kind = gst_structure_get_string(s, "event");
        if (!kind) return GST_PAD_PROBE_OK;
        if (g_str_equal(kind, "dvd-lang-codes")) {
            LangCodes(s);
        } else if (g_str_equal(kind, "dvd-set-audio-track")) {
            GstEvent* replaced = AudioTrack(s);
            if (replaced) {
                gst_event_unref(event);
                GST_PAD_PROBE_INFO_DATA(info) = replaced;
            }
        } else if (g_str_equal(kind, "dvd-set-subpicture-track")) {
            GstEvent* replaced = SubpictureTrack(s);
            if (replaced) {
                gst_event_unref(event);
                GST_PAD_PROBE_INFO_DATA(info) = replaced;
            }
        } else if (g_str_equal(kind, "dvd-spu-highlight")) {
            int button = 0;
            std::lock_guard<std::mutex> lock(mutex);
            o.highlighted = true;
            if (gst_structure_get_int(s, "button", &button)) o.button = button;
        } else if (g_str_equal(kind, "dvd-spu-reset-highlight")) {
            std::lock_guard<std::mutex> lock(mutex);
            o.highlighted = false;
        }
        return GST_PAD_PROBE_OK;
    }

    void NavPack(const guint8* sector)
    {
        pci_t pci;
        navRead_PCI(&pci, const_cast<unsigned char*>(sector + 0x2D));
        bool stillEnded;
        {
            std::lock_guard<std::mutex> lock(mutex);
            o.pci = pci;
            o.hasPci = true;
            o.navFlowing = true;
            // rsndvdbin sends no data during a still and does not always
            // say that a still ended: new data ends it.
            stillEnded = o.still;
        }
        if (stillEnded) Still(false);
    }

    void Still(bool on)
    {
        bool hasButtons;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (o.still == on) return;
            o.still = on;
            hasButtons = o.hasPci && o.pci.hli.hl_gi.btn_ns > 0;
        }
        if (on)
            Push(EC_DVD_STILL_ON, hasButtons ? 1 : 0, -1);
        else
            Push(EC_DVD_STILL_OFF);
    }

    void LangCodes(const GstStructure* s)
    {
        std::lock_guard<std::mutex> lock(mutex);
        o.audioCount = 0;
        o.subCount = 0;
        for (int i = 0; i < 8; ++i) {
            const std::string key = "audio-" + std::to_string(i) + "-stream";
            int physical;
            if (!gst_structure_get_int(s, key.c_str(), &physical)) break;
            o.audioPhysical[o.audioCount++] = physical;
        }
        for (int i = 0; i < 32; ++i) {
            const std::string key = "subpicture-" + std::to_string(i) + "-stream";
            int physical;
            if (!gst_structure_get_int(s, key.c_str(), &physical)) break;
            o.subPhysical[o.subCount++] = physical;
        }
    }

    // rsndvdbin repeats its choice at every cell: turn it into the user's.
    GstEvent* AudioTrack(const GstStructure* s)
    {
        std::lock_guard<std::mutex> lock(mutex);
        int logical = 0;
        gst_structure_get_int(s, "logical-id", &logical);
        if (o.chosenAudio < 0 || o.chosenAudio >= o.audioCount || o.inMenu) {
            o.audio = logical;
            return nullptr;
        }
        o.audio = o.chosenAudio;
        return MakeAudioEvent();
    }
    GstEvent* MakeAudioEvent() const
    {
        GstStructure* s = gst_structure_new("application/x-gst-dvd", "event", G_TYPE_STRING, "dvd-set-audio-track",
                                            "logical-id", G_TYPE_INT, int(o.chosenAudio), "physical-id", G_TYPE_INT,
                                            o.audioPhysical[o.chosenAudio], nullptr);
        return gst_event_new_custom(GST_EVENT_CUSTOM_DOWNSTREAM, s);
    }
    GstEvent* SubpictureTrack(const GstStructure* s)
    {
        std::lock_guard<std::mutex> lock(mutex);
        int logical = 0;
        gboolean forcedOnly = TRUE;
        gst_structure_get_int(s, "logical-id", &logical);
        gst_structure_get_boolean(s, "forced-only", &forcedOnly);
        const bool chosen = (o.chosenSub >= 0 && o.chosenSub < o.subCount) || o.chosenShown >= 0;
        if (!chosen || o.inMenu) {
            if (!o.inMenu) {
                o.subpicture = logical < 32 ? logical : 0;
                o.subShown = !forcedOnly && logical < 32;
            }
            return nullptr;
        }
        return MakeSubpictureEvent(logical);
    }
    GstEvent* MakeSubpictureEvent(int discLogical)
    {
        const LONG stream = o.chosenSub >= 0 && o.chosenSub < o.subCount ? o.chosenSub
                            : discLogical < o.subCount                   ? discLogical
                                                                         : 0;
        const bool shown = o.chosenShown >= 0 ? o.chosenShown == 1 : true;
        o.subpicture = stream;
        o.subShown = shown && o.subCount > 0;
        const int physical = o.subCount > 0 ? o.subPhysical[stream] : 0;
        GstStructure* s = gst_structure_new(
            "application/x-gst-dvd", "event", G_TYPE_STRING, "dvd-set-subpicture-track", "logical-id", G_TYPE_INT,
            int(stream), "physical-id", G_TYPE_INT, physical, "forced-only", G_TYPE_BOOLEAN, !o.subShown, nullptr);
        return gst_event_new_custom(GST_EVENT_CUSTOM_DOWNSTREAM, s);
    }
    // A changed choice is sent at once, before the next data.
    void PushChosenStreams(GstPad* pad)
    {
        GstEvent* audioEvent = nullptr;
        GstEvent* subEvent = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (o.inMenu) return;
            if (o.pushAudio && o.chosenAudio >= 0 && o.chosenAudio < o.audioCount) {
                o.audio = o.chosenAudio;
                audioEvent = MakeAudioEvent();
            }
            if (o.pushSub) subEvent = MakeSubpictureEvent(int(o.subpicture));
            o.pushAudio = o.pushSub = false;
        }
        if (audioEvent) gst_pad_push_event(pad, audioEvent);
        if (subEvent) {
            g_autoptr(GstStructure) copy = gst_structure_copy(gst_event_get_structure(subEvent));
            gst_pad_push_event(pad, subEvent);
            TellOverlayNow(copy);
        }
    }
    // The subpicture mixer queues a stream choice that comes with the data
    // behind the subpicture it is drawing and acts on it only when that
    // subpicture's next command is due: a subtitle shown for a minute would
    // stay shown (or hidden) that long after the user's choice. A choice the
    // user makes is therefore also given to the mixer out of band, which it
    // applies to the very next picture; the queued copy changes nothing when
    // its turn comes, as later choices follow it in the same order. The
    // disc's own choices (and ours put in their place) keep their place in
    // the data: they come where a title or cell starts.
    void TellOverlayNow(const GstStructure* choice)
    {
        g_autoptr(GstPad) pad = OverlaySubpicturePad();
        if (!pad || !choice) return;
        gst_pad_send_event(pad, gst_event_new_custom(GST_EVENT_CUSTOM_DOWNSTREAM_OOB, gst_structure_copy(choice)));
    }
    // The subpicture input of the mixer: ours in the manual build, the one
    // playbin made in the automatic build (null until it made one).
    GstPad* OverlaySubpicturePad()
    {
        if (spu) return gst_element_get_static_pad(spu, "subpicture");
        if (!pipeline) return nullptr;
        GstPad* found = nullptr;
        GstIterator* it = gst_bin_iterate_recurse(GST_BIN(pipeline));
        GValue item = G_VALUE_INIT;
        while (!found && gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
            GstElement* e = GST_ELEMENT(g_value_get_object(&item));
            GstElementFactory* f = gst_element_get_factory(e);
            if (f && g_str_equal(gst_plugin_feature_get_name(f), "dvdspu"))
                found = gst_element_get_static_pad(e, "subpicture");
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(it);
        return found;
    }

    void OnBus(GstMessage* message)
    {
        switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_EOS: {
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (o.eos) return;
                o.eos = true;
                o.domain = DVD_DOMAIN_Stop;
                o.reportedDomain = DVD_DOMAIN_Stop;
            }
            Push(EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Stop, 0);
            Push(EC_DVD_PLAYBACK_STOPPED);
            break;
        }
        case GST_MESSAGE_ERROR: {
            g_autoptr(GError) error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            Push(EC_DVD_ERROR, ErrorKind(error), 0);
            break;
        }
        case GST_MESSAGE_WARNING: {
            g_autoptr(GstObject) navigator = NavigatorBin();
            const long kind = DiscWarningKind(message, navigator);
            if (kind != 0) Push(EC_DVD_WARNING, kind, 0);
            break;
        }
        case GST_MESSAGE_ELEMENT: {
            if (gst_navigation_message_get_type(message) == GST_NAVIGATION_MESSAGE_ANGLES_CHANGED) {
                guint angle = 1, angles = 1;
                gst_navigation_message_parse_angles_changed(message, &angle, &angles);
                bool changed;
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    changed = o.angle != angle || o.angles != angles;
                    o.angle = angle;
                    o.angles = angles;
                }
                if (changed) {
                    Push(EC_DVD_ANGLES_AVAILABLE, angles > 1 ? 1 : 0, 0);
                    Push(EC_DVD_ANGLE_CHANGE, LPARAM(angles), LPARAM(angle));
                }
            }
            break;
        }
        default:
            break;
        }
    }

    // Error 2 is a read error of a scrambled disc without a descrambler
    // library; any other stream error is 1.
    static long ErrorKind(const GError* error)
    {
        if (error && error->domain == GST_RESOURCE_ERROR && error->code == GST_RESOURCE_ERROR_READ) {
            static const bool descrambler = [] {
                void* library = dlopen("libdvdcss.so.2", RTLD_LAZY | RTLD_LOCAL);
                if (library) dlclose(library);
                return library != nullptr;
            }();
            if (!descrambler) return DVD_ERROR_CopyProtectFail;
        }
        return DVD_ERROR_Unexpected;
    }

    // ---- building ----
    bool FindSource()
    {
        if (!nav) return false;
        GstElement* found = gst_bin_get_by_name(GST_BIN(nav), "dvdsrc");
        if (!found) return false;
        const bool attached = AttachSource(found);
        gst_object_unref(found);
        return attached;
    }
    // Takes rsndvdbin's source: fast start off, and our probe on its output.
    bool AttachSource(GstElement* element)
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
    std::mutex sourceMutex;
    // rsndvdbin (a reference), the parent of the source once it was taken.
    GstObject* NavigatorBin()
    {
        std::lock_guard<std::mutex> lock(sourceMutex);
        return source ? gst_object_get_parent(GST_OBJECT(source)) : nullptr;
    }

    HRESULT Preroll()
    {
        bus.Attach(pipeline, Handlers());
        if (gst_element_set_state(pipeline, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) return E_FAIL;
        if (!automatic && !FindSource()) return E_FAIL;
        StartWorker();
        return S_OK;
    }
    std::vector<media::BusWatch::Handler> Handlers()
    {
        std::vector<media::BusWatch::Handler> handlers;
        if (video) handlers.push_back(video->BusHandler());
        handlers.push_back([this](GstMessage* m) { OnBus(m); });
        return handlers;
    }

    static void OnPadAdded(GstElement*, GstPad* pad, gpointer data)
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
    GstElement* videoQueue = nullptr;   // identity
    GstElement* audioQueue = nullptr;   // identity

    ~PlayerPrivate()
    {
        if (source) gst_object_unref(source);
        if (driveFd >= 0) close(driveFd);
    }
};

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
    if (!d.disc.Open(options.path)) return E_INVALIDARG;
    d.OpenDrive(VolumePath(options.path));
    d.directory = VolumePath(options.path);
    d.fps = d.disc.MenuVideo().height == 576 ? 25.0 : 30.0;
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
    const QByteArray device = QFile::encodeName(VolumePath(options.path));
    g_object_set(nav, "device", device.constData(), nullptr);
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
    const HRESULT hr = d.Preroll();
    if (FAILED(hr)) return hr;
    *out = std::move(player);
    return S_OK;
}

HRESULT DvdPlayer::CreateAutomatic(const QString& path, QWidget* panel, std::unique_ptr<DvdPlayer>* out)
{
    std::unique_ptr<DvdPlayer> player(new DvdPlayer);
    PlayerPrivate& d = *player->d;
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
QImage DvdPlayer::CurrentImage() const { return d->video ? d->video->CurrentImage() : QImage(); }
const DiscInfo& DvdPlayer::Disc() const { return d->disc; }

// ---- control ----

HRESULT DvdPlayer::Run()
{
    return d->Post(DVD_CMD_FLAG_None, [this] {
        return gst_element_set_state(d->pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE ? E_FAIL : S_OK;
    }, true);
}

HRESULT DvdPlayer::Pause()
{
    return d->Post(DVD_CMD_FLAG_None, [this] {
        return gst_element_set_state(d->pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE ? E_FAIL : S_OK;
    });
}

HRESULT DvdPlayer::Stop()
{
    // Stop keeps the place (the player turns reset-on-stop off): a pause.
    return Pause();
}

namespace {
bool Prohibited(DWORD uops, DWORD flag) { return (uops & flag) != 0; }
}  // namespace

HRESULT DvdPlayer::PlayTitle(ULONG title, DWORD flags)
{
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (!d->disc.Title(title)) return E_INVALIDARG;
    if (Prohibited(uops, UOP_FLAG_Play_Title)) {
        const int button = d->LockedButtonJumpingTo(title, UOP_FLAG_Play_Title);
        if (button == 0) return VFW_E_DVD_OPERATION_INHIBITED;
        return d->Post(flags, [this, button] { return d->JumpByButton(button) ? S_OK : E_FAIL; });
    }
    return d->Post(flags, [this, title] { return d->SeekTo(d->titleFormat, title) ? S_OK : E_FAIL; });
}

HRESULT DvdPlayer::PlayChapterInTitle(ULONG title, ULONG chapter, DWORD flags)
{
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (Prohibited(uops, UOP_FLAG_Play_Chapter)) return VFW_E_DVD_OPERATION_INHIBITED;
    const TitleInfo* info = d->disc.Title(title);
    if (!info || chapter < 1 || int(chapter) > info->chapters) return E_INVALIDARG;
    return d->Post(flags, [this, title, chapter] {
        gint64 now = 0;
        if (!d->Query(d->titleFormat, &now) || now != gint64(title))
            if (!d->SeekTo(d->titleFormat, title)) return E_FAIL;
        return d->SeekTo(d->chapterFormat, chapter) ? S_OK : E_FAIL;
    });
}

HRESULT DvdPlayer::PlayAtTimeInTitle(ULONG title, const HmsfTime& time, DWORD flags)
{
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (!d->disc.Title(title)) return E_INVALIDARG;
    const gint64 ns = time.TotalSeconds() * GST_SECOND + gint64(time.frames / d->fps * GST_SECOND);
    if (Prohibited(uops, UOP_FLAG_Play_Title_Or_AtTime)) {
        // From a menu's still: into the title by its button, then to the time.
        const int button = d->LockedButtonJumpingTo(title, UOP_FLAG_Play_Title_Or_AtTime);
        if (button == 0) return VFW_E_DVD_OPERATION_INHIBITED;
        return d->Post(flags, [this, button, title, ns] {
            if (!d->JumpByButton(button)) return E_FAIL;
            // The title query answers once the title's first cell is read.
            gint64 now = 0;
            for (int i = 0; i < 100 && !(d->Query(d->titleFormat, &now) && now == gint64(title)); ++i)
                std::this_thread::sleep_for(10ms);
            if (now != gint64(title)) return E_FAIL;
            return ns <= 0 || d->SeekTo(GST_FORMAT_TIME, ns) ? S_OK : E_FAIL;
        });
    }
    return d->Post(flags, [this, title, ns] {
        gint64 now = 0;
        if (!d->Query(d->titleFormat, &now) || now != gint64(title))
            if (!d->SeekTo(d->titleFormat, title)) return E_FAIL;
        return d->SeekTo(GST_FORMAT_TIME, ns) ? S_OK : E_FAIL;
    });
}

HRESULT DvdPlayer::PlayAtTime(const HmsfTime& time, DWORD flags)
{
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (Prohibited(uops, UOP_FLAG_Play_Chapter_Or_AtTime)) return VFW_E_DVD_OPERATION_INHIBITED;
    Domain domain;
    GetCurrentDomain(&domain);
    if (domain != DVD_DOMAIN_Title) return VFW_E_DVD_INVALIDDOMAIN;
    const gint64 ns = time.TotalSeconds() * GST_SECOND + gint64(time.frames / d->fps * GST_SECOND);
    return d->Post(flags, [this, ns] { return d->SeekTo(GST_FORMAT_TIME, ns) ? S_OK : E_FAIL; });
}

HRESULT DvdPlayer::PlayNextChapter(DWORD flags)
{
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (Prohibited(uops, UOP_FLAG_PlayNext_Chapter)) return VFW_E_DVD_OPERATION_INHIBITED;
    Location at;
    GetCurrentLocation(&at);
    const TitleInfo* info = d->disc.Title(at.title);
    if (!info || int(at.chapter) >= info->chapters) return VFW_E_DVD_OPERATION_INHIBITED;
    const ULONG next = at.chapter + 1;
    return d->Post(flags, [this, next] { return d->SeekTo(d->chapterFormat, next) ? S_OK : E_FAIL; });
}

HRESULT DvdPlayer::PlayPrevChapter(DWORD flags)
{
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (Prohibited(uops, UOP_FLAG_PlayPrev_Or_Replay_Chapter)) return VFW_E_DVD_OPERATION_INHIBITED;
    Location at;
    GetCurrentLocation(&at);
    if (at.chapter < 1) return VFW_E_DVD_OPERATION_INHIBITED;
    const ULONG prev = std::max<ULONG>(at.chapter - 1, 1);
    return d->Post(flags, [this, prev] { return d->SeekTo(d->chapterFormat, prev) ? S_OK : E_FAIL; });
}

HRESULT DvdPlayer::PlayForwards(double speed, DWORD flags)
{
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (Prohibited(uops, UOP_FLAG_Play_Forwards)) return VFW_E_DVD_OPERATION_INHIBITED;
    if (speed <= 0) return E_INVALIDARG;
    return d->Post(flags, [this, speed] {
        if (speed == 1.0) {
            d->NormalSpeed();
            return S_OK;
        }
        {
            std::lock_guard<std::mutex> lock(d->mutex);
            d->o.rate = speed;
        }
        d->ApplyVolume();
        d->Push(EC_DVD_PLAYBACK_RATE_CHANGE, LPARAM(speed * 10000), 0);
        return S_OK;
    }, true);
}

HRESULT DvdPlayer::PlayBackwards(double speed, DWORD flags)
{
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (Prohibited(uops, UOP_FLAG_Play_Backwards)) return VFW_E_DVD_OPERATION_INHIBITED;
    if (speed <= 0) return E_INVALIDARG;
    return d->Post(flags, [this, speed] {
        {
            std::lock_guard<std::mutex> lock(d->mutex);
            d->o.rate = -speed;
        }
        d->ApplyVolume();
        d->Push(EC_DVD_PLAYBACK_RATE_CHANGE, LPARAM(-speed * 10000), 0);
        return S_OK;
    }, true);
}

HRESULT DvdPlayer::ShowMenu(Menu menu, DWORD flags)
{
    GstNavigationCommand command;
    DWORD flag;
    switch (menu) {
    case DVD_MENU_Title: command = GST_NAVIGATION_COMMAND_DVD_TITLE_MENU; flag = UOP_FLAG_ShowMenu_Title; break;
    case DVD_MENU_Root: command = GST_NAVIGATION_COMMAND_DVD_ROOT_MENU; flag = UOP_FLAG_ShowMenu_Root; break;
    case DVD_MENU_Subpicture: command = GST_NAVIGATION_COMMAND_DVD_SUBPICTURE_MENU; flag = UOP_FLAG_ShowMenu_SubPic; break;
    case DVD_MENU_Audio: command = GST_NAVIGATION_COMMAND_DVD_AUDIO_MENU; flag = UOP_FLAG_ShowMenu_Audio; break;
    case DVD_MENU_Angle: command = GST_NAVIGATION_COMMAND_DVD_ANGLE_MENU; flag = UOP_FLAG_ShowMenu_Angle; break;
    case DVD_MENU_Chapter: command = GST_NAVIGATION_COMMAND_DVD_CHAPTER_MENU; flag = UOP_FLAG_ShowMenu_Chapter; break;
    default: return E_INVALIDARG;
    }
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (Prohibited(uops, flag)) return VFW_E_DVD_OPERATION_INHIBITED;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (d->o.eos) return VFW_E_DVD_INVALIDDOMAIN;
    }
    return d->Post(flags, [this, command] { return d->Command(command); });
}

HRESULT DvdPlayer::Resume(DWORD flags)
{
    Domain domain;
    GetCurrentDomain(&domain);
    if (domain != DVD_DOMAIN_VideoManagerMenu && domain != DVD_DOMAIN_VideoTitleSetMenu)
        return VFW_E_DVD_INVALIDDOMAIN;
    return d->Post(flags, [this] { return d->Command(GST_NAVIGATION_COMMAND_DVD_MENU); });
}

HRESULT DvdPlayer::SelectRelativeButton(RelativeButton direction)
{
    GstNavigationCommand command;
    switch (direction) {
    case DVD_Relative_Upper: command = GST_NAVIGATION_COMMAND_UP; break;
    case DVD_Relative_Lower: command = GST_NAVIGATION_COMMAND_DOWN; break;
    case DVD_Relative_Left: command = GST_NAVIGATION_COMMAND_LEFT; break;
    case DVD_Relative_Right: command = GST_NAVIGATION_COMMAND_RIGHT; break;
    default: return E_INVALIDARG;
    }
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (!d->o.hasPci || d->o.pci.hli.hl_gi.btn_ns == 0) return VFW_E_DVD_NO_BUTTON;
    }
    return d->Post(DVD_CMD_FLAG_None, [this, command] { return d->ButtonCommand(command); });
}

HRESULT DvdPlayer::ActivateButton()
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        const auto& hli = d->o.pci.hli;
        if (!d->o.hasPci || hli.hl_gi.btn_ns == 0) return VFW_E_DVD_NO_BUTTON;
        // During a still, a command that does not branch would leave
        // rsndvdbin looking for the next NAV pack for ever.
        const int button = std::clamp(d->o.button, 1, int(hli.hl_gi.btn_ns));
        if (d->o.still && !CommandCanBranch(hli.btnit[button - 1].cmd.bytes)) return VFW_E_DVD_OPERATION_INHIBITED;
    }
    return d->Post(DVD_CMD_FLAG_None, [this] { return d->ButtonCommand(GST_NAVIGATION_COMMAND_ACTIVATE); });
}

namespace {
// The button under a point of the picture, 0 when none.
int ButtonAt(const pci_t& pci, long x, long y)
{
    for (int i = 0; i < pci.hli.hl_gi.btn_ns && i < 36; ++i) {
        const btni_t& b = pci.hli.btnit[i];
        if (x >= long(b.x_start) && x <= long(b.x_end) && y >= long(b.y_start) && y <= long(b.y_end)) return i + 1;
    }
    return 0;
}
}  // namespace

HRESULT DvdPlayer::SelectAtPosition(long x, long y)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (!d->o.hasPci || ButtonAt(d->o.pci, x, y) == 0) return VFW_E_DVD_NO_BUTTON;
    }
    return d->Post(DVD_CMD_FLAG_None, [this, x, y] {
        d->WaitForButtons();
        return d->SendNavigation(gst_navigation_event_new_mouse_move(x, y, GST_NAVIGATION_MODIFIER_NONE)) ? S_OK
                                                                                                          : E_FAIL;
    });
}

HRESULT DvdPlayer::ActivateAtPosition(long x, long y)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (!d->o.hasPci) return VFW_E_DVD_NO_BUTTON;
        const int button = ButtonAt(d->o.pci, x, y);
        if (button == 0) return VFW_E_DVD_NO_BUTTON;
        if (d->o.still && !CommandCanBranch(d->o.pci.hli.btnit[button - 1].cmd.bytes))
            return VFW_E_DVD_OPERATION_INHIBITED;
    }
    return d->Post(DVD_CMD_FLAG_None, [this, x, y] {
        d->WaitForButtons();
        d->SendNavigation(gst_navigation_event_new_mouse_move(x, y, GST_NAVIGATION_MODIFIER_NONE));
        return d->SendNavigation(gst_navigation_event_new_mouse_button_release(1, x, y, GST_NAVIGATION_MODIFIER_NONE))
                   ? S_OK
                   : E_FAIL;
    });
}

HRESULT DvdPlayer::SelectAngle(ULONG angle, DWORD flags)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (angle < 1 || angle > d->o.angles) return E_INVALIDARG;
    }
    // Next-angle commands until rsndvdbin reports the angle asked for.
    return d->Post(flags, [this, angle] {
        for (int i = 0; i < 9; ++i) {
            {
                std::lock_guard<std::mutex> lock(d->mutex);
                if (d->o.angle == angle) return S_OK;
            }
            if (FAILED(d->Command(GST_NAVIGATION_COMMAND_NEXT_ANGLE))) return E_FAIL;
            std::this_thread::sleep_for(50ms);
        }
        return E_FAIL;
    });
}

HRESULT DvdPlayer::SelectAudioStream(ULONG stream, DWORD flags)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (LONG(stream) >= d->o.audioCount) return E_INVALIDARG;
        d->o.chosenAudio = LONG(stream);
        d->o.userChoseAudio = true;
        d->o.pushAudio = true;
    }
    (void)flags;
    return S_OK;
}

HRESULT DvdPlayer::SelectSubpictureStream(ULONG stream, DWORD flags)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (LONG(stream) >= d->o.subCount) return E_INVALIDARG;
        d->o.chosenSub = LONG(stream);
        d->o.userChoseSub = true;
        d->o.pushSub = true;
    }
    (void)flags;
    return S_OK;
}

HRESULT DvdPlayer::SetSubpictureState(bool shown, DWORD flags)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->o.chosenShown = shown ? 1 : 0;
        d->o.pushSub = true;
    }
    (void)flags;
    return S_OK;
}

HRESULT DvdPlayer::SelectKaraokeAudioPresentationMode(ULONG mode)
{
    if (!d->karaoke) return E_NOTIMPL;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (!d->CurrentAudioIsKaraoke()) return VFW_E_DVD_OPERATION_INHIBITED;
    }
    d->karaoke->SetMode(mode);
    return S_OK;
}

HRESULT DvdPlayer::SetOption(Option option, bool on)
{
    switch (option) {
    case DVD_AudioDuringFFwdRew:
        d->audioDuringFastPlay = on;
        return S_OK;
    case DVD_ResetOnStop:   // Stop always keeps the place here
    case DVD_NotifyParentalLevelChange:
    case DVD_HMSF_TimeCodeEvents:
        return S_OK;
    }
    return E_INVALIDARG;
}

HRESULT DvdPlayer::SelectParentalLevel(ULONG) { return E_NOTIMPL; }

// The layer plays no parental management: it never asks, so nothing waits for the answer.
HRESULT DvdPlayer::AcceptParentalLevelChange(bool) { return S_FALSE; }

HRESULT DvdPlayer::SelectDefaultAudioLanguage(DWORD lcid)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->o.defaultAudio = CodeForLcid(lcid);
    return d->o.defaultAudio.isEmpty() ? E_INVALIDARG : S_OK;
}

HRESULT DvdPlayer::SelectDefaultSubpictureLanguage(DWORD lcid)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->o.defaultSub = CodeForLcid(lcid);
    return d->o.defaultSub.isEmpty() ? E_INVALIDARG : S_OK;
}

// rsndvdbin takes its menu language from the user's locale.
HRESULT DvdPlayer::SelectDefaultMenuLanguage(DWORD) { return E_NOTIMPL; }

HRESULT DvdPlayer::SetState(const SavedState& state, DWORD flags)
{
    StateRecord r;
    const HRESULT hr = ReadStateRecord(state.bytes, d->disc, &r);
    if (FAILED(hr)) return hr;
    const HRESULT played = PlayAtTimeInTitle(r.title, r.time, flags);
    if (FAILED(played)) return played;
    std::lock_guard<std::mutex> lock(d->mutex);
    if (r.audio >= 0) {
        d->o.chosenAudio = r.audio;
        d->o.userChoseAudio = true;
        d->o.pushAudio = true;
    }
    if (r.subpicture >= 0) {
        d->o.chosenSub = r.subpicture;
        d->o.userChoseSub = true;
    }
    d->o.chosenShown = r.subpictureShown ? 1 : 0;
    d->o.pushSub = true;
    return S_OK;
}

// ---- information ----

HRESULT DvdPlayer::GetCurrentDomain(Domain* domain) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    *domain = d->o.domain;
    return S_OK;
}

HRESULT DvdPlayer::GetCurrentLocation(Location* location) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->o.domain != DVD_DOMAIN_Title) return VFW_E_DVD_INVALIDDOMAIN;
    location->title = d->o.title;
    location->chapter = d->o.chapter;
    location->time = d->TimeAt(d->o.positionNs);
    return S_OK;
}

HRESULT DvdPlayer::GetTotalTitleTime(HmsfTime* time) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->o.domain != DVD_DOMAIN_Title) return VFW_E_DVD_INVALIDDOMAIN;
    const TitleInfo* info = d->disc.Title(d->o.title);
    if (!info) return VFW_E_DVD_INVALIDDOMAIN;
    *time = info->length;
    return S_OK;
}

HRESULT DvdPlayer::GetNumberOfTitles(ULONG* titles) const
{
    *titles = ULONG(d->disc.Titles().size());
    return S_OK;
}

HRESULT DvdPlayer::GetNumberOfChapters(ULONG title, ULONG* chapters) const
{
    const TitleInfo* info = d->disc.Title(title);
    if (!info) return E_INVALIDARG;
    *chapters = ULONG(info->chapters);
    return S_OK;
}

HRESULT DvdPlayer::GetCurrentAudio(ULONG* streams, ULONG* current) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    *streams = ULONG(d->o.audioCount);
    *current = ULONG(std::max<LONG>(d->o.audio, 0));
    return S_OK;
}

HRESULT DvdPlayer::GetAudioAttributes(ULONG stream, AudioAttributes* attributes) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const TitleInfo* info = d->disc.Title(d->o.title);
    if (!info || stream >= info->audio.size()) return E_INVALIDARG;
    *attributes = info->audio[stream];
    return S_OK;
}

HRESULT DvdPlayer::GetCurrentSubpicture(ULONG* streams, ULONG* current, bool* shown) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    *streams = ULONG(d->o.subCount);
    *current = ULONG(std::max<LONG>(d->o.subpicture, 0));
    *shown = d->o.subShown;
    return S_OK;
}

HRESULT DvdPlayer::GetSubpictureAttributes(ULONG stream, SubpictureAttributes* attributes) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const TitleInfo* info = d->disc.Title(d->o.title);
    if (!info || stream >= info->subpictures.size()) return E_INVALIDARG;
    *attributes = info->subpictures[stream];
    return S_OK;
}

HRESULT DvdPlayer::GetCurrentAngle(ULONG* angles, ULONG* current) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    *angles = d->o.angles;
    *current = d->o.angle;
    return S_OK;
}

HRESULT DvdPlayer::GetCurrentVideoAttributes(VideoAttributes* attributes) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const TitleInfo* info = d->o.domain == DVD_DOMAIN_Title ? d->disc.Title(d->o.title) : nullptr;
    *attributes = info ? info->video : d->disc.MenuVideo();
    return S_OK;
}

HRESULT DvdPlayer::GetCurrentUOPS(DWORD* prohibited) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    *prohibited = d->CurrentUops();
    return S_OK;
}

HRESULT DvdPlayer::GetDiscID(std::uint64_t* id) const
{
    *id = d->disc.DiscId();
    return S_OK;
}

HRESULT DvdPlayer::GetDVDVolumeName(QString* name) const
{
    *name = d->disc.VolumeName();
    return S_OK;
}

HRESULT DvdPlayer::GetDVDDirectory(QString* path) const
{
    *path = d->directory;
    return S_OK;
}

HRESULT DvdPlayer::GetState(SavedState* state) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    // Only a place in a title can be saved.
    if (d->o.domain != DVD_DOMAIN_Title || d->o.title == 0) return VFW_E_DVD_INVALIDDOMAIN;
    StateRecord r;
    r.discId = d->disc.DiscId();
    r.title = d->o.title;
    r.chapter = std::max<ULONG>(d->o.chapter, 1);
    r.time = d->TimeAt(d->o.positionNs);
    r.audio = d->o.userChoseAudio ? d->o.chosenAudio : d->o.audio;
    r.subpicture = d->o.subpicture;
    // A title without such streams has none to restore: the record says so,
    // or reading it back refuses it as corrupt.
    if (const TitleInfo* info = d->disc.Title(r.title)) {
        if (r.audio >= LONG(info->audio.size())) r.audio = -1;
        if (r.subpicture >= LONG(info->subpictures.size())) r.subpicture = -1;
    }
    r.subpictureShown = d->o.subShown;
    r.angle = d->o.angle;
    state->bytes = WriteStateRecord(r);
    return S_OK;
}

// ---- events ----

void DvdPlayer::SetNotifyWindow(TForm* window, UINT message, LPARAM lParam)
{
    d->events->SetWindow(window, message, lParam);
}

HRESULT DvdPlayer::GetEvent(long* code, LPARAM* param1, LPARAM* param2, long timeoutMs)
{
    media::GraphEvent e;
    if (!d->events->Take(&e, timeoutMs)) return E_ABORT;
    *code = e.code;
    *param1 = e.param1;
    *param2 = e.param2;
    return S_OK;
}

HRESULT DvdPlayer::FreeEventParams(long, LPARAM, LPARAM) { return S_OK; }

}  // namespace dvd

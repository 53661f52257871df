// The real DVD player's command thread: its loop and its queue, the commands
// it gives rsndvdbin (seeks, navigation events, fast play, sound), its 250 ms
// poll of rsndvdbin's place and what follows from it (the events of a new
// domain, title, chapter or second, the operations allowed now), the drive's
// tray, and the menu buttons a title jump goes through during a still.
#include "platform/dvd/player_private.h"

#include "platform/dvd/discinfo.h"

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <future>

namespace dvd {

using namespace std::chrono_literals;

namespace {

constexpr auto kBlockLimit = 2s;
constexpr auto kFastPlayStep = 500ms;

// Operations that make rsndvdbin seek; during a still they can loop for ever.
constexpr DWORD kSeekingOps = UOP_FLAG_Play_Title_Or_AtTime | UOP_FLAG_Play_Chapter | UOP_FLAG_Play_Title |
                              UOP_FLAG_Play_Chapter_Or_AtTime | UOP_FLAG_PlayPrev_Or_Replay_Chapter |
                              UOP_FLAG_PlayNext_Chapter | UOP_FLAG_Play_Forwards | UOP_FLAG_Play_Backwards;

}  // namespace

// ---- command thread ----

void PlayerPrivate::StartWorker()
{
    worker = std::thread([this] { WorkerLoop(); });
}

void PlayerPrivate::WorkerLoop()
{
    auto nextPoll = std::chrono::steady_clock::now();
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(jobMutex);
            jobWake.wait_until(lock, nextPoll, [this] { return quit || !jobs.empty() || pollSoon; });
            if (quit) break;
            if (!jobs.empty()) {
                job = std::move(jobs.front());
                jobs.pop_front();
            } else {
                pollSoon = false;
            }
        }
        if (job) {
            job();
            continue;
        }
        Poll();
        nextPoll = std::chrono::steady_clock::now() + pollInterval;
    }
    workerDone = true;
}

// The disc's first data gives its domain, and with it the picture's size
// the window takes: that look is not left to wait for the next tick.
void PlayerPrivate::PollSoon()
{
    {
        std::lock_guard<std::mutex> lock(jobMutex);
        pollSoon = true;
    }
    jobWake.notify_one();
}

// Runs `work` on the command thread. With the block flag the caller waits
// for its end, at most 2 seconds; with the send-events flag the command is
// framed by EC_DVD_CMD_START and EC_DVD_CMD_END.
HRESULT PlayerPrivate::Post(DWORD flags, std::function<HRESULT()> work, bool keepsRate)
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
bool PlayerPrivate::StopWorker()
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

// ---- commands (command thread) ----

namespace {

// The environment variable of the languages GLib lists first. It exists
// from before any thread of the program starts (empty, which GLib and
// gettext pass over, when the user set none), so a new value later only
// replaces its string in place: glibc then neither grows nor frees the
// environment under a thread that reads it.
const char kLanguageVariable[] = "LANGUAGE";
const bool kLanguageVariableKept = [] {
    setenv(kLanguageVariable, "", 0);
    return true;
}();

}  // namespace

// The pipeline to `state`. rsndvdbin's source opens the disc at the first
// start, within this call, and chooses the menu language from GLib's list of
// the user's languages (g_get_language_names, which reads the environment
// anew at each call): with a menu language chosen, the list names it alone
// for that moment.
bool PlayerPrivate::SetState(GstState state)
{
    QByteArray language;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!sourceStarted) language = menuLanguage.toLatin1();
        sourceStarted = true;
    }
    if (language.isEmpty() || !kLanguageVariableKept)
        return gst_element_set_state(pipeline, state) != GST_STATE_CHANGE_FAILURE;
    const QByteArray before = qgetenv(kLanguageVariable);
    setenv(kLanguageVariable, language.constData(), 1);
    const bool changed = gst_element_set_state(pipeline, state) != GST_STATE_CHANGE_FAILURE;
    setenv(kLanguageVariable, before.constData(), 1);
    return changed;
}

bool PlayerPrivate::SeekTo(gint format, gint64 value)
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
// A seek also clears the caption on the screen at once, paused or not; the
// decoder starts afresh with the next picture (on its streaming thread).
void PlayerPrivate::StreamTimeRestarts()
{
    bool captionGone;
    {
        std::lock_guard<std::mutex> lock(mutex);
        o.StreamTimeRestarts();
        captionGone = !captionText.isEmpty();
        captionText.clear();
    }
    captionsSought = true;
    if (captionGone) Push(EC_DVD_CAPTION_CHANGE);
}

bool PlayerPrivate::SendNavigation(GstEvent* event)
{
    if (spu) {
        g_autoptr(GstPad) pad = gst_element_get_static_pad(spu, "src");
        return pad && gst_pad_send_event(pad, event);
    }
    return gst_element_send_event(pipeline, event);
}

// Command thread. rsndvdbin announces a menu's still before it shows the
// buttons and ignores button input until then: wait for them a moment.
void PlayerPrivate::WaitForButtons()
{
    for (int i = 0; i < 100; ++i) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (o.highlighted) return;
        }
        std::this_thread::sleep_for(10ms);
    }
}

HRESULT PlayerPrivate::ButtonCommand(GstNavigationCommand command)
{
    WaitForButtons();
    return Command(command);
}

HRESULT PlayerPrivate::Command(GstNavigationCommand command)
{
    return SendNavigation(gst_navigation_event_new_command(command)) ? S_OK : E_FAIL;
}

bool PlayerPrivate::Query(gint format, gint64* value)
{
    return format != GST_FORMAT_UNDEFINED &&
           gst_element_query_position(pipeline, static_cast<GstFormat>(format), value);
}

// The pipeline's running time while it plays; -1 otherwise.
gint64 PlayerPrivate::RunningTime() const
{
    if (GST_STATE(pipeline) != GST_STATE_PLAYING) return -1;
    g_autoptr(GstClock) clock = gst_element_get_clock(pipeline);
    if (!clock) return -1;
    return gint64(gst_clock_get_time(clock)) - gint64(gst_element_get_base_time(pipeline));
}

void PlayerPrivate::NormalSpeed()
{
    std::unique_lock<std::mutex> lock(mutex);
    if (o.rate == 1.0) return;
    o.rate = 1.0;
    lock.unlock();
    ApplyVolume();
    Push(EC_DVD_PLAYBACK_RATE_CHANGE, 10000, 0);
}

void PlayerPrivate::ApplyVolume()
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
void PlayerPrivate::Poll()
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
    if (position >= 0) o.positionNs = position;
    // rsndvdbin's chapter is the one it reads, up to a second and a half
    // ahead of the picture: the chapter shown is the one that holds the
    // time shown, where the disc says where its chapters begin.
    if (haveChapter && position >= 0)
        if (const int shown = disc.ChapterAt(o.title, position / GST_MSECOND)) chapter = shown;
    if (haveChapter) o.chapter = ULONG(std::max<gint64>(chapter, 0));
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

void PlayerPrivate::OpenDrive(const QString& path)
{
    struct stat st {};
    const QByteArray local = QFile::encodeName(path);
    if (stat(local.constData(), &st) != 0 || !S_ISBLK(st.st_mode)) return;
    driveFd = open(local.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

// Command thread: an open tray or no disc ends the disc, once.
void PlayerPrivate::WatchDrive()
{
    if (driveFd < 0 || ejected) return;
    const int status = ioctl(driveFd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
    if (status != CDS_TRAY_OPEN && status != CDS_NO_DISC) return;
    ejected = true;
    Push(EC_DVD_DISC_EJECTED);
}

HmsfTime PlayerPrivate::TimeAt(gint64 ns) const
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
bool PlayerPrivate::CurrentAudioIsKaraoke() const
{
    if (o.domain != DVD_DOMAIN_Title || o.audio < 0) return false;
    const TitleInfo* t = disc.Title(o.title);
    return t && size_t(o.audio) < t->audio.size() && t->audio[size_t(o.audio)].karaoke;
}

// Under `mutex`. The disc's prohibitions (NAV pack, title, program
// chain), and what the layer cannot do now.
DWORD PlayerPrivate::CurrentUops() const
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
int PlayerPrivate::MenuButtonJumpingTo(ULONG title, DWORD op) const
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
int PlayerPrivate::LockedButtonJumpingTo(ULONG title, DWORD op)
{
    std::lock_guard<std::mutex> lock(mutex);
    return MenuButtonJumpingTo(title, op);
}

bool PlayerPrivate::JumpByButton(int button)
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
void PlayerPrivate::ApplyDefaultLanguages()
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
void PlayerPrivate::FastPlayStep(gint64 position, gint64 duration)
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

}  // namespace dvd

// The real DVD player's own state (player.h), shared by the files that
// carry it out by concern: player_pipeline.cpp (building and tearing down the
// pipeline, and its picture and sound), player_thread.cpp (the command thread,
// the commands it gives rsndvdbin and its 250 ms poll), player_watch.cpp (the
// streaming threads' probes and the bus: what rsndvdbin shows and says),
// player.cpp (the Navigator's commands) and player_info.cpp (the Navigator's
// information and events). Each method's comment stands at its definition;
// those marked "Under `mutex`" are called with `mutex` held.
#pragma once

#include "platform/dvd/captions.h"
#include "platform/dvd/karaoke.h"
#include "platform/dvd/player.h"
#include "platform/media/bus.h"
#include "platform/media/events.h"
#include "platform/media/output.h"

#include <gst/gst.h>
#include <gst/video/navigation.h>

#include <dvdread/nav_types.h>

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace dvd {

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
    // The captions of the pictures entering the subpicture mixer, a frame
    // before they show; their text under `mutex`.
    CaptionDecoder captions;
    QString captionText;
    std::atomic<bool> captionsSought{false};   // a seek: the decoder starts afresh
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
    // The menu language chosen (ISO 639-1; empty: the user's own), and
    // whether the source has opened the disc. Under `mutex`.
    QString menuLanguage;
    bool sourceStarted = false;
    long volumeDb = 0;
    media::ColorValues colors;
    // Handed out by GetPictureControls; detached when the player goes.
    std::shared_ptr<media::PaintedPictureControls> pictureControls;
    // A disc in a drive: the device node, asked for the drive's status.
    int driveFd = -1;
    bool ejected = false;

    mutable std::mutex mutex;
    Observed o;
    // Parental control, under `mutex`. rsndvdbin has no parental level of
    // its own: a title whose set needs a higher level than the one set is
    // held (the pipeline paused) until the user's answer.
    struct Parental {
        ULONG level = 0;              // 1 to 8; 0: no limit
        std::uint16_t country = 0;    // 0: the disc's first country
        bool notify = false;          // ask (EC_DVD_PARENTAL_LEVEL_CHANGE) rather than refuse
        int heldTitle = 0;            // waiting for AcceptParentalLevelChange
        int admittedTitle = 0;        // the last title the user let play
    } parental;

    // Command thread.
    std::thread worker;
    std::mutex jobMutex;
    std::condition_variable jobWake;
    std::deque<std::function<void()>> jobs;
    bool quit = false;
    bool pollSoon = false;   // a look wanted before the next tick
    std::chrono::milliseconds pollInterval{250};
    std::atomic<bool> workerDone{false};
    std::atomic<long> nextCommandId{1};
    std::chrono::steady_clock::time_point lastFastStep;

    void Push(long code, LPARAM p1 = 0, LPARAM p2 = 0) { events->Push(code, p1, p2); }

    // ---- command thread (player_thread.cpp) ----
    void StartWorker();
    void WorkerLoop();
    HRESULT Post(DWORD flags, std::function<HRESULT()> work, bool keepsRate = false);
    bool StopWorker();
    void PollSoon();

    // ---- commands (command thread; player_thread.cpp) ----
    bool SetState(GstState state);
    bool SeekTo(gint format, gint64 value);
    void StreamTimeRestarts();
    bool SendNavigation(GstEvent* event);
    void WaitForButtons();
    HRESULT ButtonCommand(GstNavigationCommand command);
    HRESULT Command(GstNavigationCommand command);
    bool Query(gint format, gint64* value);
    gint64 RunningTime() const;
    void NormalSpeed();
    void ApplyVolume();
    void Poll();
    void OpenDrive(const QString& path);
    void WatchDrive();
    HmsfTime TimeAt(gint64 ns) const;
    bool CurrentAudioIsKaraoke() const;
    DWORD CurrentUops() const;
    int MenuButtonJumpingTo(ULONG title, DWORD op) const;
    int LockedButtonJumpingTo(ULONG title, DWORD op);
    bool JumpByButton(int button);
    void ApplyDefaultLanguages();
    void FastPlayStep(gint64 position, gint64 duration);

    // ---- streaming threads and the bus (player_watch.cpp) ----
    static GstPadProbeReturn OnVideoOutput(GstPad* pad, GstPadProbeInfo* info, gpointer data);
    void VideoOutputData(GstPad* pad, GstPadProbeInfo* info);
    static void WatchVideoOutput(GstPad* pad, PlayerPrivate* d);
    static GstPadProbeReturn OnMixerInput(GstPad* pad, GstPadProbeInfo* info, gpointer data);
    void MixerInputData(GstPadProbeInfo* info);
    static GstPadProbeReturn OnSourcePad(GstPad* pad, GstPadProbeInfo* info, gpointer data);
    GstPadProbeReturn SourceData(GstPad* pad, GstPadProbeInfo* info);
    void NavPack(const guint8* sector);
    void Still(bool on);
    void CheckParentalLevel(int title);
    void LangCodes(const GstStructure* s);
    GstEvent* AudioTrack(const GstStructure* s);
    GstEvent* MakeAudioEvent() const;
    GstEvent* SubpictureTrack(const GstStructure* s);
    GstEvent* MakeSubpictureEvent(int discLogical);
    void PushChosenStreams(GstPad* pad);
    void TellOverlayNow(const GstStructure* choice);
    GstPad* OverlaySubpicturePad();
    void OnBus(GstMessage* message);
    long ErrorKind(const GError* error);
    int scrambled = -1;   // unknown until the disc's first read error

    // ---- building and tearing down (player_pipeline.cpp) ----
    bool FindSource();
    bool AttachSource(GstElement* element);
    std::mutex sourceMutex;
    GstObject* NavigatorBin();
    HRESULT Preroll();
    std::vector<media::BusWatch::Handler> Handlers();
    static void OnPadAdded(GstElement*, GstPad* pad, gpointer data);
    GstElement* videoQueue = nullptr;   // identity
    GstElement* audioQueue = nullptr;   // identity
    // Loads the decoders' plug-ins beside the navigator's start; joined
    // when the player goes.
    std::thread decoderLoad;

    void Shutdown();
    ~PlayerPrivate();
};

}  // namespace dvd

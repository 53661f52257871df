// The real DVD navigator: rsndvdbin plays the volume (its virtual machine,
// decoding, menus and stills) in a pipeline of ours, and this layer sends it
// commands and watches it.
//
//   manual build:  rsndvdbin "DVD Navigator" -> video: queue ! dvdspu ! [video filter] ! sink
//                                             subpicture: -> dvdspu
//                                             audio: queue ! audiomixmatrix ! volume ! [audio filter] ! sink
//   automatic build: playbin on "dvd://" + path with its own sinks
//
// Every command and every query to rsndvdbin runs on one command thread of
// ours, never on the window's thread: rsndvdbin can loop for ever inside a
// seek or a button activation during a still picture, so a blocking call waits
// at most 2 seconds and info calls answer from the state the layer observed
// (pad probes on rsndvdbin's source and on its video output, its bus and a
// 250 ms poll) and from libdvdread. Operations that would loop are refused during a still.
#pragma once

#include "platform/dvd/discinfo.h"
#include "platform/dvd/navigator.h"
#include "platform/media/graph.h"

#include <QString>
#include <QStringList>

#include <gst/gst.h>

#include <memory>

class QWidget;

namespace dvd {

class PlayerPrivate;

class DvdPlayer : public Navigator {
public:
    struct ManualOptions {
        QString path;                    // volume path (VIDEO_TS folder, the folder above, image, device)
        int renderer = media::RendererOverlay;   // the file graph's `Renderer` values
        QWidget* panel = nullptr;        // null: no picture (a sink that keeps time)
        QString audioSink;               // factory name; empty: the automatic one
        QString mixerName = "Overlay Mixer";   // name of the subpicture mixer element
        int pollMs = 250;                // the look at the navigator's title, time and domain
    };
    // Builds the manual pipeline and brings it to PAUSED; the picture shows
    // once it runs. E_INVALIDARG when the path holds no DVD-Video volume,
    // E_FAIL when an element is missing.
    static HRESULT CreateManual(const ManualOptions& options, std::unique_ptr<DvdPlayer>* player);
    // playbin on "dvd://" + path with its default sinks drawing into `panel`.
    static HRESULT CreateAutomatic(const QString& path, QWidget* panel, std::unique_ptr<DvdPlayer>* player);

    ~DvdPlayer() override;

    // ---- the pipeline ----
    // Element names in the pipeline (factory names) and the number of video
    // sinks in it.
    QStringList ElementFactories() const;
    // The pipeline itself, borrowed and only to be read (the filter list
    // walks its elements); valid while the player lives.
    GstElement* Pipeline() const;
    int VideoSinkCount() const;
    bool HasColorControls() const;
    HRESULT SetColorValues(const media::ColorValues& values);
    HRESULT GetColorValues(media::ColorValues* values) const;
    bool CanFlip() const;
    void SetFlip(bool horizontal, bool vertical);
    // The painted renderer's picture controls over this picture: its colour
    // stage and its flip. The same object on every call; null without a
    // colour stage. Once the player goes its calls fail with
    // VFW_E_NOT_CONNECTED.
    std::shared_ptr<media::PictureControls> GetPictureControls();
    HRESULT SetVideoPosition(const QRect& rect);
    HRESULT put_Volume(long hundredthsDb);
    HRESULT get_Volume(long* hundredthsDb) const;
    HRESULT put_Balance(long balance);
    // The picture's size and its display aspect.
    HRESULT GetNativeVideoSize(long* width, long* height) const;
    qint64 FirstFrameTime() const;
    quint64 FramesShown() const;
    // A still picture is on (with or without buttons).
    bool ShowsStill() const;
    QImage CurrentImage() const;
    const DiscInfo& Disc() const;
    // Closed captions: whether the pipeline decodes them (the manual build),
    // and the caption on the screen now, rows joined by line breaks.
    bool DecodesCaptions() const;
    QString CaptionText() const;

    // ---- Navigator ----
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT PlayTitle(ULONG title, DWORD flags) override;
    HRESULT PlayChapterInTitle(ULONG title, ULONG chapter, DWORD flags) override;
    HRESULT PlayAtTimeInTitle(ULONG title, const HmsfTime& time, DWORD flags) override;
    HRESULT PlayAtTime(const HmsfTime& time, DWORD flags) override;
    HRESULT PlayNextChapter(DWORD flags) override;
    HRESULT PlayPrevChapter(DWORD flags) override;
    HRESULT PlayForwards(double speed, DWORD flags) override;
    HRESULT PlayBackwards(double speed, DWORD flags) override;
    HRESULT ShowMenu(Menu menu, DWORD flags) override;
    HRESULT Resume(DWORD flags) override;
    HRESULT SelectRelativeButton(RelativeButton direction) override;
    HRESULT ActivateButton() override;
    HRESULT SelectAtPosition(long x, long y) override;
    HRESULT ActivateAtPosition(long x, long y) override;
    HRESULT SelectAngle(ULONG angle, DWORD flags) override;
    HRESULT SelectAudioStream(ULONG stream, DWORD flags) override;
    HRESULT SelectSubpictureStream(ULONG stream, DWORD flags) override;
    HRESULT SetSubpictureState(bool shown, DWORD flags) override;
    HRESULT SelectKaraokeAudioPresentationMode(ULONG mode) override;
    HRESULT SetOption(Option option, bool on) override;
    HRESULT SelectParentalLevel(ULONG level) override;
    HRESULT SelectParentalCountry(const BYTE country[2]) override;
    HRESULT AcceptParentalLevelChange(bool accept) override;
    HRESULT SelectDefaultAudioLanguage(DWORD lcid) override;
    HRESULT SelectDefaultSubpictureLanguage(DWORD lcid) override;
    HRESULT SelectDefaultMenuLanguage(DWORD lcid) override;
    HRESULT SetState(const SavedState& state, DWORD flags) override;
    HRESULT GetCurrentDomain(Domain* domain) const override;
    HRESULT GetCurrentLocation(Location* location) const override;
    HRESULT GetTotalTitleTime(HmsfTime* time) const override;
    HRESULT GetNumberOfTitles(ULONG* titles) const override;
    HRESULT GetNumberOfChapters(ULONG title, ULONG* chapters) const override;
    HRESULT GetCurrentAudio(ULONG* streams, ULONG* current) const override;
    HRESULT GetAudioAttributes(ULONG stream, AudioAttributes* attributes) const override;
    HRESULT GetCurrentSubpicture(ULONG* streams, ULONG* current, bool* shown) const override;
    HRESULT GetSubpictureAttributes(ULONG stream, SubpictureAttributes* attributes) const override;
    HRESULT GetCurrentAngle(ULONG* angles, ULONG* current) const override;
    HRESULT GetCurrentVideoAttributes(VideoAttributes* attributes) const override;
    HRESULT GetCurrentUOPS(DWORD* prohibited) const override;
    HRESULT GetDiscID(std::uint64_t* id) const override;
    HRESULT GetDVDVolumeName(QString* name) const override;
    HRESULT GetDVDDirectory(QString* path) const override;
    HRESULT GetState(SavedState* state) const override;
    void SetNotifyWindow(TForm* window, UINT message, LPARAM lParam) override;
    HRESULT GetEvent(long* code, LPARAM* param1, LPARAM* param2, long timeoutMs) override;
    HRESULT FreeEventParams(long code, LPARAM param1, LPARAM param2) override;

private:
    DvdPlayer();
    std::shared_ptr<PlayerPrivate> d;
};

// The EC_DVD_WARNING kind (open, seek, other reads) of a bus warning, 0 when
// it is none of the disc's: only `navigator` (rsndvdbin) and its elements
// warn of the disc. A sound sink that gave up on one output for the next
// (autoaudiosink without a sound server) warns too, and is no disc warning.
long DiscWarningKind(GstMessage* message, GstObject* navigator);

// Whether a button command can change the program chain (link, jump or
// call): only those are activated during a still picture. `command` is the
// button's 8-byte virtual-machine command.
bool CommandCanBranch(const unsigned char* command);
// The title a button's command jumps to, 0 when it jumps to none.
int TitleJumpOf(const unsigned char* command);

}  // namespace dvd

// A playback graph for one media item on GStreamer, with the operations the
// player's file graph needs: build, run, pause, stop, positions in 100-ns
// units, rate, frame step, volume in hundredths of a decibel and balance,
// audio stream choice, the picture's native size and its place in the view
// panel. Events are queued from GStreamer's threads and announced to the
// window by one posted message; the window drains them with GetEvent on its
// own thread.
#pragma once

#include "platform/media/picture_controls.h"
#include "platform/wintypes.h"

#include <QImage>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

class QWidget;
class TForm;
typedef struct _GstElement GstElement;

namespace media {

// Event codes (values as the window's handlers test them).
constexpr long EC_COMPLETE = 0x01;
constexpr long EC_USERABORT = 0x02;
constexpr long EC_ERRORABORT = 0x03;
constexpr long EC_VIDEO_SIZE_CHANGED = 0x0A;
constexpr long EC_PAUSED = 0x0E;
constexpr long EC_OLE_EVENT = 0x18;   // buffering: param1 non-zero while buffering, 0 when done

// WaitForState: the state change still goes on.
constexpr HRESULT VFW_S_STATE_INTERMEDIATE = static_cast<HRESULT>(0x00040237u);

// SetPositions flags.
constexpr DWORD AM_SEEKING_NoPositioning = 0x0;
constexpr DWORD AM_SEEKING_AbsolutePositioning = 0x1;
constexpr DWORD AM_SEEKING_RelativePositioning = 0x2;
constexpr DWORD AM_SEEKING_SeekToKeyFrame = 0x4;

// Video renderers by the `Renderer` setting.
constexpr int RendererOverlay = 1;    // overlay sink with colour controls
constexpr int RendererWindowless7 = 2;  // GL sink
constexpr int RendererWindowless9 = 3;  // frames painted by the panel itself
// Any other value: the graph's own default choice.

enum class GraphState { Stopped, Paused, Running };

// Volume in hundredths of a decibel (-10000 .. 0) as a linear factor; -10000
// is silence.
double LinearVolume(long hundredthsDb);

// Whether the text starts with a scheme of at least `shortestScheme`
// characters (a letter, then letters, digits, '+', '.' or '-') and "://".
// A plain scan, not a regular expression: the first match of one on a thread
// registers a thread-local destructor, which takes the dynamic loader's
// lock, and the first graph is built while the decoders' library may be
// loading under it.
bool IsAddress(const QString& text, int shortestScheme = 2);

// Element factory name to its 16-byte class identifier and back: the
// name-based (SHA-1, version 5) UUID of the factory name under our namespace,
// in the byte order of a stored GUID.
QByteArray FactoryClassId(const QString& factoryName);
QString FactoryForClassId(const QByteArray& classId16);  // empty when unknown

// The media type of a file as GStreamer's type finder sees it ("video/mpeg,
// systemstream=(boolean)true, mpegversion=(int)2" ...), empty when unknown.
QString FindMediaType(const QString& path);

class GraphPrivate;

class FilterGraph : public QObject {
    Q_OBJECT
public:
    FilterGraph();
    ~FilterGraph() override;

    // ---- building (before RenderFile) ----
    // Picks the video renderer by the `Renderer` value; `panel` is the widget
    // the picture is drawn in. Without a call no picture is rendered. Window
    // sinks draw into a native child of the panel; where there is no X window
    // system or the sink cannot open, our painted renderer stands in. Colour
    // controls (videobalance, gamma) come with every renderer; flipping
    // (videoflip) only with `flipAllowed`.
    HRESULT AddVideoRenderer(int renderer, QWidget* panel, bool flipAllowed = false);
    // A branch beside the video renderer that keeps the last frame for
    // picture capture (VideoOutput's capture branch); with AddVideoRenderer.
    void AddCaptureBranch();
    // A deinterlacer in the video branch: interlaced pictures are woven
    // into frames, progressive ones pass; with AddVideoRenderer.
    void AddDeinterlacer();
    // A chosen audio sink by factory name; empty keeps the automatic one.
    // With `deviceName` the sink is made for the audio output device of that
    // name (FindAudioSinkDevice, output.h). VFW_E_NOT_FOUND for an unknown
    // factory or a device that is not there; the sink chosen before stays
    // then. A sink that cannot open its device gives way to the automatic
    // one, and without any sound device playback goes on silently.
    HRESULT AddAudioRenderer(const QString& factoryName, const QString& deviceName = QString());
    // The factory is chosen before any other of its kind while the graph
    // plugs decoders, demuxers and parsers (a preferred filter).
    // VFW_E_NOT_FOUND for an unknown factory.
    HRESULT AddPreferredFactory(const QString& factoryName);
    bool HasPreferredFactory(const QString& factoryName) const;
    // Windows Media: plug the ASF demuxer; with `streamingSource` the file is
    // read as a stream (pushfilesrc: the demuxer gets the bytes in order, as
    // from a network source, and needs no index to play).
    void UseWindowsMediaSource(bool streamingSource);

    // Builds the graph for a file path (any length, UTF-8) or an address
    // (http, ftp, rtsp, mms ...) and waits until it is paused with its first
    // frame ready: S_OK, or a failure HRESULT when the item cannot be played
    // (nothing is left running then; 10 s at most). A live stream returns at
    // once, a buffering one once it has prerolled or buffered for 2 s.
    // mms:// is read over HTTP when no MMS source is installed.
    HRESULT RenderFile(const QString& pathOrUrl);
    // The `Renderer` value the graph was built with; 0 without a renderer.
    int VideoRendererValue() const;
    // Whether the chosen video renderer is part of the built graph.
    bool IsVideoRendererConnected() const;
    // Factory names of the elements in the built graph.
    QStringList ElementNames() const;
    // The built pipeline, borrowed (null before a build): the filter list
    // walks its elements (elements.h).
    GstElement* Pipeline() const;

    // ---- control ----
    HRESULT Run();
    HRESULT Pause();
    // Stopped: no playback. A file stays prerolled with its position kept;
    // a stream lets go of its connection and starts anew.
    HRESULT Stop();
    GraphState State() const;
    // Waits at most `timeoutMs` for a state change to complete:
    // S_OK, VFW_S_STATE_INTERMEDIATE while it goes on, E_FAIL when it failed.
    HRESULT WaitForState(long timeoutMs) const;

    // ---- seeking (100-ns units) ----
    bool IsSeekable() const;
    HRESULT GetDuration(REFERENCE_TIME* duration) const;
    HRESULT GetCurrentPosition(REFERENCE_TIME* position) const;
    // Positions are limited to 0 .. duration. The seek completes in the
    // background; GetCurrentPosition reports its target meanwhile. While a
    // flushing seek is in flight (until the pipeline has prerolled at its
    // target), a new position waits, replacing any other waiting one, and
    // goes out when the one in flight has completed, at most every 250 ms:
    // a dragged seek bar shows pictures on the way, and the last position wins.
    // A stop ends the stream there (EC_COMPLETE); it stays for later seeks
    // given without one (a seek to or past it removes it), and a stop at the
    // media's end removes it. A start at or past the given stop is E_INVALIDARG.
    HRESULT SetPositions(REFERENCE_TIME* current, DWORD currentFlags, REFERENCE_TIME* stop, DWORD stopFlags);
    // Where the stream ends: the stop set, else the media's end.
    HRESULT GetStopPosition(REFERENCE_TIME* stop) const;
    // Flushing seeks sent to the pipeline of this item (not those that
    // were replaced while waiting).
    quint64 SeeksSent() const;
    // A seek or a frame step has not landed yet.
    bool IsSettling() const;
    HRESULT SetRate(double rate);   // above 0; the position is kept
    HRESULT GetRate(double* rate) const;
    // Frame positions for a backward step; E_NOTIMPL when the frame rate is unknown.
    HRESULT GetFrameRate(double* framesPerSecond) const;

    // ---- frame step ----
    HRESULT CanStep() const;          // S_OK when a picture can be stepped
    HRESULT Step(DWORD frames);   // pauses first when playing

    // ---- audio ----
    bool HasAudio() const;
    HRESULT put_Volume(long hundredthsDb);   // -10000 (silent) .. 0 (full)
    HRESULT get_Volume(long* hundredthsDb) const;  // E_NOTIMPL without sound
    // -10000 (left only) .. 10000 (right only); the other side is attenuated.
    HRESULT put_Balance(long balance);
    HRESULT get_Balance(long* balance) const;
    int AudioStreamCount() const;
    int CurrentAudioStream() const;
    HRESULT SelectAudioStream(int index);
    QString AudioStreamName(int index) const;   // language or title, may be empty
    // The stream's language code (as tagged: two or three letters) and title; empty when untagged.
    QString AudioStreamLanguage(int index) const;
    QString AudioStreamTitle(int index) const;

    // ---- video ----
    bool HasVideo() const;
    HRESULT GetNativeVideoSize(long* width, long* height) const;
    // The picture's shape with its pixel aspect applied, in lowest terms
    // (720x480 at 10:11 pixels gives 15:11).
    HRESULT GetPreferredAspectRatio(long* aspectX, long* aspectY) const;
    // The video rectangle in the panel's coordinates; the picture keeps its
    // shape inside it, with black around it.
    HRESULT SetVideoPosition(const QRect& rect);
    HRESULT SetVideoVisible(bool visible);
    bool IsVideoVisible() const;
    void DisplayModeChanged();
    // Brightness, contrast, hue and saturation go to videobalance, gamma to
    // the gamma element; sharpness is kept only (no element sharpens).
    HRESULT SetColorValues(const ColorValues& values);
    HRESULT GetColorValues(ColorValues* values) const;
    bool HasColorControls() const;
    // The colour stage as the overlay and windowless-7 renderers hand it out
    // (picture_controls.h); null for other renderer values. Its values are
    // the display's: such a graph starts with DisplayOverlayColors().
    std::shared_ptr<ColorControl> OverlayColorControl();
    // The painted renderer's picture controls for the windowless-9 renderer
    // value; null for other values. Available once the renderer is added.
    std::shared_ptr<PictureControls> GetPictureControls();
    void SetFlip(bool horizontal, bool vertical);
    bool CanFlip() const;   // AddVideoRenderer allowed flipping and the graph has it
    // A copy of the picture now shown; null without one.
    QImage CurrentImage() const;
    // The picture now shown at its own size (a sink may be given frames of
    // its window's size); null without one.
    QImage PictureImage() const;
    // The decoded picture comes as fields; the graph weaves them (AddDeinterlacer).
    bool IsVideoInterlaced() const;
    bool Deinterlaces() const;
    // The capture branch: built in, linked with its format, its last frame.
    bool HasCaptureBranch() const;
    bool CaptureBranchConnected() const;
    QImage CaptureBranchImage() const;

    // ---- stream information ----
    // Tags of the item: "title", "artist", "album" (GStreamer tag names).
    QString Tag(const char* name) const;
    // A single picture (JPEG, GIF, BMP ...): no duration, not seekable, and
    // its end is not reported (the window decides how long it is shown).
    bool IsStillPicture() const;
    // The sound goes nowhere because no sound device could be opened.
    bool IsSilent() const;
    // Fill of a network stream's buffer, 100 when not buffering.
    int BufferingPercent() const;
    // The renderer's first shown frame (g_get_monotonic_time(), microseconds;
    // 0 until then) and the number of frames shown since the build.
    qint64 FirstFrameTime() const;
    quint64 FramesShown() const;

    // ---- events ----
    // Queued events are announced by one posted message (wParam 0, lParam as
    // given) to `window`; the next one is posted once the window has called
    // GetEvent again. Events queued before the call are announced at once.
    // A destroyed window is never posted to; null stops the announcements.
    //   EC_COMPLETE (S_OK, 0)          end of the item (not for still pictures)
    //   EC_ERRORABORT (HRESULT, 0)     an error after RenderFile returned
    //   EC_PAUSED (S_OK, 0)            the graph has paused (the first at build)
    //   EC_OLE_EVENT (1, percent) / (0, 100)   a stream buffers / is done
    //   EC_VIDEO_SIZE_CHANGED (width | height << 16, 0)
    void SetNotifyWindow(TForm* window, UINT message, LPARAM lParam);
    // Takes the next queued event: S_OK, or E_ABORT when none came within
    // timeoutMs (0: do not wait; negative: wait without limit).
    HRESULT GetEvent(long* code, LPARAM* param1, LPARAM* param2, long timeoutMs);
    HRESULT FreeEventParams(long code, LPARAM param1, LPARAM param2);

private:
    std::unique_ptr<GraphPrivate> d;
};

// Whether a sound device can be opened. Without one, graphs play silently
// (their sound goes to a sink that only keeps time).
bool SoundDeviceAvailable();

}  // namespace media

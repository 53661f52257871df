// The RealMedia control: a widget that the main window puts on its view
// panel and drives with the control's operations. It plays through playbin
// (rmdemux / rademux and the libav RealVideo and RealAudio decoders for
// files; souphttpsrc, rtspsrc with its RealMedia extension and pnmsrc for
// "http://", "rtsp://" and "pnm://"), draws the picture into itself through
// the shared video output and plays the sound through the shared audio
// output (silently without a sound device).
//
// Units: milliseconds for positions and lengths (length 0 for a live
// stream); pixels for the clip size (0 for sound only).
// Play states: 0 stopped, 3 playing, 4 paused.
//
// Events are signals emitted on the main thread from the event loop, never
// inside a call of the caller:
//   ClipOpened(shortName, url)  once per source, when the clip has prerolled
//                               and its length, size and title are known;
//   PlayStateChange(old, new)   on every change of the play state;
//   ClipClosed()                when the clip reached its end (not on DoStop
//                               or deletion);
//   SourceError(hr, opened)     the source cannot be opened or played.
// A handler may delete the control.
//
// Main thread only. The operations are virtual so that the window's tests
// can put a recording control in its place.
#pragma once

#include "platform/wintypes.h"

#include <gst/gst.h>

#include <QImage>
#include <QMap>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <cstdint>
#include <memory>

namespace realmedia {

enum : int { kStateStopped = 0, kStatePlaying = 3, kStatePaused = 4 };

class TRealAudio : public QWidget {
    Q_OBJECT
public:
    // `owner` is the main window; `parent` the widget the picture is drawn on.
    TRealAudio(QWidget* owner, QWidget* parent);
    ~TRealAudio() override;

    // Properties by dispatch id (103, 104, 106): kept, without effect.
    void SetProperty(int dispatchId, const QVariant& value) { properties_[dispatchId] = value; }
    QVariant Property(int dispatchId) const { return properties_.value(dispatchId); }
    void SetImageStatus(int status) { imageStatus_ = status; }
    int ImageStatus() const { return imageStatus_; }
    // The `Renderer` value whose sinks draw the picture (before SetSource).
    void SetRenderer(int renderer) { renderer_ = renderer; }
    // How long a source may take to open before it counts as failed (before
    // SetSource); 0: 10 s for a file, 30 s for an address.
    void SetOpenTimeout(int milliseconds) { openTimeoutMs_ = milliseconds; }

    // Starts loading the clip (a path, whatever characters it holds, or an
    // address) and playing it; returns at once. False when not even the
    // pipeline could be made.
    virtual bool SetSource(const QString& source);
    QString Source() const { return source_; }
    virtual void DoPlay();
    virtual void DoPause();
    // Stops at position 0; a stream's connection closes (DoPlay opens it again).
    virtual void DoStop();
    virtual int GetPlayState() const { return state_; }
    virtual int GetPosition() const;
    // Applied at once when the clip can seek, else as soon as it can.
    virtual void SetPosition(int milliseconds);
    virtual int GetLength() const { return length_; }
    virtual int GetClipWidth() const { return width_; }
    virtual int GetClipHeight() const { return height_; }
    virtual QString GetTitle() const { return title_; }

    // Stops and takes down the pipeline at once; no event follows. For a
    // control about to be deleted later.
    void Release() { Teardown(); }
    // The picture now shown; null without one (sound only, nothing yet).
    QImage CurrentImage() const;
    // Whether the clip has opened (ClipOpened was emitted).
    bool IsOpened() const { return opened_; }
    // The sound goes nowhere because no sound device opened.
    bool IsSilent() const;
    // g_get_monotonic_time() of the first shown frame, 0 until then.
    qint64 FirstFrameTime() const;
    // The video sink's factory ("xvimagesink", "appsink" ...), empty without one.
    QString VideoSinkFactory() const;

signals:
    void ClipOpened(const QString& shortName, const QString& url);
    void PlayStateChange(int oldState, int newState);
    void ClipClosed();
    void SourceError(HRESULT hr, bool opened);

protected:
    // The picture fills the control: the window sets the control's bounds.
    void resizeEvent(QResizeEvent* e) override;

private:
    struct Pipeline;
    void OnMessage(GstMessage* message);
    void OnPrerolled();
    // The source cannot be opened or played on: stopped, reported once.
    void Fail(HRESULT hr);
    // The new state at once; its event is posted.
    void SetState(int state);
    void SendSeek(std::int64_t milliseconds);
    void Teardown();

    QMap<int, QVariant> properties_;
    int imageStatus_ = 1;
    int renderer_ = 1;
    int openTimeoutMs_ = 0;
    QString source_;
    std::unique_ptr<Pipeline> pipeline_;
    int state_ = kStateStopped;
    bool opened_ = false;
    bool live_ = false;
    bool seekable_ = false;
    bool ended_ = false;
    bool failed_ = false;
    bool stopRequested_ = false;     // the pause now coming is a stop (state 0)
    bool seekInFlight_ = false;      // a flushing seek waits for its ASYNC_DONE
    std::int64_t seekTarget_ = 0;    // ms; what the position reads while a seek lands
    std::int64_t pendingSeek_ = -1;  // ms; sent once the clip can seek
    quint64 generation_ = 0;         // messages of an older pipeline are dropped
    int length_ = 0, width_ = 0, height_ = 0;
    QString title_;
};

}  // namespace realmedia

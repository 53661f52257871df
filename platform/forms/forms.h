// A form: a top-level window whose events arrive as numbered messages through
// a window procedure (WndProc) and a message map (Dispatch), with messages that
// can be posted or sent to it and timers identified by number.
#pragma once

#include "platform/wintypes.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>
#include <QStringList>

class QKeyEvent;

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// Dropped files (the wParam of WM_DROPFILES).
struct TDropFiles {
    QStringList names;
    bool finished = false;
};
using HDROP = TDropFiles*;
UINT DragQueryFileCount(HDROP drop);
QString DragQueryFile(HDROP drop, UINT index);
void DragFinish(HDROP drop);

// Keyboard state at the moment of the call (Shift, Ctrl, Alt held).
bool IsShiftHeld();
bool IsCtrlHeld();

// Key messages. WM_KEYDOWN and WM_KEYUP carry the key's shortcut code
// (platform/keys: the virtual key plus the Shift, Ctrl and Alt bits) in
// wParam, 0 for a key without a code; bit 30 of lParam is set for a press
// that repeats a held key and for every release. WM_CHAR carries the typed
// character. They come from the form and from every control on it before the
// control sees the key; a held key's press repeats, its release comes once
// when the key is let go (the X server's releases between repeats are dropped).
// The low word of lParam is the press's repeat count: repeats that pile up
// while the key's previous press is still being handled come as one press
// with their count, and none that is left when the key is let go comes at all.
constexpr LPARAM kKeyPreviouslyDown = LPARAM(1) << 30;

class TForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm(QWidget* owner = nullptr);
    ~TForm() override;

    // Queues the message; safe from any thread. Other threads (GStreamer's
    // streaming threads, a disc's command thread) reach a form only this way.
    bool PostMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // Runs the message now through WndProc and returns its result, on the
    // form's own thread only. From another thread it is refused (returns 0,
    // the form never sees it): a thread that waited for the form's thread
    // would deadlock whenever that thread waits for it in turn, as the main
    // thread does while it changes a pipeline's state and the pipeline waits
    // for its streaming threads.
    LRESULT SendMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    // Window timers by id: a timer with the same id is replaced.
    bool SetTimer(UINT id, UINT intervalMs);
    bool KillTimer(UINT id);
    bool IsTimerSet(UINT id) const;

    void DragAcceptFiles(bool accept);
    bool AcceptsDroppedFiles() const { return acceptFiles_; }

    // The window procedure: every message passes here first.
    virtual void WndProc(TMessage& message);
    // The message map; unhandled messages go to DefaultHandler.
    virtual void Dispatch(TMessage& message);
    virtual void DefaultHandler(TMessage& message);

    // Whether Qt's own handling of the current input event continues after
    // the message (a handler sets it to false to swallow the event).
    void SetEventHandled(bool handled) { eventHandled_ = handled; }

protected:
    bool event(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

    // Runs a message built from an input event; true when a handler
    // swallowed it.
    bool Deliver(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    class KeyRouter;
    friend class KeyRouter;
    // True when the key event was taken by the form's handlers.
    bool RouteKey(QKeyEvent* e);

    // A pressed key while its presses are handled, by Qt key.
    struct HeldKey {
        bool down = false;
        int handling = 0;          // its presses being handled now (nested loops)
        WORD folded = 0;           // repeats waiting to come as one press
        bool foldPosted = false;   // DeliverFolded is queued
        WPARAM code = 0;
        QString text;
        // The input clock (the event time stamps) less keyClock_, the least
        // delayed seen; and the input time at which its last press was handled.
        bool timed = false;
        qint64 clockOffset = 0;
        qint64 handledUntil = 0;
    };
    bool PressKey(int key, WPARAM code, const QString& text, LPARAM lParam);
    void PostFolded(int key);
    void DeliverFolded(int key);

    QHash<int, HeldKey> heldKeys_;
    QElapsedTimer keyClock_;

    QHash<UINT, int> timers_;   // window timer id -> Qt timer id
    bool acceptFiles_ = false;
    bool eventHandled_ = false;
    bool closing_ = false;
};

// Packs client coordinates into an lParam as window messages do.
LPARAM MakePointParam(int x, int y);
int PointParamX(LPARAM lParam);
int PointParamY(LPARAM lParam);

// SIGTERM and SIGHUP end the session: the boxes and dialogs open are
// answered Cancel, then the form gets WM_QUERYENDSESSION on its own thread
// and closes as the user would (one that ended before the form was made, as
// it is made). The desktop session's end does the same.
void InstallSessionEndHandler(TForm* form);
// Holds SIGTERM and SIGHUP from now on; boxes shown before a form's handler
// takes them are answered Cancel as the signal comes.
void CatchSessionEndSignals();

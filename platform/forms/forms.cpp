#include "platform/forms/forms.h"

#include "platform/dialogs/dialogs.h"

#include "platform/keys/keys.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QTimerEvent>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <csignal>
#include <memory>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class MessageEvent : public QEvent {
public:
    MessageEvent(UINT m, WPARAM w, LPARAM l) : QEvent(kMessageEvent), msg(m), wParam(w), lParam(l) {}
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// Mouse key state flags of the wParam of mouse messages.
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;
constexpr WPARAM MK_XBUTTON1 = 0x0020;
constexpr WPARAM MK_XBUTTON2 = 0x0040;

WPARAM KeyStateFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods)
{
    WPARAM w = 0;
    if (buttons & Qt::LeftButton) w |= MK_LBUTTON;
    if (buttons & Qt::RightButton) w |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) w |= MK_MBUTTON;
    if (buttons & Qt::BackButton) w |= MK_XBUTTON1;
    if (buttons & Qt::ForwardButton) w |= MK_XBUTTON2;
    if (mods & Qt::ShiftModifier) w |= MK_SHIFT;
    if (mods & Qt::ControlModifier) w |= MK_CONTROL;
    return w;
}

QStringList LocalFiles(const QMimeData* data)
{
    QStringList names;
    if (!data || !data->hasUrls()) return names;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) names << url.toLocalFile();
    }
    return names;
}

}  // namespace

UINT DragQueryFileCount(HDROP drop) { return drop ? static_cast<UINT>(drop->names.size()) : 0; }

QString DragQueryFile(HDROP drop, UINT index)
{
    if (!drop || index >= static_cast<UINT>(drop->names.size())) return {};
    return drop->names.at(static_cast<int>(index));
}

void DragFinish(HDROP drop)
{
    if (drop) drop->finished = true;
}

bool IsShiftHeld() { return QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier; }
bool IsCtrlHeld() { return QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier; }

LPARAM MakePointParam(int x, int y)
{
    return static_cast<LPARAM>((static_cast<DWORD>(static_cast<WORD>(y)) << 16) | static_cast<WORD>(x));
}
int PointParamX(LPARAM lParam) { return static_cast<std::int16_t>(lParam & 0xFFFF); }
int PointParamY(LPARAM lParam) { return static_cast<std::int16_t>((lParam >> 16) & 0xFFFF); }

// Takes the key events of a form's widgets before the widgets do: the
// application's filters see an event before its receiver.
class TForm::KeyRouter : public QObject {
public:
    explicit KeyRouter(TForm* form) : QObject(form), form_(form) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        const QEvent::Type type = e->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != form_) return false;
        // A key that no widget accepts travels up to the form; it is routed
        // once, at its first receiver (the focused control, else the form).
        QWidget* focus = QApplication::focusWidget();
        if (widget != (focus && focus->window() == form_ ? focus : form_)) return false;
        return form_->RouteKey(static_cast<QKeyEvent*>(e));
    }

private:
    TForm* form_;
};

// A handler may hold the event loop (opening a file blocks) or run a nested
// one, and a held key repeats meanwhile: those repeats would each be handled
// in turn, long after the key was let go. A repeat is stale when it arrives
// while a press of its key is still being handled (a nested loop), or when
// its time stamp falls before the end of that handling (it waited behind a
// blocked loop). Stale repeats are folded into one press, run after the input
// already queued has been seen; a release among that input drops them.
bool TForm::RouteKey(QKeyEvent* e)
{
    const WPARAM code = keys::ShortCutOf(*e);
    const int key = e->key();
    // Events made by the program itself carry no time stamp.
    const qint64 stamp = static_cast<qint64>(e->timestamp());
    if (e->type() == QEvent::KeyRelease) {
        // The X server releases a held key before each repeated press; only
        // the last release is the key being let go.
        if (e->isAutoRepeat()) return true;
        auto it = heldKeys_.find(key);
        if (it != heldKeys_.end()) {
            it->down = false;
            it->folded = 0;
            if (!it->handling && !it->foldPosted) heldKeys_.erase(it);
        }
        return Deliver(WM_KEYUP, code, kKeyPreviouslyDown | (LPARAM(1) << 31) | 1);
    }
    HeldKey& held = heldKeys_[key];
    if (!e->isAutoRepeat()) {
        held.folded = 0;
        held.timed = false;
    }
    held.down = true;
    held.code = code;
    held.text = e->text();
    if (stamp) {
        const qint64 offset = stamp - keyClock_.elapsed();
        if (!held.timed || offset > held.clockOffset) held.clockOffset = offset;
        held.timed = true;
    }
    if (e->isAutoRepeat() && (held.handling || (stamp && held.timed && stamp < held.handledUntil))) {
        if (held.folded < 0xFFFF) ++held.folded;
        // During the handling, PressKey queues the fold when it ends.
        if (!held.handling) PostFolded(key);
        return true;
    }
    const LPARAM count = held.folded + 1;
    held.folded = 0;
    return PressKey(key, code, e->text(), (e->isAutoRepeat() ? kKeyPreviouslyDown : 0) | count);
}

bool TForm::PressKey(int key, WPARAM code, const QString& text, LPARAM lParam)
{
    ++heldKeys_[key].handling;
    bool taken = Deliver(WM_KEYDOWN, code, lParam);
    if (!taken && !text.isEmpty() && text.at(0).isPrint()) taken = Deliver(WM_CHAR, text.at(0).unicode(), lParam);
    // The handlers may have let go of the key or pressed it again meanwhile.
    auto it = heldKeys_.find(key);
    if (it == heldKeys_.end()) return taken;
    --it->handling;
    if (it->timed) it->handledUntil = keyClock_.elapsed() + it->clockOffset;
    if (it->folded) PostFolded(key);
    else if (!it->down && !it->handling && !it->foldPosted) heldKeys_.erase(it);
    return taken;
}

void TForm::PostFolded(int key)
{
    HeldKey& held = heldKeys_[key];
    if (held.foldPosted) return;
    held.foldPosted = true;
    // Queued behind the input events already delivered to the application.
    QMetaObject::invokeMethod(this, [this, key] { DeliverFolded(key); }, Qt::QueuedConnection);
}

void TForm::DeliverFolded(int key)
{
    auto it = heldKeys_.find(key);
    if (it == heldKeys_.end()) return;
    it->foldPosted = false;
    // A press still being handled queues the fold again when it ends.
    if (it->handling) return;
    if (!it->folded) {
        if (!it->down) heldKeys_.erase(it);
        return;
    }
    const LPARAM count = it->folded;
    it->folded = 0;
    const WPARAM code = it->code;
    const QString text = it->text;
    PressKey(key, code, text, kKeyPreviouslyDown | count);
}

TForm::TForm(QWidget* owner) : QMainWindow(owner)
{
    new KeyRouter(this);
    keyClock_.start();
    auto watchScreen = [this](QScreen* screen) {
        connect(screen, &QScreen::geometryChanged, this, [this] { PostMessage(WM_DISPLAYCHANGE, 0, 0); });
    };
    for (QScreen* screen : QGuiApplication::screens()) watchScreen(screen);
    connect(qApp, &QGuiApplication::screenAdded, this, [this, watchScreen](QScreen* screen) {
        watchScreen(screen);
        PostMessage(WM_DISPLAYCHANGE, 0, 0);
    });
    connect(qApp, &QGuiApplication::screenRemoved, this, [this] { PostMessage(WM_DISPLAYCHANGE, 0, 0); });
}

TForm::~TForm()
{
    for (int qtId : timers_) killTimer(qtId);
}

bool TForm::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    QCoreApplication::postEvent(this, new MessageEvent(msg, wParam, lParam));
    return true;
}

LRESULT TForm::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // Waiting here for the form's thread could deadlock (see the header).
    if (QThread::currentThread() != thread()) return 0;
    TMessage m{msg, wParam, lParam, 0};
    WndProc(m);
    return m.Result;
}

bool TForm::SetTimer(UINT id, UINT intervalMs)
{
    auto it = timers_.find(id);
    if (it != timers_.end()) {
        killTimer(*it);
        timers_.erase(it);
    }
    int qtId = startTimer(static_cast<int>(intervalMs));
    if (qtId == 0) return false;
    timers_.insert(id, qtId);
    return true;
}

bool TForm::KillTimer(UINT id)
{
    auto it = timers_.find(id);
    if (it == timers_.end()) return false;
    killTimer(*it);
    timers_.erase(it);
    return true;
}

bool TForm::IsTimerSet(UINT id) const { return timers_.contains(id); }

void TForm::DragAcceptFiles(bool accept)
{
    acceptFiles_ = accept;
    setAcceptDrops(accept);
}

void TForm::WndProc(TMessage& message) { Dispatch(message); }

void TForm::Dispatch(TMessage& message) { DefaultHandler(message); }

void TForm::DefaultHandler(TMessage& message)
{
    switch (message.Msg) {
    case WM_CLOSE:
        close();
        break;
    case WM_SYSCOMMAND:
        switch (message.WParam & 0xFFF0) {
        case SC_MOVE:
            if (windowHandle()) windowHandle()->startSystemMove();
            break;
        case SC_RESTORE:
            if (isMinimized()) showNormal();
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
}

bool TForm::Deliver(UINT msg, WPARAM wParam, LPARAM lParam)
{
    eventHandled_ = false;
    TMessage m{msg, wParam, lParam, 0};
    WndProc(m);
    return eventHandled_;
}

bool TForm::event(QEvent* e)
{
    if (e->type() == kMessageEvent) {
        auto* me = static_cast<MessageEvent*>(e);
        TMessage m{me->msg, me->wParam, me->lParam, 0};
        WndProc(m);
        return true;
    }
    if (e->type() == QEvent::UngrabMouse) Deliver(WM_CAPTURECHANGED, 0, 0);
    return QMainWindow::event(e);
}

void TForm::timerEvent(QTimerEvent* e)
{
    for (auto it = timers_.cbegin(); it != timers_.cend(); ++it) {
        if (it.value() == e->timerId()) {
            TMessage m{WM_TIMER, it.key(), 0, 0};
            WndProc(m);
            return;
        }
    }
    QMainWindow::timerEvent(e);
}

void TForm::mousePressEvent(QMouseEvent* e)
{
    UINT msg = 0;
    WPARAM extra = 0;
    switch (e->button()) {
    case Qt::LeftButton: msg = WM_LBUTTONDOWN; break;
    case Qt::RightButton: msg = WM_RBUTTONDOWN; break;
    case Qt::MiddleButton: msg = WM_MBUTTONDOWN; break;
    case Qt::BackButton: msg = WM_XBUTTONDOWN; extra = WPARAM(XBUTTON1) << 16; break;
    case Qt::ForwardButton: msg = WM_XBUTTONDOWN; extra = WPARAM(XBUTTON2) << 16; break;
    default: break;
    }
    const QPoint p = e->position().toPoint();
    if (msg && Deliver(msg, KeyStateFlags(e->buttons(), e->modifiers()) | extra, MakePointParam(p.x(), p.y()))) return;
    QMainWindow::mousePressEvent(e);
}

void TForm::mouseReleaseEvent(QMouseEvent* e)
{
    UINT msg = 0;
    WPARAM extra = 0;
    switch (e->button()) {
    case Qt::LeftButton: msg = WM_LBUTTONUP; break;
    case Qt::RightButton: msg = WM_RBUTTONUP; break;
    case Qt::MiddleButton: msg = WM_MBUTTONUP; break;
    case Qt::BackButton: msg = WM_XBUTTONUP; extra = WPARAM(XBUTTON1) << 16; break;
    case Qt::ForwardButton: msg = WM_XBUTTONUP; extra = WPARAM(XBUTTON2) << 16; break;
    default: break;
    }
    const QPoint p = e->position().toPoint();
    if (msg && Deliver(msg, KeyStateFlags(e->buttons(), e->modifiers()) | extra, MakePointParam(p.x(), p.y()))) return;
    QMainWindow::mouseReleaseEvent(e);
}

void TForm::mouseDoubleClickEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    if (e->button() == Qt::LeftButton &&
        Deliver(WM_LBUTTONDBLCLK, KeyStateFlags(e->buttons(), e->modifiers()), MakePointParam(p.x(), p.y())))
        return;
    QMainWindow::mouseDoubleClickEvent(e);
}

void TForm::wheelEvent(QWheelEvent* e)
{
    const int delta = e->angleDelta().y();
    if (delta != 0) {
        const QPoint p = e->globalPosition().toPoint();
        const WPARAM w = (static_cast<WPARAM>(static_cast<WORD>(static_cast<std::int16_t>(delta))) << 16) |
                         KeyStateFlags(e->buttons(), e->modifiers());
        if (Deliver(WM_MOUSEWHEEL, w, MakePointParam(p.x(), p.y()))) return;
    }
    QMainWindow::wheelEvent(e);
}

void TForm::moveEvent(QMoveEvent* e)
{
    QMainWindow::moveEvent(e);
    Deliver(WM_MOVE, 0, MakePointParam(x(), y()));
}

void TForm::resizeEvent(QResizeEvent* e)
{
    QMainWindow::resizeEvent(e);
    Deliver(WM_SIZE, 0, MakePointParam(width(), height()));
}

void TForm::closeEvent(QCloseEvent* e) { QMainWindow::closeEvent(e); }

void TForm::changeEvent(QEvent* e)
{
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && !isActiveWindow()) {
        // The release of a key held now goes to another window.
        for (HeldKey& held : heldKeys_) held.folded = 0;
        Deliver(WM_KILLFOCUS, 0, 0);
    }
}

void TForm::dragEnterEvent(QDragEnterEvent* e)
{
    if (acceptFiles_ && !LocalFiles(e->mimeData()).isEmpty()) {
        e->acceptProposedAction();
        return;
    }
    QMainWindow::dragEnterEvent(e);
}

void TForm::dragMoveEvent(QDragMoveEvent* e)
{
    if (acceptFiles_ && !LocalFiles(e->mimeData()).isEmpty()) {
        e->acceptProposedAction();
        return;
    }
    QMainWindow::dragMoveEvent(e);
}

void TForm::dropEvent(QDropEvent* e)
{
    const QStringList names = LocalFiles(e->mimeData());
    if (!acceptFiles_ || names.isEmpty()) {
        QMainWindow::dropEvent(e);
        return;
    }
    e->acceptProposedAction();
    // The drop is handled after the drag source has finished, as a posted
    // message would be; the handler reads the names until DragFinish. The
    // queued call owns the record: when the form dies first, Qt drops the
    // call and the record goes with it.
    auto drop = std::make_shared<TDropFiles>(TDropFiles{names, false});
    QMetaObject::invokeMethod(
        this, [this, drop] { SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(drop.get()), 0); },
        Qt::QueuedConnection);
}

namespace {

int g_signalPipe[2] = {-1, -1};

void OnEndSignal(int)
{
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// Closes the form at the end of the session. Boxes and dialogs open then
// are answered Cancel first; a window closed from inside their loops would
// go while the code that opened them still runs, and that code would then
// go on against a closed window (the session's kill would follow, with
// nothing saved). So the form closes once the loops of those dialogs have
// returned, back in the loop the form was running in, or after a few
// seconds whatever is open, as the session gives no more.
//
// Before a form takes the signals (a box of the start-up, before the window
// is made), the boxes are answered and the form ends as soon as it is made.
QPointer<TForm> g_sessionForm;
bool g_sessionEndPending = false;

void EndSession(const QPointer<TForm>& target)
{
    dialogs::SetSessionEnding(true);
    if (!target) {
        g_sessionEndPending = true;
        dialogs::CancelOpenDialogs();
        return;
    }
    const int open = dialogs::CancelOpenDialogs();
    if (open == 0) {
        target->SendMessage(WM_QUERYENDSESSION, 0, 0);
        return;
    }
    const int formLevel = std::max(0, QThread::currentThread()->loopLevel() - open);
    auto* poll = new QTimer(target);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, target, [target, poll, started, formLevel] {
        // A dialog opened while the others unwind is answered as well.
        dialogs::CancelOpenDialogs();
        if (QThread::currentThread()->loopLevel() > formLevel && !started->hasExpired(3000)) return;
        poll->deleteLater();
        poll->stop();
        target->SendMessage(WM_QUERYENDSESSION, 0, 0);
    });
    poll->start(10);
}

// The signals reach the application's thread through the pipe, from the
// moment the application object exists.
void WatchSignalPipe()
{
    static QPointer<QSocketNotifier> notifier;
    if (notifier || g_signalPipe[0] < 0 || !qApp) return;
    notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char buf[16];
        [[maybe_unused]] ssize_t n = ::read(g_signalPipe[0], buf, sizeof buf);
        EndSession(g_sessionForm);
    });
}

}  // namespace

// Signals caught before the application object is made are watched from its
// construction on.
Q_COREAPP_STARTUP_FUNCTION(WatchSignalPipe)

void CatchSessionEndSignals()
{
    if (g_signalPipe[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
    ::fcntl(g_signalPipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction sa {};
    sa.sa_handler = OnEndSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
}

void InstallSessionEndHandler(TForm* form)
{
    QPointer<TForm> target(form);
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, form, [target](QSessionManager&) {
        if (target) target->SendMessage(WM_QUERYENDSESSION, 0, 0);
    });
    CatchSessionEndSignals();
    g_sessionForm = form;
    WatchSignalPipe();
    if (g_sessionEndPending) {
        g_sessionEndPending = false;
        QMetaObject::invokeMethod(form, [target] { EndSession(target); }, Qt::QueuedConnection);
    }
}

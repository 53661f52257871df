#include "platform/media/events.h"

#include "platform/forms/forms.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QThread>

#include <atomic>

#include <chrono>

namespace media {

namespace {

QEvent::Type WakeType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// A wake-up for the window set as `generation`; one for an earlier window is
// dropped.
struct WakeEvent : QEvent {
    explicit WakeEvent(quint64 g) : QEvent(WakeType()), generation(g) {}
    quint64 generation;
};

}  // namespace

// Lives on the main thread; turns a wake-up into the window's message.
class EventQueue::Relay : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() != WakeType()) return QObject::event(e);
        if (static_cast<WakeEvent*>(e)->generation == generation) Announce();
        return true;
    }
    void Announce()
    {
        if (!window) return;
        window->PostMessage(message, 0, lParam);
        posted.fetch_add(1);
    }
    QPointer<TForm> window;
    quint64 generation = 0;
    UINT message = 0;
    LPARAM lParam = 0;
    std::atomic<quint64> posted{0};
};

EventQueue::EventQueue() : ownedRelay_(new Relay)
{
    relay_ = ownedRelay_;
}

EventQueue::~EventQueue()
{
    Close();
    if (ownedRelay_->thread() == QThread::currentThread())
        delete ownedRelay_;
    else
        ownedRelay_->deleteLater();
}

void EventQueue::Push(long code, LPARAM param1, LPARAM param2)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return;
    queue_.push_back({code, param1, param2});
    wake_.notify_all();
    if (!announced_ && relay_) {
        announced_ = true;
        QCoreApplication::postEvent(relay_, new WakeEvent(generation_));
    }
}

bool EventQueue::Take(GraphEvent* event, long timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    announced_ = false;
    if (queue_.empty() && timeoutMs != 0 && !closed_) {
        auto ready = [this] { return !queue_.empty() || closed_; };
        if (timeoutMs < 0)
            wake_.wait(lock, ready);
        else
            wake_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    }
    if (queue_.empty()) return false;
    *event = queue_.front();
    queue_.pop_front();
    return true;
}

void EventQueue::SetWindow(TForm* window, UINT message, LPARAM lParam)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ownedRelay_->window = window;
    ownedRelay_->message = message;
    ownedRelay_->lParam = lParam;
    ownedRelay_->generation = ++generation_;
    announced_ = false;
    if (window && !closed_ && !queue_.empty()) {
        announced_ = true;
        ownedRelay_->Announce();
    }
}

void EventQueue::Close()
{
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    relay_ = nullptr;
    queue_.clear();
    wake_.notify_all();
}

void EventQueue::Clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.clear();
}

std::size_t EventQueue::Size() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
}

quint64 EventQueue::Announcements() const { return ownedRelay_->posted.load(); }

}  // namespace media


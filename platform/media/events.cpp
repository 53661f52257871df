#include "platform/media/graph_internal.h"

#include "platform/forms/forms.h"

#include <chrono>

namespace media::detail {

EventQueue::~EventQueue()
{
    QObject::disconnect(windowWatch_);
}

void EventQueue::Push(long code, LPARAM param1, LPARAM param2)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return;
    queue_.push_back({code, param1, param2});
    wake_.notify_all();
    if (window_ && !announced_) {
        announced_ = true;
        window_->PostMessage(message_, 0, lParam_);
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
    QObject::disconnect(windowWatch_);
    if (window) {
        // Runs on the window's thread while the window is being destroyed,
        // before Qt removes the messages posted to it.
        std::weak_ptr<EventQueue> self = weak_from_this();
        windowWatch_ = QObject::connect(window, &QObject::destroyed, [self](QObject* gone) {
            if (auto queue = self.lock()) queue->WindowDestroyed(gone);
        });
    }
    std::lock_guard<std::mutex> lock(mutex_);
    window_ = closed_ ? nullptr : window;
    windowObject_ = window_;
    message_ = message;
    lParam_ = lParam;
    announced_ = false;
    if (window_ && !queue_.empty()) {
        announced_ = true;
        window_->PostMessage(message_, 0, lParam_);
    }
}

void EventQueue::WindowDestroyed(QObject* window)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (windowObject_ == window) {
        window_ = nullptr;
        windowObject_ = nullptr;
    }
}

void EventQueue::Close()
{
    QObject::disconnect(windowWatch_);
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    window_ = nullptr;
    windowObject_ = nullptr;
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

}  // namespace media::detail

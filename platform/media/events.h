// The events of one pipeline on their way to the window: GStreamer's threads
// push them, one posted message announces them, and the window takes them on
// its own thread. Every pipeline (the file graph, the DVD layer, the CD
// player, the RealMedia control) relays its events through one of these.
#pragma once

#include "platform/wintypes.h"

#include <QtGlobal>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

class TForm;

namespace media {

struct GraphEvent {
    long code = 0;
    LPARAM param1 = 0;
    LPARAM param2 = 0;
};

// Push runs on any thread; the window is told by one posted message while no
// announcement is outstanding (an announcement stays outstanding until the
// window next calls Take). A pushing thread never touches the window: it
// wakes a relay object on the main thread, which posts the message to the
// window if the window still exists. Create and destroy it on the main thread.
class EventQueue {
public:
    EventQueue();
    ~EventQueue();
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    void Push(long code, LPARAM param1, LPARAM param2);
    // True with an event, false when none came within timeoutMs (negative:
    // wait without limit).
    bool Take(GraphEvent* event, long timeoutMs);
    // Main thread. Events queued before the call are announced at once; null
    // stops the announcements.
    void SetWindow(TForm* window, UINT message, LPARAM lParam);
    // Drops queued events and stops announcing; later pushes are ignored.
    void Close();
    void Clear();   // drops queued events
    std::size_t Size() const;
    // Messages posted to windows so far (each announcement is one).
    quint64 Announcements() const;

private:
    class Relay;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<GraphEvent> queue_;
    Relay* relay_ = nullptr;   // null once closed
    Relay* ownedRelay_ = nullptr;
    quint64 generation_ = 0;   // counts SetWindow calls
    bool announced_ = false;
    bool closed_ = false;
};

}  // namespace media

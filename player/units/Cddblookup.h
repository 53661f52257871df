// One look-up of an audio CD in the CD database, run on a thread of its own
// so that the window keeps answering while a server is slow: the thread
// loads zodlg, calls InitCDDB2 and the Get exports, unloads the library and
// posts the answer to the main thread. Cancel drops the answer and asks the
// library to end its exchange at once; the thread then ends by itself (a
// choice among several matches, shown on the main thread, ends when the user
// closes it).
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct TCddbAnswer {
    // InitCDDB2's result: -1 without the export; 0 with no library at all
    // (loaded false).
    int result = -1;
    bool loaded = false;
    bool haveArtist = false;
    bool haveAlbum = false;
    QString artist;
    QString album;
    // With GetTrackTitle: one title per track (empty where none came).
    bool haveTrackExport = false;
    bool anyTitle = false;
    std::vector<QString> titles;
};

class TCddbLookup {
public:
    using Done = std::function<void(const TCddbAnswer&)>;
    // Starts the look-up of the disc with `trackCount` tracks; `done` runs on
    // the main thread when it ends, unless it was cancelled or this object
    // went first.
    TCddbLookup(std::uint32_t discId, const QString& query, int trackCount, Done done);
    // Cancels.
    ~TCddbLookup();
    TCddbLookup(const TCddbLookup&) = delete;
    TCddbLookup& operator=(const TCddbLookup&) = delete;

    void Cancel();
    bool Running() const;

    // The shared state of the thread and its owner.
    struct State;

private:
    std::shared_ptr<State> state_;
    // Queued answers are delivered through it; when it goes they are dropped.
    std::unique_ptr<QObject> context_;
};

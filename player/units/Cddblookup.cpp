#include "Cddblookup.h"

#include "common/Cstrings.h"
#include "Zodlg.h"

#include <QByteArray>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct TCddbLookup::State {
    std::mutex mu;
    std::condition_variable ended;
    bool cancelled = false;
    bool delivered = false;
    bool running = true;
    // The loaded library's CancelCDDB2 while the thread holds the library.
    CancelCDDB2Proc cancelExport = nullptr;
};

namespace {

// A Get export called twice: for the length, then into a buffer of length + 1.
template <typename Call>
bool FetchText(Call call, QString* text)
{
    const int length = call(nullptr);
    if (length <= 0) return false;
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    if (call(buffer.data()) == 0) return false;
    buffer.back() = '\0';
    *text = DecodeLegacyText(QByteArray(buffer.data()));
    return true;
}

// The exchange with the library, on the look-up's thread.
TCddbAnswer Ask(TCddbLookup::State& state, const QString& path, std::uint32_t discId, const QByteArray& query,
                int trackCount)
{
    TCddbAnswer answer;
    TZodlgLibrary library(path);
    if (!library.IsLoaded()) {
        answer.result = 0;
        return answer;
    }
    answer.loaded = true;
    {
        std::lock_guard lock(state.mu);
        if (state.cancelled) return answer;
        state.cancelExport = library.Find<CancelCDDB2Proc>("CancelCDDB2");
    }
    if (auto init = library.Find<InitCDDB2Proc>("InitCDDB2")) answer.result = init(discId, query.constData());
    {
        // The library goes with this function: no cancel may reach it after.
        std::lock_guard lock(state.mu);
        state.cancelExport = nullptr;
    }
    if (answer.result != 0) return answer;
    if (auto get = library.Find<GetAlbumTextProc>("GetAlbumArtist"))
        answer.haveArtist = FetchText([get](char* b) { return get(b); }, &answer.artist);
    if (auto get = library.Find<GetAlbumTextProc>("GetAlbumTitle"))
        answer.haveAlbum = FetchText([get](char* b) { return get(b); }, &answer.album);
    if (auto get = library.Find<GetTrackTitleProc>("GetTrackTitle")) {
        answer.haveTrackExport = true;
        answer.titles.resize(static_cast<size_t>(std::max(trackCount, 0)));
        for (int t = 1; t <= trackCount; ++t) {
            answer.anyTitle |= FetchText([get, t](char* b) { return get(static_cast<std::uint32_t>(t), b); },
                                         &answer.titles[static_cast<size_t>(t - 1)]);
        }
    }
    return answer;
}

}  // namespace

TCddbLookup::TCddbLookup(std::uint32_t discId, const QString& query, int trackCount, Done done)
    : state_(std::make_shared<State>()), context_(std::make_unique<QObject>())
{
    // Read on the main thread: the test hook behind it is not shared.
    const QString path = TZodlgLibrary::Path();
    std::thread([state = state_, context = context_.get(), path, discId, query = query.toUtf8(), trackCount,
                 done = std::move(done)]() mutable {
        const TCddbAnswer answer = Ask(*state, path, discId, query, trackCount);
        std::lock_guard lock(state->mu);
        state->running = false;
        state->ended.notify_all();
        // The context lives while the look-up is not cancelled: its owner
        // cancels under this lock before it deletes it.
        if (state->cancelled) return;
        QMetaObject::invokeMethod(
            context,
            [state, answer, done = std::move(done)] {
                {
                    std::lock_guard lock(state->mu);
                    if (state->cancelled) return;
                    state->delivered = true;
                }
                done(answer);
            },
            Qt::QueuedConnection);
    }).detach();
}

TCddbLookup::~TCddbLookup()
{
    Cancel();
    // A cancelled exchange ends within a moment; waiting for it keeps the
    // library from being left loaded by a thread that outlives the player.
    // A choice among matches still open ends only with the user, so the wait
    // is bounded.
    std::unique_lock lock(state_->mu);
    state_->ended.wait_for(lock, std::chrono::seconds(1), [this] { return !state_->running; });
    lock.unlock();
    context_.reset();
}

void TCddbLookup::Cancel()
{
    std::lock_guard lock(state_->mu);
    state_->cancelled = true;
    if (state_->cancelExport) state_->cancelExport();
}

bool TCddbLookup::Running() const
{
    std::lock_guard lock(state_->mu);
    return !state_->cancelled && !state_->delivered;
}

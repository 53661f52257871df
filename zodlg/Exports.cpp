// The look-up exports and the kept result of the last read. The result is
// an object of the library's own static storage: it is built when the
// library loads and goes when the player unloads it after the look-up.
#include "zodlg/zodlg.h"

#include "CddbClient.h"
#include "CddbMes.h"
#include "DlgBase.h"

#include <QApplication>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <cstring>

namespace {

CddbReadResult gKept;
// Set by CancelCDDB2 from the player's thread while InitCDDB2 runs on another.
std::atomic<bool> gCancel{false};

// The user's choice among several matches: its row, or -2 when the choice
// was cancelled. The dialog belongs to the application's thread; a look-up
// on another thread waits for it there.
int ChooseOnAppThread(const std::vector<CddbMatch>& matches)
{
    const auto choose = [&matches] {
        QWidget* owner = QApplication::activeWindow();
        std::size_t chosen = 0;
        if (!ChooseMatch(matches, &chosen)) return -2;
        // The read blocks; show the window without the dialog meanwhile.
        if (owner) owner->repaint();
        return static_cast<int>(chosen);
    };
    if (!qApp || QThread::currentThread() == qApp->thread()) return choose();
    int selected = -2;
    QMetaObject::invokeMethod(qApp, [&] { selected = choose(); }, Qt::BlockingQueuedConnection);
    return selected;
}

// The caller asks with a null buffer for the length and then passes
// length + 1 bytes.
int CopyOut(const std::string& text, char* buffer)
{
    const int length = static_cast<int>(text.size());
    if (buffer && length > 0) std::memcpy(buffer, text.c_str(), text.size() + 1);
    return length;
}

}  // namespace

extern "C" {

ZODLG_API int InitCDDB2(uint32_t discId, const char* query)
{
    const zodlg::ExportScope scope;
    // A cancel counts for the look-up running or about to run; once it has
    // ended the next starts afresh.
    struct Reset {
        ~Reset() { gCancel = false; }
    } reset;
    CCddbClient client;
    client.cancel = &gCancel;
    const CddbServer server = client.ConfiguredServer();
    std::vector<CddbMatch> matches;
    if (!client.Query(server, discId, query ? query : "", &matches)) return client.status;

    std::size_t chosen = 0;
    if (matches.size() > 1) {
        const int selected = ChooseOnAppThread(matches);
        if (selected == -2) return 2;
        if (selected < 0 || static_cast<std::size_t>(selected) >= matches.size()) return client.status;
        chosen = static_cast<std::size_t>(selected);
    }
    // Once a match was taken the look-up answers 0 whether or not its read
    // succeeds: a failed read keeps the previous result (empty within one
    // load), so the Get exports hand out nothing and the player decides what
    // an untitled answer means for the titles it already shows.
    CddbReadResult result;
    if (client.Read(server, matches[chosen].category, matches[chosen].discId, &result)) gKept = std::move(result);
    return 0;
}

ZODLG_API void CancelCDDB2(void) { gCancel = true; }

ZODLG_API int GetAlbumArtist(char* buffer) { return CopyOut(gKept.artist, buffer); }

ZODLG_API int GetAlbumTitle(char* buffer) { return CopyOut(gKept.album, buffer); }

ZODLG_API int GetTrackTitle(uint32_t track, char* buffer)
{
    if (track < 1 || track > gKept.trackTitles.size()) return 0;
    return CopyOut(gKept.trackTitles[track - 1], buffer);
}

}  // extern "C"

// Shared helpers of the main-window tests: a window built from an argument
// list in an isolated home, with quiet sound and the painted renderer, the
// `Main` key read and written directly, and small file-tree helpers.
#pragma once

#include "platform/registry/registry.h"
#include "player/ZoMainProbe.h"
#include "common/Reghelp.h"
#include "support/test_util.h"
#include "ui_ZoMain.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>
#include <ostream>

// Readable values in failure messages.
inline std::ostream& operator<<(std::ostream& os, const QString& s) { return os << s.toStdString(); }
inline std::ostream& operator<<(std::ostream& os, const QStringList& l)
{
    return os << "[" << l.join(QStringLiteral(", ")).toStdString() << "]";
}
inline std::ostream& operator<<(std::ostream& os, const QRect& r)
{
    return os << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}
inline std::ostream& operator<<(std::ostream& os, const QPoint& p) { return os << p.x() << "," << p.y(); }
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << l; }

namespace mwtest {

// ---- the Main key ----
void SetMainDword(const char* name, DWORD value);
void SetMainString(const char* name, const QString& text);
std::optional<DWORD> MainDword(const char* name);
std::optional<QString> MainString(const char* name);
// Number of values under Main; -1 when the key does not exist.
int MainValueCount();

// ---- files ----
bool FixturesMade();
QString Fixture(const char* name);
// A symbolic link `link` to `target`, creating the link's folders.
bool Link(const QString& target, const QString& link);
bool MakeDir(const QString& path);
// A copy of `source` with the first bytes replaced by `head`.
bool CopyWithHead(const QString& source, const QString& target, const QByteArray& head);

// Runs what is posted by now (deferred deletions included) and returns
// without waiting for anything new.
void Spin();

// The window as the program makes it, counting the messages its window
// procedure has taken (posted, sent and timer messages alike): a test waits
// until a notice or a timer's tick has been handled, not for a fixed time.
class CountingMain : public TZoMain {
public:
    using TZoMain::TZoMain;
    void WndProc(TMessage& message) override;
    int Taken(UINT msg) const { return taken_.value(msg); }
    int TimerTicks(UINT id) const { return ticks_.value(id); }

private:
    QHash<UINT, int> taken_;
    QHash<UINT, int> ticks_;   // WM_TIMER by timer id
};

// Counts the ticks of one of the window's own QTimers from the moment of the
// call. Made after the window connected its handler, each tick is counted
// once the window has handled it.
class TickCount {
public:
    explicit TickCount(QTimer* timer);
    int Ticks() const { return ticks_; }

private:
    QObject context_;
    int ticks_ = 0;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the window with the command line `args` (its constructor runs
    // the command line) and shows it, as the program entry does.
    TZoMain* Open(const QStringList& args = {});
    // Destroys the window (its settings are written).
    void Close();

    Ui::TZoMain* ui() const { return w->Probe().Form(); }
    QString Home(const QString& name) const { return home->File(name); }
    // A sound file in the home: a link to a fixture (the tone by default).
    QString Sound(const QString& relative, const char* fixture = "tone.wav") const
    {
        const QString path = Home(relative);
        EXPECT_TRUE(Link(Fixture(fixture), path));
        return path;
    }
    // A silent sound file of `milliseconds` in the home (PCM WAV, 8 kHz,
    // 16-bit mono), for lengths the fixtures do not have.
    QString SilentClip(const QString& name, int milliseconds) const;
    QStringList Paths() const;     // paths of the play list in order
    QString Caption() const { return w->windowTitle(); }
    // The window plays a file: graph built and running, its first pause seen.
    bool WaitPlaying(int timeoutMs = 10000);
    // Messages `msg` the window (made by Open) has taken since it was built,
    // and the ticks of its window timer `id`.
    int Taken(UINT msg) const;
    int TimerTicks(UINT id) const;
    // A key as the user's: to the window while none of its controls has the focus.
    void Tap(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier);
    // The window's mixers on recorded sound cards with "Master" at 40000 and
    // "PCM" at 30000; `writes` holds every write of the newest one, in order.
    using MixerWrites = std::vector<std::pair<std::string, long>>;
    void UseRecordedMixer(std::shared_ptr<MixerWrites>& writes);

    std::unique_ptr<testutil::IsolatedHome> home;
    std::unique_ptr<TZoMain> w;
    // The message boxes the window showed ("caption: text"); each answered OK.
    QStringList messageBoxes;
};

// Records every caption the window shows from the moment of the call.
class CaptionLog {
public:
    explicit CaptionLog(TZoMain* window);
    const QStringList& Titles() const { return titles_; }
    bool Saw(const QString& text) const { return titles_.contains(text); }

private:
    QObject context_;
    QStringList titles_;
};

}  // namespace mwtest

#define MW_REQUIRE_FIXTURES()                                                  \
    do {                                                                       \
        if (!mwtest::FixturesMade()) GTEST_SKIP() << "media fixtures not made"; \
    } while (0)

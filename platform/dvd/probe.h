// The disc check before a DVD plays: a short-lived process of our own walks
// the volume (probe_walk.h), so that a disc whose IFO files or navigation
// commands crash or hang libdvdread or libdvdnav is refused instead of
// ending the player. The verdict is kept for the run, keyed by the disc's
// content, so a good disc is walked once.
#pragma once

#include "platform/wintypes.h"

#include <QByteArray>
#include <QString>

#include <thread>

namespace dvd {

enum class ProbeVerdict { Playable, NotDvd, Refused };

// Any thread. Blocks for at most the time limit; while a walk of the same
// disc runs (one started ahead), for its verdict.
ProbeVerdict ProbeVolume(const QString& path);

// The check of the program's first disc, started on a thread of its own
// while the window is built: the window's check of that disc, once it
// starts the disc, takes its verdict. The destructor waits for the walk.
class ProbeAhead {
public:
    explicit ProbeAhead(const QString& path);
    ~ProbeAhead();
    ProbeAhead(const ProbeAhead&) = delete;
    ProbeAhead& operator=(const ProbeAhead&) = delete;

private:
    std::thread thread_;
};

// The verdict as the DVD source's builders answer: S_OK, E_INVALIDARG for
// no DVD-Video volume, E_FAIL for a refused disc.
HRESULT ProbeBeforePlay(const QString& path);

// The key a verdict is kept under: an MD5 over what identifies the disc
// (the names and sizes of a folder's files and its IFO and BUP files'
// bytes; an image's or drive's volume descriptors and size). Empty when
// nothing could be read; such a volume is walked every time.
QByteArray ProbeKey(const QString& path);

// The walk's program; empty (the default) for ZorviDvdProbe beside the
// running program. A program that cannot start leaves discs unchecked.
void SetProbeProgram(const QString& path);
// How long the walk may take before it counts as hung (10 s unless set).
void SetProbeTimeLimit(int milliseconds);
// Forgets every kept verdict.
void ForgetProbeVerdicts();
// The time the last walk took, from start to verdict, in milliseconds
// (0 when the last verdict was a kept one).
qint64 LastProbeMilliseconds();

}  // namespace dvd

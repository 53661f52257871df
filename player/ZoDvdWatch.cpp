// The watch over a playing disc. A disc passed the check before it played
// (platform/dvd/probe.h), but its navigation can still hang inside libdvdnav
// later, after a jump the check did not take: the picture then stops, no
// still comes, and the VM spins. After 10 s of that the disc is closed with
// the message of a disc that cannot be played, and the window goes on.
#include "player/ZoMain.h"

#include "platform/dialogs/dialogs.h"
#include "platform/dvd/player.h"
#include "platform/dvd/probe_stall.h"

#include <QElapsedTimer>
#include <QTimer>

#include <memory>

namespace {

constexpr int kWatchInterval = 1000;
constexpr char kWatchName[] = "DvdNavigationWatch";

}  // namespace

void TZoMain::WatchDvdNavigation()
{
    delete findChild<QTimer*>(QLatin1String(kWatchName), Qt::FindDirectChildrenOnly);
    dvd::DvdPlayer* player = DvdPipeline();
    // A scripted navigator shows no pictures to watch.
    if (!player) return;
    auto* watch = new QTimer(this);
    watch->setObjectName(QLatin1String(kWatchName));
    auto clock = std::make_shared<dvd::NavigationStallClock>();
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    connect(watch, &QTimer::timeout, this, [this, watch, clock, elapsed, player] {
        // The disc it was made for has gone (a new one makes its own watch).
        if (DvdPipeline() != player) {
            watch->deleteLater();
            return;
        }
        dvd::NavigationStallClock::Sample sample;
        sample.frames = player->FramesShown();
        sample.still = player->ShowsStill() || dvd_.StillOn;
        sample.running = dvd_.Playing && (playState_ == psPlaying || playState_ == psScan);
        if (!clock->Update(elapsed->elapsed(), sample)) return;
        watch->deleteLater();
        CloseMedia();
        UpdateControlsForMedia(false);
        MessageBox(this, QStringLiteral("再生できません。"), QStringLiteral("DVD エラー"),
                   MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
    });
    watch->start(kWatchInterval);
}

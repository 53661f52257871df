// ZorviDvdProbe <volume>: walks a DVD-Video volume as the player would read
// it, in a process of its own, and answers by its exit code (0 playable,
// 2 no DVD-Video volume, 3 a navigation that loops). The player starts it
// before a disc reaches its DVD source; a crash or a hang here costs only
// this process.
#include "platform/dvd/probe_walk.h"

#include <QString>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <csignal>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZO_HAS_ASAN 1
#endif
#endif
#ifndef ZO_HAS_ASAN
#define ZO_HAS_ASAN 0
#endif

int main(int argc, char** argv)
{
    if (argc != 2) return 64;
    // A disc that crashes the walk leaves no core file behind, and a walk
    // whose player has gone ends with it.
    const rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // Whatever the player's own time limit, the walk never outlives a minute;
    // and sizes read from a damaged IFO cannot take the machine's memory.
    alarm(60);
    // AddressSanitizer's shadow memory takes terabytes of address space, so
    // a build with it has no such limit: every allocation would fail.
#if !defined(__SANITIZE_ADDRESS__) && !ZO_HAS_ASAN
    const rlimit memory = {rlim_t(1) << 30, rlim_t(1) << 30};
    setrlimit(RLIMIT_AS, &memory);
#endif
    return int(dvd::WalkVolume(QString::fromLocal8Bit(argv[1])));
}

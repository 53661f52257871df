// The walk the disc check runs in its own process: everything the player
// reads of a volume before it plays (DiscInfo, every title set's IFO
// through libdvdread) and the navigation's commands through libdvdnav (first
// play, every title and program chain with its pre and post commands, the
// menus), up to the first block of each, without decoding. A crash or an
// endless loop here ends only the process that walks.
#pragma once

#include <QString>

namespace dvd {

enum class WalkResult {
    Playable = 0,   // every entry reached a picture, a still, the end or a clean error
    NotDvd = 2,     // no DVD-Video volume that the player reads
    Loop = 3,       // an entry ran out of its step budget without a picture
};

struct WalkBudget {
    // get_next_block calls one entry may take before it reaches a block.
    int stepsPerEntry = 4000;
    // get_next_block calls of the whole walk.
    int totalSteps = 200000;
};

WalkResult WalkVolume(const QString& path, const WalkBudget& budget = {});

}  // namespace dvd

// Karaoke mixing on the DVD's audio chain: an audiomixmatrix that passes the
// channels on unchanged until a karaoke mode is chosen, then moves each of
// the auxiliary channels 2, 3 and 4 (guide vocals, guide melodies, effects)
// into the left speaker, the right one, both or neither.
//
// The matrix is only ever changed on the streaming thread, from a probe on the
// mixer's input just before a buffer: audiomixmatrix replaces its matrix in
// set_property without a lock, so a change from another thread could pull the
// matrix from under a buffer being mixed. The number of channels never
// changes, so no renegotiation is needed.
#pragma once

#include "platform/dvd/navigator.h"

#include <gst/audio/audio.h>
#include <gst/gst.h>

#include <memory>
#include <vector>

namespace dvd {

// The matrix for a karaoke mode (navigator.h's KARAOKE_MIX_ bits; rows:
// outputs, columns: inputs) over `channels` channels at `positions` (null or
// unpositioned: the DVD's order L, R, 2, 3, 4). The auxiliary channels leave their own outputs; a speaker
// that takes several channels takes each at an equal share, so the sum
// never clips.
std::vector<std::vector<double>> KaraokeMatrix(ULONG mode, int channels,
                                               const GstAudioChannelPosition* positions);

class KaraokeMixer {
public:
    // Watches `matrix` (an audiomixmatrix in first-channels mode, owned by
    // its pipeline).
    explicit KaraokeMixer(GstElement* matrix);
    ~KaraokeMixer();
    KaraokeMixer(const KaraokeMixer&) = delete;
    KaraokeMixer& operator=(const KaraokeMixer&) = delete;

    // From any thread; applied before the next buffer.
    void SetMode(ULONG mode);
    // Channels unchanged again (another stream was chosen).
    void Reset();

private:
    struct State;
    std::shared_ptr<State> state_;
    GstPad* pad_ = nullptr;
    gulong probe_ = 0;
    gulong caps_ = 0;
};

}   // namespace dvd

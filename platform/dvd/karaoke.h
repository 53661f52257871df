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

#include <gst/audio/audio.h>
#include <gst/gst.h>

#include <memory>
#include <vector>

namespace dvd {

// The mode's bits: 0x04, 0x08, 0x10 put channel 2, 3, 4 into the left
// speaker (output 0), 0x400, 0x800, 0x1000 into the right one (output 1).
// Channels 0 and 1 always stay on their speakers; the other bits are
// reserved and change nothing.
constexpr unsigned long KARAOKE_MIX_2_LEFT = 0x04;
constexpr unsigned long KARAOKE_MIX_3_LEFT = 0x08;
constexpr unsigned long KARAOKE_MIX_4_LEFT = 0x10;
constexpr unsigned long KARAOKE_MIX_2_RIGHT = 0x400;
constexpr unsigned long KARAOKE_MIX_3_RIGHT = 0x800;
constexpr unsigned long KARAOKE_MIX_4_RIGHT = 0x1000;

// The matrix (rows: outputs, columns: inputs) for a karaoke mode over
// `channels` channels at `positions` (null or unpositioned: the DVD's order
// L, R, 2, 3, 4). The auxiliary channels leave their own outputs; a speaker
// that takes several channels takes each at an equal share, so the sum
// never clips.
std::vector<std::vector<double>> KaraokeMatrix(unsigned long mode, int channels,
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
    void SetMode(unsigned long mode);
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

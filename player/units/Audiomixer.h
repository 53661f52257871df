// The volume bar's arithmetic and the player's mixer object: the lines of
// the sound card's mixer that RealMedia clips and audio CDs are turned up or
// down by, since they play outside the file graph.
#pragma once

#include "platform/mixer/mixer.h"
#include "platform/wintypes.h"

#include <array>
#include <memory>

// The stored volume v (0..100) as the graph's level in hundredths of a
// decibel: -10000 for 0, 0 for 100, else 20 log10 of v's share of the 16-bit
// full scale less that scale's 96.329 dB, truncated, within -10000..0.
long VolumeLevel(int v);
// The balance bar's position (0..100) as the graph's balance: 45..55 is the
// centre (50), else position x 200 - 10000. The position it snaps to.
int SnappedBalancePosition(int position);
inline long BalanceOfPosition(int position) { return SnappedBalancePosition(position) * 200L - 10000L; }
inline int PositionOfBalance(long balance) { return static_cast<int>(balance / 200 + 50); }

// The volume of the open audio-CD device (0..65535), which the CD player
// gives the mixer while a CD is open: audio CDs play through their own
// pipeline, which no element of the sound card's mixer reaches.
class CdVolumeControl {
public:
    virtual ~CdVolumeControl() = default;
    virtual bool GetVolume(long* value) const = 0;
    virtual bool SetVolume(long value) = 0;
};

class CAudioMixer {
public:
    enum Slot : int { Master = 0, Wave = 1, Synthesizer = 2, CompactDisc = 3 };
    static constexpr int kSlots = 4;

    // Opens device `device` of `backend` (its index in the order the options
    // dialog lists them) and finds the lines: master "Master", wave "PCM"
    // (else "Master"), synthesizer "Synth"; each found line's level is saved.
    // Without the device it stays not ready and only the CD line works. `cd` is the
    // open CD device's volume (null: none is open; not owned).
    CAudioMixer(std::unique_ptr<mixer::Backend> backend, DWORD device, CdVolumeControl* cd = nullptr);
    // The real sound card's mixer, device `MixerDevice` of the settings.
    static std::unique_ptr<CAudioMixer> ForSoundCard(CdVolumeControl* cd = nullptr);

    bool Ready() const { return ready_; }
    bool Found(int slot) const { return slot >= 0 && slot < kSlots && slots_[slot].found; }
    long Current(int slot) const { return Found(slot) ? slots_[slot].current : 0; }
    // The slot's line to `value`, limited to 0..65535.
    void SetVolume(int slot, long value);
    // The slot's saved level back, when the player set the line since this
    // object was made; once (a level changed elsewhere meanwhile stays).
    void RestoreVolume(int slot);
    // Every line the player set, back.
    void RestoreVolume();

private:
    struct Line {
        bool found = false;
        bool set = false;
        const char* element = nullptr;
        long current = 0;
        long saved = 0;
    };
    std::unique_ptr<mixer::Backend> backend_;
    int device_ = 0;
    CdVolumeControl* cd_ = nullptr;
    bool ready_ = false;
    std::array<Line, kSlots> slots_{};
};

#include "player/units/Audiomixer.h"

#include "common/Reghelp.h"

#include <algorithm>
#include <cmath>

long VolumeLevel(int v)
{
    if (v <= 0) return -10000;
    if (v >= 100) return 0;
    const long level = static_cast<long>(100.0 * (20.0 * std::log10(v * 65536.0 * 0.01) - 96.329));
    return std::clamp(level, -10000L, 0L);
}

int SnappedBalancePosition(int position)
{
    position = std::clamp(position, 0, 100);
    return position >= 45 && position <= 55 ? 50 : position;
}

CAudioMixer::CAudioMixer(std::unique_ptr<mixer::Backend> backend, DWORD device, CdVolumeControl* cd)
    : backend_(std::move(backend)), device_(static_cast<int>(std::min<DWORD>(device, 1024))), cd_(cd)
{
    // The CD line is the disc's own volume: it needs no sound card.
    long cdValue = 0;
    if (cd_ && cd_->GetVolume(&cdValue)) {
        Line& line = slots_[CompactDisc];
        line.found = true;
        line.current = line.saved = std::clamp(cdValue, 0L, mixer::kMaxVolume);
    }
    if (!backend_ || !backend_->Probe(device_)) return;
    auto find = [this](int slot, const char* element) {
        Line& line = slots_[slot];
        long value = 0;
        if (line.found || !backend_->ReadVolume(device_, element, &value)) return;
        line.found = true;
        line.element = element;
        line.current = line.saved = value;
    };
    find(Master, "Master");
    find(Wave, "PCM");
    find(Wave, "Master");
    find(Synthesizer, "Synth");
    ready_ = true;
}

std::unique_ptr<CAudioMixer> CAudioMixer::ForSoundCard(CdVolumeControl* cd)
{
    DWORD device = 0;
    if (const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kMainKey, KEY_ALL_ACCESS))
        device = RegReadDword(key.get(), "MixerDevice", 0);
    return std::make_unique<CAudioMixer>(mixer::AlsaBackend(), device, cd);
}

void CAudioMixer::SetVolume(int slot, long value)
{
    if (!Found(slot) || (slot != CompactDisc && !ready_)) return;
    Line& line = slots_[slot];
    value = std::clamp(value, 0L, mixer::kMaxVolume);
    const bool done = slot == CompactDisc ? cd_ && cd_->SetVolume(value)
                                          : backend_->WriteVolume(device_, line.element, value);
    if (!done) return;
    line.current = value;
    line.set = true;
}

void CAudioMixer::RestoreVolume(int slot)
{
    if (!Found(slot) || (slot != CompactDisc && !ready_) || !slots_[slot].set) return;
    Line& line = slots_[slot];
    line.set = false;
    if (slot == CompactDisc ? cd_ && cd_->SetVolume(line.saved) : backend_->WriteVolume(device_, line.element, line.saved))
        line.current = line.saved;
}

void CAudioMixer::RestoreVolume()
{
    for (int slot = 0; slot < kSlots; ++slot) RestoreVolume(slot);
}

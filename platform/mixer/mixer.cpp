#include "platform/mixer/mixer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdarg>
#include <cstdlib>

namespace mixer {

long ToRange(long value, long min, long max)
{
    if (max <= min) return min;
    const long long v = std::clamp(value, 0L, kMaxVolume);
    return min + static_cast<long>(((max - min) * v + kMaxVolume / 2) / kMaxVolume);
}

long FromRange(long raw, long min, long max)
{
    if (max <= min) return 0;
    const long long r = std::clamp(raw, min, max) - min;
    return static_cast<long>((r * kMaxVolume + (max - min) / 2) / (max - min));
}

namespace {

// ALSA reports its failures on standard error; the player logs nothing.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

std::string DeviceName(int device)
{
    if (device == 0) return "default";
    // Device n is the (n-1)th card present, in card order.
    int card = -1;
    int seen = 0;
    while (snd_card_next(&card) == 0 && card >= 0) {
        if (++seen == device) return "hw:" + std::to_string(card);
    }
    return {};
}

class Mixer {
public:
    explicit Mixer(int device)
    {
        snd_lib_error_set_handler(QuietAlsa);
        const std::string name = DeviceName(device);
        if (name.empty() || snd_mixer_open(&handle_, 0) < 0) return;
        if (snd_mixer_attach(handle_, name.c_str()) < 0 || snd_mixer_selem_register(handle_, nullptr, nullptr) < 0 ||
            snd_mixer_load(handle_) < 0) {
            snd_mixer_close(handle_);
            handle_ = nullptr;
        }
    }
    ~Mixer()
    {
        if (handle_) snd_mixer_close(handle_);
    }
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    bool IsOpen() const { return handle_ != nullptr; }
    snd_mixer_elem_t* Element(const std::string& name) const
    {
        if (!handle_) return nullptr;
        snd_mixer_selem_id_t* id = nullptr;
        snd_mixer_selem_id_alloca(&id);
        snd_mixer_selem_id_set_index(id, 0);
        snd_mixer_selem_id_set_name(id, name.c_str());
        snd_mixer_elem_t* e = snd_mixer_find_selem(handle_, id);
        return e && snd_mixer_selem_has_playback_volume(e) ? e : nullptr;
    }

private:
    snd_mixer_t* handle_ = nullptr;
};

class Alsa : public Backend {
public:
    std::vector<std::string> DeviceNames() override
    {
        std::vector<std::string> names;
        snd_lib_error_set_handler(QuietAlsa);
        if (Mixer(0).IsOpen()) names.push_back("default");
        else names.push_back({});
        int card = -1;
        while (snd_card_next(&card) == 0 && card >= 0) {
            char* name = nullptr;
            names.push_back(snd_card_get_name(card, &name) == 0 && name ? name : "hw:" + std::to_string(card));
            free(name);
        }
        // Without the default device and without cards there is nothing.
        if (names.size() == 1 && names.front().empty()) names.clear();
        return names;
    }

    bool Probe(int device) override { return device >= 0 && Mixer(device).IsOpen(); }

    bool ReadVolume(int device, const std::string& element, long* value) override
    {
        Mixer m(device);
        snd_mixer_elem_t* e = m.Element(element);
        long min = 0, max = 0, raw = 0;
        if (!e || snd_mixer_selem_get_playback_volume_range(e, &min, &max) < 0) return false;
        if (snd_mixer_selem_get_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &raw) < 0) return false;
        *value = FromRange(raw, min, max);
        return true;
    }

    bool WriteVolume(int device, const std::string& element, long value) override
    {
        Mixer m(device);
        snd_mixer_elem_t* e = m.Element(element);
        long min = 0, max = 0;
        if (!e || snd_mixer_selem_get_playback_volume_range(e, &min, &max) < 0) return false;
        return snd_mixer_selem_set_playback_volume_all(e, ToRange(value, min, max)) >= 0;
    }
};

class Null : public Backend {
public:
    std::vector<std::string> DeviceNames() override { return {}; }
    bool Probe(int) override { return false; }
    bool ReadVolume(int, const std::string&, long*) override { return false; }
    bool WriteVolume(int, const std::string&, long) override { return false; }
};

}  // namespace

std::unique_ptr<Backend> AlsaBackend() { return std::make_unique<Alsa>(); }
std::unique_ptr<Backend> NullBackend() { return std::make_unique<Null>(); }

}  // namespace mixer

// The sound card's mixer: the playback volume of named simple elements of a
// mixer device, in 0..65535 spread linearly over the element's own range.
// Devices are counted as the options dialog lists them: index 0 the desktop's
// default device (the sound server's mixer where one runs), then each card
// in card order. Every call opens the device and closes it again, so a
// sound server that restarts meanwhile is found anew. Main thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace mixer {

inline constexpr long kMaxVolume = 65535;

class Backend {
public:
    virtual ~Backend() = default;
    // The devices' names, index 0 first; empty when there is no device.
    virtual std::vector<std::string> DeviceNames() = 0;
    // The device opens and has a mixer.
    virtual bool Probe(int device) = 0;
    // The element's playback volume (its first channel) in 0..65535; false
    // when the device or the element (or its playback volume) is missing.
    virtual bool ReadVolume(int device, const std::string& element, long* value) = 0;
    // Every channel of the element to `value` (limited to 0..65535).
    virtual bool WriteVolume(int device, const std::string& element, long value) = 0;
};

// The sound card's mixer through ALSA.
std::unique_ptr<Backend> AlsaBackend();
// No device at all.
std::unique_ptr<Backend> NullBackend();

// Position in 0..65535 on a range min..max and back (rounded; an empty
// range gives its minimum and 0).
long ToRange(long value, long min, long max);
long FromRange(long raw, long min, long max);

}  // namespace mixer

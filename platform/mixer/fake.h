// A mixer device for tests: its elements and their volumes are set by the
// test, and every write is recorded.
#pragma once

#include "platform/mixer/mixer.h"

#include <algorithm>
#include <map>
#include <memory>
#include <utility>

namespace mixer {

class RecordingBackend : public Backend {
public:
    std::vector<std::string> names = {"default"};
    std::map<std::string, long> elements;                 // of device 0
    // Every write in order; shared, so that it outlives the device.
    std::shared_ptr<std::vector<std::pair<std::string, long>>> writes =
        std::make_shared<std::vector<std::pair<std::string, long>>>();

    std::vector<std::string> DeviceNames() override { return names; }
    bool Probe(int device) override { return device >= 0 && device < static_cast<int>(names.size()); }
    bool ReadVolume(int device, const std::string& element, long* value) override
    {
        const auto it = elements.find(element);
        if (device != 0 || it == elements.end()) return false;
        *value = it->second;
        return true;
    }
    bool WriteVolume(int device, const std::string& element, long value) override
    {
        const auto it = elements.find(element);
        if (device != 0 || it == elements.end()) return false;
        it->second = std::clamp(value, 0L, kMaxVolume);
        writes->emplace_back(element, it->second);
        return true;
    }
};

}  // namespace mixer

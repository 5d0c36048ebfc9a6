#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace velmora {

// One entry of the panel's list of recently received files.
struct ReceivedFile {
    std::string id;                 // a new random UUID per entry
    std::filesystem::path path;     // the final file
    std::int64_t receivedAtMs = 0;  // wall-clock completion time, milliseconds since 1970

    bool operator==(const ReceivedFile&) const = default;
};

}  // namespace velmora

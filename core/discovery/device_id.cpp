#include "core/discovery/device_id.h"

#include <algorithm>

namespace velmora::Discovery {

bool isDeviceID(std::string_view text) {
    return text.size() == 32 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

}  // namespace velmora::Discovery

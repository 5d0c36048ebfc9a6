#pragma once

#include <string_view>

namespace velmora::Discovery {

// The form of a device id: exactly 32 characters, each '0'-'9' or 'a'-'f'. Upper-case hex is not a device
// id, so one key has exactly one id text to compare against.
bool isDeviceID(std::string_view text);

}  // namespace velmora::Discovery

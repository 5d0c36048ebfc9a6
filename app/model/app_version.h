#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::AppVersion {

// This program's version ("0.1.0") and build number, as the build stamped them; "?" and 0 when it did not.
// The phone compares its companion app's build with ours ("caps").
const std::string& version();
std::int64_t build();

// A build number text read as a whole decimal number: digits only, at most 18; 0 for anything else.
std::int64_t parseBuild(std::string_view text);

}  // namespace velmora::AppVersion

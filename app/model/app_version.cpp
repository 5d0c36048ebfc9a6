#include "app/model/app_version.h"

namespace velmora::AppVersion {

const std::string& version() {
#ifdef VELMORA_APP_VERSION
    static const std::string text = VELMORA_APP_VERSION;
#else
    static const std::string text = "?";
#endif
    return text;
}

std::int64_t build() {
#ifdef VELMORA_APP_BUILD
    static const std::int64_t number = parseBuild(VELMORA_APP_BUILD);
#else
    static const std::int64_t number = 0;
#endif
    return number;
}

std::int64_t parseBuild(std::string_view text) {
    if (text.empty() || text.size() > 18) return 0;
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace velmora::AppVersion

#include "core/l10n/l10n.h"

namespace velmora::L10n {

// Placeholder until the string tables arrive: every key shows as itself.
std::string string(std::string_view key) {
    return std::string(key);
}

std::string format(std::string_view key, const std::vector<Arg>&) {
    return std::string(key);
}

}  // namespace velmora::L10n

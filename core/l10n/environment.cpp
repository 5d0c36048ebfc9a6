#include "core/l10n/environment.h"

#include <algorithm>
#include <cstdlib>

namespace velmora::L10n {

Environment processEnvironment() {
    return [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    };
}

std::optional<std::string> firstSet(const Environment& env, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        auto value = env(name);
        if (value && !value->empty()) return value;
    }
    return std::nullopt;
}

std::optional<std::string> localeIdentifier(std::string_view posixName) {
    std::string_view name = posixName.substr(0, posixName.find(':'));
    name = name.substr(0, std::min(name.find('.'), name.find('@')));
    if (name.empty() || name == "C" || name == "POSIX") return std::nullopt;
    std::string id(name);
    std::replace(id.begin(), id.end(), '_', '-');
    return id;
}

std::string languageOf(std::string_view identifier) {
    return std::string(identifier.substr(0, identifier.find('-')));
}

}  // namespace velmora::L10n

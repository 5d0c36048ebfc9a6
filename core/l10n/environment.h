#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::L10n {

// Reads one environment variable; absent when it is not set. The process environment by default, a fixed
// map in tests.
using Environment = std::function<std::optional<std::string>(const std::string& name)>;

Environment processEnvironment();

// The first of `names` that is set and not empty.
std::optional<std::string> firstSet(const Environment& env, std::initializer_list<const char*> names);

// A POSIX locale name ("pt_PT.UTF-8@euro") as a locale identifier ("pt-PT"); absent for "C", "POSIX" and
// an empty name, which name no language. A colon-separated list (LANGUAGE) gives its first entry.
std::optional<std::string> localeIdentifier(std::string_view posixName);

// The language part of a locale identifier: "pt" for "pt-BR".
std::string languageOf(std::string_view identifier);

}  // namespace velmora::L10n

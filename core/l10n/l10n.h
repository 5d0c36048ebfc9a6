#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velmora::L10n {

// One argument of a format: a text or a whole number.
using Arg = std::variant<std::string, std::int64_t>;

// The text of `key` in the current language; the key itself when the table has no entry.
std::string string(std::string_view key);

// The text of `key` used as a format, filled with `args` in order.
std::string format(std::string_view key, const std::vector<Arg>& args);

}  // namespace velmora::L10n

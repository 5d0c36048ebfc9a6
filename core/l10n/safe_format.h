#pragma once

// Fills a localised text with arguments. Table texts come from translators and may be wrong, so unlike
// printf-style formatting this never reads past the arguments it was given and never fails:
//
//   %@        the next argument (a text; an integer argument shows in decimal)
//   %d %ld %lld
//             the next argument (an integer in decimal, no grouping; a text argument shows as itself)
//   %N$@  %N$d  %N$ld  %N$lld
//             argument N (1-based), so a translation may put the arguments in another order; these do not
//             move the position of the plain placeholders, which take arguments 1, 2, ... in turn
//   %%        a percent sign
//
// A placeholder whose argument was not given stays in the result exactly as written ("%@", "%3$d"), and
// anything else after a "%" (an unknown or malformed specifier such as "%s", "%5d" or "%0$@", or a "%" at
// the end) is copied through unchanged.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velmora {

// One argument of a format: a text or a whole number.
using FormatArg = std::variant<std::string, std::int64_t>;

std::string safeFormat(std::string_view pattern, const std::vector<FormatArg>& args);

}  // namespace velmora

#pragma once

#include <string_view>
#include <vector>

namespace velmora::Split {

// The non-empty pieces of `text` between occurrences of `separator`: a run of separators counts as one,
// and separators at either end give no empty piece. Views into `text`.
std::vector<std::string_view> pieces(std::string_view text, char separator);

}  // namespace velmora::Split

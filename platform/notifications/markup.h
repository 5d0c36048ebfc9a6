#pragma once

#include <string>
#include <string_view>

namespace velmora::Markup {

// A plain text made safe for a notification body that the server reads as markup: "&", "<" and ">" become
// entities, so "<a href>" or "<img src>" from the phone show as typed and load nothing.
std::string escape(std::string_view text);

}  // namespace velmora::Markup

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// The desktop's clipboard (the one copy and paste use, not the primary selection). The model polls it and
// keeps the change count it last saw; what the model wrote itself comes back as the count replaceText
// returns, so the model never mistakes its own write for the user's copy.
//
// Threads: the main executor only.
class Clipboard {
  public:
    virtual ~Clipboard() = default;
    // Raised by every change of the content, whoever made it, except the one replaceText makes.
    virtual std::int64_t changeCount() const = 0;
    // The MIME types offered now; empty when the clipboard is empty.
    virtual std::vector<std::string> types() const = 0;
    // The bytes offered under `mimeType`; absent when that type is not offered.
    virtual std::optional<std::string> data(const std::string& mimeType) const = 0;
    // The plain text (UTF-8); absent when none is offered.
    virtual std::optional<std::string> text() const = 0;
    // Replaces the whole content by `text` and returns the change count after it.
    virtual std::int64_t replaceText(const std::string& text) = 0;
};

}  // namespace velmora

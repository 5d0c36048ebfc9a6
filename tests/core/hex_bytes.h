#pragma once

#include <string>
#include <string_view>

#include "core/bytes.h"

namespace velmora::test {

// Test vectors are written as hex text; a malformed literal is a bug in the test itself.
inline Bytes fromHex(std::string_view text) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
    }
    return out;
}

inline Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

}  // namespace velmora::test

#include "core/text/utf8.h"

#include <cstdint>

namespace velmora::Utf8 {

namespace {

bool isContinuation(std::uint8_t b) {
    return (b & 0xC0) == 0x80;
}

// Length of the sequence a lead byte starts, and the range its second byte must lie in (this is where
// overlong forms, surrogates and values above U+10FFFF are refused). 0 for a byte that cannot lead.
struct Lead {
    int length;
    std::uint8_t low;
    std::uint8_t high;
};

Lead leadOf(std::uint8_t b) {
    if (b < 0x80) return {1, 0, 0};
    if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF};
    if (b == 0xE0) return {3, 0xA0, 0xBF};
    if (b == 0xED) return {3, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF) return {3, 0x80, 0xBF};
    if (b == 0xF0) return {4, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return {4, 0x80, 0xBF};
    if (b == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

}  // namespace

char32_t next(std::string_view text, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t first = byte(pos);
    const Lead lead = leadOf(first);
    if (lead.length == 1) {
        ++pos;
        return first;
    }
    if (lead.length == 0) {
        ++pos;
        return replacement;
    }
    char32_t value = first & (0xFF >> (lead.length + 1));
    std::size_t i = pos + 1;
    for (int k = 1; k < lead.length; ++k, ++i) {
        // A missing or wrong byte ends the ill-formed subpart before it; that byte starts the next scalar.
        if (i >= text.size()) break;
        const std::uint8_t b = byte(i);
        const bool ok = k == 1 ? (b >= lead.low && b <= lead.high) : isContinuation(b);
        if (!ok) break;
        value = (value << 6) | (b & 0x3F);
        if (k == lead.length - 1) {
            pos = i + 1;
            return value;
        }
    }
    pos = i;
    return replacement;
}

void append(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = replacement;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::u32string decode(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();)
        out.push_back(next(text, pos));
    return out;
}

std::string encode(std::u32string_view scalars) {
    std::string out;
    out.reserve(scalars.size());
    for (char32_t c : scalars)
        append(out, c);
    return out;
}

}  // namespace velmora::Utf8

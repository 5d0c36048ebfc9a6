#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::Utf8 {

// The one UTF-8 decoder of the core. Text from the phone, Avahi records or files may hold any bytes; every
// ill-formed sequence decodes to U+FFFD, one per maximal ill-formed subpart (the Unicode recommendation), so
// nothing is silently dropped and nothing invalid passes through to a cleaned text. Overlong forms,
// surrogates and values above U+10FFFF are ill-formed.

inline constexpr char32_t replacement = 0xFFFD;

// Decodes the scalar that starts at `pos` (which must be < text.size()) and moves `pos` past it.
char32_t next(std::string_view text, std::size_t& pos);

// The UTF-8 length of a scalar: 1 to 4 bytes.
constexpr std::size_t length(char32_t c) {
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

// The UTF-16 length of a scalar: 2 above U+FFFF, else 1.
constexpr std::size_t utf16Length(char32_t c) {
    return c > 0xFFFF ? 2 : 1;
}

// Appends the UTF-8 form of a scalar (a value that is no scalar is appended as U+FFFD).
void append(std::string& out, char32_t c);

// The scalars of a text, ill-formed bytes as U+FFFD.
std::u32string decode(std::string_view text);

// The UTF-8 form of a list of scalars.
std::string encode(std::u32string_view scalars);

}  // namespace velmora::Utf8

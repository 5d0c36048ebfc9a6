#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/bytes.h"

// Standard base64 (RFC 4648 alphabet, '=' padding), as byte strings travel inside control messages and the
// peers file.
namespace velmora::Base64 {

std::string encode(ByteView data);

// Strict decoding: the length must be a multiple of four, only the standard alphabet, padding only at the
// end, and unused low bits of the last character zero, so each byte string has exactly one accepted text.
// White space, line breaks, the URL-safe alphabet and missing padding are all refused (nullopt).
std::optional<Bytes> decode(std::string_view text);

}  // namespace velmora::Base64

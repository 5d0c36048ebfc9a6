#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/limits.h"

namespace velmora::PasteChunker {

inline constexpr std::int64_t chunkChars = 8000;   // user-visible characters per chunk
inline constexpr std::int64_t chunkBytes = 16384;  // UTF-8 bytes per chunk
inline constexpr std::int64_t maxChars = 100000;   // characters per paste

// Each chunk travels as {"t":"in.text","text":chunk} in one input record. JSON escaping grows a control
// character to 6 bytes and '"' or '\' to 2; a character (grapheme cluster) holds at most one of them, since
// controls stand alone, so a chunk's record is at most its bytes, 5 per character and the envelope.
static_assert(chunkBytes + 5 * chunkChars + 32 <= Limits::inputMax);

struct Result {
    std::vector<std::string> chunks;  // in text order; together the first maxChars characters of the text
    bool truncated = false;           // characters remained after maxChars
    bool operator==(const Result&) const = default;
};

// Cuts a pasted text into chunks of at most `charsPerChunk` characters and `bytesPerChunk` bytes, walking it
// by extended grapheme clusters so that no character is cut between two chunks, and takes at most
// `charsInAll` characters. The one exception: a single character longer than `bytesPerChunk` (a base with
// thousands of combining marks) is cut at scalar boundaries into chunks of its own, since whole it could not
// travel. Ill-formed UTF-8 reads as U+FFFD, so every chunk is valid UTF-8.
Result split(std::string_view text, std::int64_t charsPerChunk = chunkChars,
             std::int64_t bytesPerChunk = chunkBytes, std::int64_t charsInAll = maxChars);

}  // namespace velmora::PasteChunker

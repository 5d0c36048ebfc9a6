#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::SafeText {

// Cleaning rules for text the phone sends, applied before the text is shown, logged or used as a file
// name. An absent text is the empty text; nothing here fails; every result is valid UTF-8 (ill-formed
// input bytes count as U+FFFD). Counts are of Unicode scalars unless a name says bytes.
//
// "Unsafe" scalars: controls (U+0000-U+001F, U+007F-U+009F), zero-width and direction marks
// (U+200B-U+200F), line/paragraph separators and bidi embeddings/overrides (U+2028-U+202E), bidi isolates
// (U+2066-U+2069) and the byte-order mark (U+FEFF): they can hide or reorder what a reader sees.

using Text = std::optional<std::string_view>;

// A phone's announced name: unsafe scalars and "|" dropped, blanks trimmed, at most 64 scalars and
// 256 bytes; "dispositivo" when nothing is left.
std::string deviceName(Text name);

// A name for a file in the destination folder: only the part after the last "/" or "\", unsafe scalars
// dropped, the characters : * ? " < > | replaced by "_", blanks trimmed, leading dots and trailing dots
// and blanks removed, cut to 200 bytes keeping a short extension; "arquivo" when nothing is left.
std::string fileName(Text name);

// A platform word: the first 16 ASCII letters and digits; "?" when there are none.
std::string platform(Text text);

// The text unchanged when it is 1 to 32 bytes of ASCII letters, digits, "-", "." and "_"; else "?".
std::string logToken(Text text);

// One log line: tab, LF and CR become blanks, other unsafe scalars are dropped, at most `max` scalars.
std::string logLine(Text text, std::int64_t max);

// A multi-line text quoted in the log: the first `maxLines` lines (split at LF, but a CR LF pair stays
// inside its line), each as `prefix` + logLine(line, maxLineScalars), joined with LF.
std::string quotedBlock(Text text, std::int64_t maxLines, std::int64_t maxLineScalars,
                        std::string_view prefix);

// The longest run of whole scalars from the start within `scalars` scalars and, when given, `bytes` bytes.
std::string limit(std::string_view text, std::int64_t scalars, std::optional<std::int64_t> bytes);

// limit(text, n, 4 * n).
std::string clamp(Text text, std::int64_t n);

// A file name cut to `maxBytes` UTF-8 bytes, keeping an extension of at most 16 UTF-16 units (the dot
// included) whole; trailing dots and blanks of a cut name removed; "arquivo" when nothing is left.
std::string truncateUtf8(std::string_view text, std::int64_t maxBytes);

// The scalar sets above, for callers that clean text of their own.
bool isUnsafe(char32_t c);
bool isWhitespace(char32_t c);

}  // namespace velmora::SafeText

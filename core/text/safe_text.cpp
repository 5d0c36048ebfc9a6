#include "core/text/safe_text.h"

#include <algorithm>
#include <limits>

#include "core/text/limits.h"
#include "core/text/utf8.h"

namespace velmora::SafeText {

namespace {

constexpr std::string_view kDeviceFallback = "dispositivo";
constexpr std::string_view kFileFallback = "arquivo";
constexpr std::size_t kExtensionMaxUtf16 = 16;

std::string_view orEmpty(Text text) {
    return text.value_or(std::string_view{});
}

void trimWhitespace(std::u32string& s) {
    const auto first = std::find_if_not(s.begin(), s.end(), isWhitespace);
    s.erase(s.begin(), first);
    while (!s.empty() && isWhitespace(s.back()))
        s.pop_back();
}

void dropTrailingDotsAndBlanks(std::u32string& s) {
    while (!s.empty() && (s.back() == U'.' || s.back() == U' '))
        s.pop_back();
}

bool isAsciiAlnum(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9');
}

// The part after the last "/", and then after the last "\" of what remains.
std::u32string_view lastPathComponent(std::u32string_view s) {
    for (char32_t sep : {U'/', U'\\'}) {
        const auto at = s.rfind(sep);
        if (at != std::u32string_view::npos) s.remove_prefix(at + 1);
    }
    return s;
}

// Where a short extension starts (its dot), or npos: the last dot, when it is not the first scalar and it
// with what follows comes to at most 16 UTF-16 units. An extension longer than the whole byte budget is not
// kept either, so a cut name never exceeds maxBytes.
std::size_t extensionStart(std::u32string_view s, std::int64_t maxBytes) {
    const auto dot = s.rfind(U'.');
    if (dot == std::u32string_view::npos || dot == 0) return std::u32string_view::npos;
    std::size_t units = 0;
    std::int64_t bytes = 0;
    for (char32_t c : s.substr(dot)) {
        units += Utf8::utf16Length(c);
        bytes += static_cast<std::int64_t>(Utf8::length(c));
        if (units > kExtensionMaxUtf16 || bytes > maxBytes) return std::u32string_view::npos;
    }
    return dot;
}

}  // namespace

bool isUnsafe(char32_t c) {
    return c <= 0x1F || (c >= 0x7F && c <= 0x9F) || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

bool isWhitespace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

std::string limit(std::string_view text, std::int64_t scalars, std::optional<std::int64_t> bytes) {
    std::string out;
    if (scalars <= 0) return out;
    std::int64_t count = 0;
    for (std::size_t pos = 0; pos < text.size() && count < scalars;) {
        const char32_t c = Utf8::next(text, pos);
        if (bytes && static_cast<std::int64_t>(out.size() + Utf8::length(c)) > *bytes) break;
        Utf8::append(out, c);
        ++count;
    }
    return out;
}

std::string clamp(Text text, std::int64_t n) {
    constexpr std::int64_t most = std::numeric_limits<std::int64_t>::max() / 4;
    return limit(orEmpty(text), n, std::clamp(n, std::int64_t{0}, most) * 4);
}

std::string deviceName(Text name) {
    std::u32string kept;
    for (char32_t c : Utf8::decode(orEmpty(name))) {
        if (!isUnsafe(c) && c != U'|') kept.push_back(c);
    }
    trimWhitespace(kept);
    // Trimmed before the cut and not after, so a cut name may end in a blank.
    std::string out = limit(Utf8::encode(kept), Limits::deviceNameMaxChars, Limits::deviceNameMaxBytes);
    return out.empty() ? std::string(kDeviceFallback) : out;
}

std::string platform(Text text) {
    std::string out;
    const std::string_view s = orEmpty(text);
    for (std::size_t pos = 0; pos < s.size() && out.size() < 16;) {
        const char32_t c = Utf8::next(s, pos);
        if (isAsciiAlnum(c)) out.push_back(static_cast<char>(c));
    }
    return out.empty() ? "?" : out;
}

std::string logToken(Text text) {
    const std::string_view s = orEmpty(text);
    const auto allowed = [](char c) {
        return isAsciiAlnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
    };
    if (s.empty() || s.size() > 32 || !std::all_of(s.begin(), s.end(), allowed)) return "?";
    return std::string(s);
}

std::string logLine(Text text, std::int64_t max) {
    std::string out;
    const std::string_view s = orEmpty(text);
    std::int64_t emitted = 0;
    for (std::size_t pos = 0; pos < s.size() && emitted < max;) {
        const char32_t c = Utf8::next(s, pos);
        if (c == U'\t' || c == U'\n' || c == U'\r') {
            out.push_back(' ');
        } else if (isUnsafe(c)) {
            continue;
        } else {
            Utf8::append(out, c);
        }
        ++emitted;
    }
    return out;
}

std::string quotedBlock(Text text, std::int64_t maxLines, std::int64_t maxLineScalars,
                        std::string_view prefix) {
    const std::string_view s = orEmpty(text);
    std::string out;
    std::int64_t lines = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; lines < maxLines; ++i) {
        // A line ends at LF, except that CR LF is one character that does not split a line (an ill-formed
        // byte before LF decodes to U+FFFD, never to CR, so looking at the raw byte is exact).
        const bool atEnd = i == s.size();
        if (!atEnd && (s[i] != '\n' || (i > start && s[i - 1] == '\r'))) continue;
        if (lines > 0) out.push_back('\n');
        out.append(prefix);
        out += logLine(s.substr(start, i - start), maxLineScalars);
        ++lines;
        start = i + 1;
        if (atEnd) break;
    }
    return out;
}

std::string truncateUtf8(std::string_view text, std::int64_t maxBytes) {
    const std::u32string scalars = Utf8::decode(text);
    const std::string whole = Utf8::encode(scalars);
    if (static_cast<std::int64_t>(whole.size()) <= maxBytes) return whole;

    std::u32string_view stem = scalars;
    std::u32string_view extension;
    if (const auto dot = extensionStart(stem, maxBytes); dot != std::u32string_view::npos) {
        extension = stem.substr(dot);
        stem = stem.substr(0, dot);
    }
    const std::int64_t budget = maxBytes - static_cast<std::int64_t>(Utf8::encode(extension).size());
    std::u32string result;
    std::int64_t used = 0;
    for (char32_t c : stem) {
        used += static_cast<std::int64_t>(Utf8::length(c));
        if (used > budget) break;
        result.push_back(c);
    }
    result.append(extension);
    dropTrailingDotsAndBlanks(result);
    return result.empty() ? std::string(kFileFallback) : Utf8::encode(result);
}

std::string fileName(Text name) {
    const std::u32string all = Utf8::decode(orEmpty(name));
    std::u32string kept;
    for (char32_t c : lastPathComponent(all)) {
        if (isUnsafe(c)) continue;
        const bool reserved = std::u32string_view(U":*?\"<>|").find(c) != std::u32string_view::npos;
        kept.push_back(reserved ? U'_' : c);
    }
    trimWhitespace(kept);
    // A leading dot would hide the file (and "." or ".." would name a folder); checked per scalar, so a dot
    // followed by a combining mark goes too.
    kept.erase(0, kept.find_first_not_of(U'.'));
    dropTrailingDotsAndBlanks(kept);
    if (kept.empty()) return std::string(kFileFallback);
    return truncateUtf8(Utf8::encode(kept), Limits::fileNameMaxBytes);
}

}  // namespace velmora::SafeText

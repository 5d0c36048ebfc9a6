#include "app/links/installer/adb_text.h"

#include <algorithm>

#include "core/text/utf8.h"

namespace velmora::AdbText {
namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Splits `text` into the runs of scalars for which `separator` is false.
template <typename Separator>
std::vector<std::u32string> runs(std::string_view text, Separator separator) {
    std::vector<std::u32string> out(1);
    for (const char32_t c : Utf8::decode(text)) {
        if (!separator(c)) {
            out.back().push_back(c);
        } else if (!out.back().empty()) {
            out.emplace_back();
        }
    }
    if (out.back().empty()) out.pop_back();
    return out;
}

}  // namespace

std::string decode(const Bytes& bytes) {
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return Utf8::encode(Utf8::decode(raw));
}

bool isLineBreak(char32_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isInlineSpace(char32_t c) {
    return c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x202F || c == 0x205F || c == 0x3000;
}

std::vector<std::string> trimmedLines(std::string_view text) {
    std::vector<std::string> out;
    for (auto line : runs(text, isLineBreak)) {
        const auto first = std::find_if_not(line.begin(), line.end(), isInlineSpace);
        const auto last = std::find_if_not(line.rbegin(), line.rend(), isInlineSpace).base();
        if (first < last)
            out.push_back(Utf8::encode(std::u32string_view(&*first, static_cast<std::size_t>(last - first))));
    }
    return out;
}

std::string firstToken(std::string_view text) {
    const auto tokens = runs(text, [](char32_t c) { return isLineBreak(c) || isInlineSpace(c); });
    return tokens.empty() ? std::string() : Utf8::encode(tokens.front());
}

bool containsNoCase(std::string_view text, std::string_view needle) {
    const auto it = std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                                [](char a, char b) { return lower(a) == lower(b); });
    return it != text.end() || needle.empty();
}

}  // namespace velmora::AdbText

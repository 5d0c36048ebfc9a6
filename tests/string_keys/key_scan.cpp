#include "string_keys/key_scan.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>

namespace velmora::strings {

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::size_t skipSpace(std::string_view s, std::size_t i) {
    return std::min(s.find_first_not_of(" \t\n\r", i), s.size());
}

// Skips a string or character literal that starts at `i`; returns the index after it.
std::size_t skipLiteral(std::string_view s, std::size_t i) {
    const char quote = s[i++];
    while (i < s.size() && s[i] != quote)
        i += (s[i] == '\\') ? 2 : 1;
    return i + 1;
}

// Counts the elements of the braced list that opens at `i`; absent when it is not closed.
std::optional<int> countBraced(std::string_view s, std::size_t i) {
    int depth = 0;
    int commas = 0;
    bool any = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"' || c == '\'') {
            i = skipLiteral(s, i) - 1;
            any = true;
            continue;
        }
        if (c == '{' || c == '(' || c == '[') {
            if (depth++ > 0) any = true;
            continue;
        }
        if (c == '}' || c == ')' || c == ']') {
            if (--depth == 0) return any ? commas + 1 : 0;
            continue;
        }
        if (depth == 1 && c == ',') ++commas;
        if (depth >= 1 && c != ' ' && c != '\n' && c != '\t' && c != '\r') any = true;
    }
    return std::nullopt;
}

// The argument count of a format call whose key literal ends at `i`.
std::optional<int> argumentsAfterKey(std::string_view s, std::size_t i) {
    i = skipSpace(s, i);
    if (i < s.size() && s[i] == ')') return 0;
    if (i >= s.size() || s[i] != ',') return std::nullopt;
    i = skipSpace(s, i + 1);
    if (i >= s.size() || s[i] != '{') return std::nullopt;  // a vector built elsewhere: count unknown
    return countBraced(s, i);
}

int lineOf(std::string_view s, std::size_t offset) {
    return 1 + static_cast<int>(std::count(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

}  // namespace

std::vector<KeyUse> scanSource(std::string_view source, const std::string& fileName) {
    static const std::regex call(R"(L10n::(string|format)\s*\(\s*"([^"\\]*)\")");
    std::vector<KeyUse> uses;
    const std::string text(source);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), call); it != std::sregex_iterator(); ++it) {
        const auto& m = *it;
        KeyUse use;
        use.key = m[2].str();
        use.isFormat = m[1].str() == "format";
        const auto end = static_cast<std::size_t>(m.position(0) + m.length(0));
        use.argCount = use.isFormat ? argumentsAfterKey(source, end) : std::optional<int>(0);
        use.where = fileName + ":" + std::to_string(lineOf(source, static_cast<std::size_t>(m.position(0))));
        uses.push_back(std::move(use));
    }
    return uses;
}

std::vector<KeyUse> scanTree(const std::filesystem::path& base, const std::vector<std::string>& roots) {
    std::vector<KeyUse> all;
    for (const auto& root : roots) {
        const auto dir = base / root;
        if (!std::filesystem::is_directory(dir)) continue;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
            const auto ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            auto uses =
                scanSource(readFile(entry.path()), std::filesystem::relative(entry.path(), base).string());
            all.insert(all.end(), uses.begin(), uses.end());
        }
    }
    return all;
}

int placeholderCount(std::string_view text) {
    static const std::regex spec(R"(%(?:%|([1-9][0-9]*)\$(?:@|d|ld|lld)|@|d|ld|lld))");
    int plain = 0;
    int positional = 0;
    const std::string s(text);
    for (auto it = std::sregex_iterator(s.begin(), s.end(), spec); it != std::sregex_iterator(); ++it) {
        const auto& m = *it;
        if (m.str() == "%%") continue;
        if (m[1].matched) {
            positional = std::max(positional, std::stoi(m[1].str()));
        } else {
            ++plain;
        }
    }
    return std::max(plain, positional);
}

}  // namespace velmora::strings

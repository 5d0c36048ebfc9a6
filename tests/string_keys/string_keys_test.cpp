// Every key the program looks up has a text in every language of the compiled-in tables, and each format
// text takes as many arguments as the call passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "app/design/guide/guide_content.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// One place where a key is looked up with a literal key.
struct KeyUse {
    std::string key;
    std::optional<int> argCount;  // absent for a format whose arguments are not a braced list
    std::string where;            // file:line
};

// The number of elements of the braced list that opens at `i` ("{}" has none); absent when it never closes.
std::optional<int> countBraced(std::string_view s, std::size_t i) {
    int depth = 0, commas = 0;
    bool empty = true;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"' || c == '\'') {  // a literal, escapes and all
            for (++i; i < s.size() && s[i] != c; ++i)
                i += s[i] == '\\' ? 1 : 0;
            empty = false;
        } else if (c == '{' || c == '(' || c == '[') {
            if (depth++ > 0) empty = false;
        } else if (c == '}' || c == ')' || c == ']') {
            if (--depth == 0) return empty ? 0 : commas + 1;
        } else if (c != ' ' && c != '\n' && c != '\t' && c != '\r') {
            empty = false;
            commas += depth == 1 && c == ',';
        }
    }
    return std::nullopt;
}

// Every L10n::string("...") and L10n::format("...", {...}) in one source text.
std::vector<KeyUse> scanSource(const std::string& text, const std::string& fileName) {
    static const std::regex call(R"(L10n::(string|format)\s*\(\s*"([^"\\]*)\"\s*(\)|,\s*\{)?)");
    std::vector<KeyUse> uses;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), call); it != std::sregex_iterator(); ++it) {
        const auto& m = *it;
        const auto end = static_cast<std::size_t>(m.position(0) + m.length(0));
        // A format's count is known from a braced list only, not from a vector built elsewhere.
        std::optional<int> args = 0;
        if (m[1] == "format" && m[3] != ")") args = m[3].matched ? countBraced(text, end - 1) : std::nullopt;
        const auto line = 1 + std::count(text.begin(), text.begin() + m.position(0), '\n');
        uses.push_back({m[2].str(), args, fileName + ":" + std::to_string(line)});
    }
    return uses;
}

// How many arguments a table text consumes: plain placeholders count in turn, a positional one ("%2$@")
// needs at least that many; "%%" is a percent sign.
int placeholderCount(const std::string& text) {
    static const std::regex placeholder(R"(%(?:%|([1-9][0-9]*)\$(?:@|d|ld|lld)|@|d|ld|lld))");
    int plain = 0, positional = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), placeholder); it != std::sregex_iterator();
         ++it) {
        if (it->str() == "%%") continue;
        if ((*it)[1].matched) positional = std::max(positional, std::stoi((*it)[1].str()));
        if (!(*it)[1].matched) ++plain;
    }
    return std::max(plain, positional);
}

// Checks that `key` has a text in every language, taking `args` arguments when `args` is known.
void expectKey(const std::string& key, std::optional<int> args, const std::string& where) {
    for (const auto& [lang, table] : L10n::embeddedBundle()) {
        const auto it = table.find(key);
        if (it == table.end()) {
            ADD_FAILURE() << lang << " has no text for \"" << key << "\" (" << where << ")";
            continue;
        }
        EXPECT_FALSE(it->second.empty()) << lang << " \"" << key << "\" is empty (" << where << ")";
        if (!args) continue;
        EXPECT_EQ(placeholderCount(it->second), *args) << lang << " \"" << key << "\" (" << where << ")";
    }
}

TEST(KeyScan, FindsLiteralKeysAndCountsArguments) {
    const std::string source = R"(
        auto a = L10n::string("err.generic");
        auto b = L10n::format("err.search_failed", {L10n::string("panel.search_again")});
        auto c = L10n::format( "common.numbered" , {std::int64_t{n}, f(x, y)});
        auto d = L10n::format("x.empty", {});
        auto e = L10n::format("x.vector", args);
        auto f = L10n::format("x.quoted", {"a,b", 'c', "\"}"});
        auto g = L10n::format("x.none");
        auto h = L10n::string(key);
    )";
    std::string found;
    for (const auto& use : scanSource(source, "s.cpp"))
        found +=
            use.where + " " + use.key + " " + (use.argCount ? std::to_string(*use.argCount) : "?") + "\n";
    EXPECT_EQ(found,
              "s.cpp:2 err.generic 0\ns.cpp:3 err.search_failed 1\ns.cpp:3 panel.search_again 0\n"
              "s.cpp:4 common.numbered 2\ns.cpp:5 x.empty 0\ns.cpp:6 x.vector ?\ns.cpp:7 x.quoted 3\ns.cpp:8 "
              "x.none 0\n");
}

TEST(KeyScan, CountsPlaceholders) {
    const std::pair<const char*, int> cases[] = {
        {"plain", 0},     {"100%%", 0},       {"%@", 1},       {"%d. %@", 2},     {"%2$@ %1$@", 2},
        {"%1$@ %1$@", 1}, {"%@ and %3$d", 3}, {"%ld %lld", 2}, {"%s %5d 50%", 0}, {"%%@", 0}};
    for (const auto& [text, n] : cases)
        EXPECT_EQ(placeholderCount(text), n) << text;
}

TEST(StringTables, EveryKeyUsedInCodeHasTextsThatTakeItsArguments) {
    const fs::path base{VELMORA_SOURCE_DIR};
    int uses = 0;
    for (const char* root : {"core", "app", "platform"}) {
        for (const auto& entry : fs::recursive_directory_iterator(base / root)) {
            const auto ext = entry.path().extension();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string text{std::istreambuf_iterator<char>(in), {}};
            for (const auto& use : scanSource(text, fs::relative(entry.path(), base).string())) {
                expectKey(use.key, use.argCount, use.where);
                ++uses;
            }
        }
    }
    EXPECT_GT(uses, 0);
}

// The guide and the design kit name their keys as data rather than in calls: checked from that data.
TEST(StringTables, EveryGuideAndKitKeyHasTextsThatTakeItsArguments) {
    const auto& c = guide::content();
    const auto plain = [](const std::string& key) { expectKey(key, 0, "guide"); };
    const auto text = [&](const guide::TextSpec& t) {
        expectKey(t.key, static_cast<int>(t.args.size()), "guide");
        std::for_each(t.args.begin(), t.args.end(), plain);
    };
    for (const auto* key : {&c.windowTitleKey, &c.titleKey, &c.privacyKey, &c.connectionsHeaderKey,
                            &c.topicsHeaderKey, &c.protocolKey, &c.doneKey})
        plain(*key);
    expectKey("common.bullet", 1, "guide");
    expectKey("common.numbered", 2, "guide");
    for (const auto& s : c.steps)
        plain(s.titleKey), text(s.body);
    for (const auto& r : c.connections)
        plain(r.titleKey), plain(r.textKey);
    for (const auto& topic : c.topics) {
        plain(topic.titleKey);
        for (const auto& item : topic.items) {
            text(item.text);
            if (item.kind == guide::ItemKind::keyRow && !item.cap.literal) plain(item.cap.text);
            if (item.kind == guide::ItemKind::notice) plain(item.noticeTextKey);
        }
    }
    for (const char* key : {"a11y.fold.collapsed", "a11y.fold.expanded", "a11y.fold.hint", "a11y.notice.warn",
                            "a11y.notice.err", "a11y.notice.info"})
        plain(key);
}

// Topics fold by their displayed title: two equal titles would open and close together.
TEST(StringTables, GuideTopicTitlesDifferInEachLanguage) {
    for (const auto& [lang, table] : L10n::embeddedBundle()) {
        std::set<std::string> seen;
        for (const auto& topic : guide::content().topics) {
            const auto it = table.find(topic.titleKey);
            if (it == table.end()) continue;  // reported by the test above
            EXPECT_TRUE(seen.insert(it->second).second) << lang << ": " << it->second;
        }
    }
}

}  // namespace
}  // namespace velmora

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/design/guide/guide_content.h"
#include "core/l10n/l10n.h"
#include "string_keys/key_scan.h"

namespace velmora::strings {
namespace {

const std::filesystem::path sourceDir{VELMORA_SOURCE_DIR};

// The tables as compiled into the program.
const L10n::Bundle& tables() {
    return L10n::embeddedBundle();
}

// Checks that `key` has a text in every language, taking `args` arguments when `args` is known.
void expectKey(const std::string& key, std::optional<int> args, const std::string& where) {
    for (const auto& [lang, table] : tables()) {
        const auto it = table.find(key);
        if (it == table.end()) {
            ADD_FAILURE() << lang << " has no text for \"" << key << "\" (" << where << ")";
            continue;
        }
        EXPECT_FALSE(it->second.empty()) << lang << " \"" << key << "\" is empty (" << where << ")";
        if (!args) continue;
        EXPECT_EQ(placeholderCount(it->second), *args)
            << lang << " \"" << key << "\" = \"" << it->second << "\" (" << where << ")";
    }
}

TEST(KeyScan, FindsLiteralKeysAndCountsArguments) {
    const std::string source = R"(
        auto a = L10n::string("err.generic");
        auto b = L10n::format("err.search_failed", {L10n::string("panel.search_again")});
        auto c = L10n::format( "common.numbered" , {std::int64_t{n}, f(x, y)});
        auto d = L10n::format("x.empty", {});
        auto e = L10n::format("x.vector", args);
        auto f = L10n::format("x.quoted", {"a,b", 'c'});
        auto g = L10n::string(key);
    )";
    const auto uses = scanSource(source, "s.cpp");
    ASSERT_EQ(uses.size(), 7u);
    struct Want {
        std::string key;
        bool format;
        std::optional<int> args;
    };
    const std::vector<Want> want{
        {"err.generic", false, 0},    {"err.search_failed", true, 1}, {"panel.search_again", false, 0},
        {"common.numbered", true, 2}, {"x.empty", true, 0},           {"x.vector", true, std::nullopt},
        {"x.quoted", true, 2}};
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(uses[i].key, want[i].key);
        EXPECT_EQ(uses[i].isFormat, want[i].format) << want[i].key;
        EXPECT_EQ(uses[i].argCount, want[i].args) << want[i].key;
    }
    EXPECT_EQ(uses[0].where, "s.cpp:2");
}

TEST(KeyScan, CountsPlaceholders) {
    const std::vector<std::pair<std::string, int>> cases{
        {"plain", 0},     {"100%%", 0},       {"%@", 1},       {"%d. %@", 2},     {"%2$@ %1$@", 2},
        {"%1$@ %1$@", 1}, {"%@ and %3$d", 3}, {"%ld %lld", 2}, {"%s %5d 50%", 0}, {"%%@", 0},
    };
    for (const auto& [text, n] : cases)
        EXPECT_EQ(placeholderCount(text), n) << text;
}

TEST(StringTables, EveryKeyUsedInCodeHasTextsThatTakeItsArguments) {
    const auto uses = scanTree(sourceDir, {"core", "app", "platform"});
    EXPECT_FALSE(uses.empty());
    for (const auto& use : uses)
        expectKey(use.key, use.argCount, use.where);
}

// The guide names its keys as data rather than in calls, so they are checked from the content itself.
TEST(StringTables, EveryGuideKeyHasTextsThatTakeItsArguments) {
    const auto& c = guide::content();
    const std::string where = "guide";
    for (const auto* key : {&c.windowTitleKey, &c.titleKey, &c.privacyKey, &c.connectionsHeaderKey,
                            &c.topicsHeaderKey, &c.protocolKey, &c.doneKey})
        expectKey(*key, 0, where);
    expectKey("common.bullet", 1, where);
    expectKey("common.numbered", 2, where);
    auto expectText = [&](const guide::TextSpec& t) {
        expectKey(t.key, static_cast<int>(t.args.size()), where);
        for (const auto& arg : t.args)
            expectKey(arg, 0, where);
    };
    for (const auto& s : c.steps) {
        expectKey(s.titleKey, 0, where);
        expectText(s.body);
    }
    for (const auto& r : c.connections) {
        expectKey(r.titleKey, 0, where);
        expectKey(r.textKey, 0, where);
    }
    for (const auto& topic : c.topics) {
        expectKey(topic.titleKey, 0, where);
        for (const auto& item : topic.items) {
            expectText(item.text);
            if (item.kind == guide::ItemKind::keyRow && !item.cap.literal) expectKey(item.cap.text, 0, where);
            if (item.kind == guide::ItemKind::notice) expectKey(item.noticeTextKey, 0, where);
        }
    }
}

// The design kit names its accessibility keys through its own helpers and tables, out of the scanner's sight.
TEST(StringTables, KitAccessibilityKeysHaveTexts) {
    for (const char* key : {"a11y.fold.collapsed", "a11y.fold.expanded", "a11y.fold.hint", "a11y.notice.warn",
                            "a11y.notice.err", "a11y.notice.info"})
        expectKey(key, 0, "design kit");
}

// Topics fold by their displayed title: two equal titles would open and close together.
TEST(StringTables, GuideTopicTitlesDifferInEachLanguage) {
    for (const auto& [lang, table] : tables()) {
        std::set<std::string> seen;
        for (const auto& topic : guide::content().topics) {
            const auto it = table.find(topic.titleKey);
            if (it == table.end()) continue;  // reported by the test above
            EXPECT_TRUE(seen.insert(it->second).second) << lang << ": " << it->second;
        }
    }
}

}  // namespace
}  // namespace velmora::strings

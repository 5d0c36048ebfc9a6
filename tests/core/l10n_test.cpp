#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/l10n/l10n.h"

namespace velmora {
namespace {

// Restores the process-wide settings after each test.
class L10nTest : public ::testing::Test {
  protected:
    void TearDown() override {
        L10n::setBundle(nullptr);
        L10n::setEnvironment(nullptr);
        L10n::setLocaleOverride(std::nullopt);
    }

    static void useEnvironment(std::map<std::string, std::string> vars) {
        L10n::setEnvironment([vars](const std::string& name) -> std::optional<std::string> {
            const auto it = vars.find(name);
            if (it == vars.end()) return std::nullopt;
            return it->second;
        });
    }

    static void useTables() {
        L10n::setBundle(std::make_shared<const L10n::Bundle>(L10n::Bundle{
            {"pt-BR",
             {{"panel.search_again", "Procurar de novo"}, {"err.search_failed", "Falhou. Toque em %@."}}},
            {"en", {{"panel.search_again", "Search again"}, {"err.search_failed", "Failed. Press %@."}}},
        }));
    }
};

TEST_F(L10nTest, LanguageFromTheFirstSetVariable) {
    struct Case {
        std::map<std::string, std::string> env;
        std::string language;
    };
    const Case cases[] = {
        {{}, "pt-BR"},
        {{{"LANG", "en_US.UTF-8"}}, "en"},
        {{{"LANG", "C.UTF-8"}}, "pt-BR"},
        {{{"LANGUAGE", "en_GB:pt_BR"}, {"LANG", "pt_BR.UTF-8"}}, "en"},
        {{{"LANGUAGE", ""}, {"LC_ALL", "en_US.UTF-8"}}, "en"},  // empty counts as not set
        {{{"LC_MESSAGES", "pt_PT.UTF-8"}, {"LANG", "en_US.UTF-8"}}, "pt-BR"},
        {{{"LANG", "En_US"}}, "pt-BR"},  // the prefix test is case-sensitive
        // LANGUAGE is a list in order of preference: the first language we have texts for wins.
        {{{"LANGUAGE", "de_DE:en"}, {"LANG", "de_DE.UTF-8"}}, "en"},
        {{{"LANGUAGE", "es::pt_PT:en"}}, "pt-BR"},
        {{{"LANGUAGE", "de:fr"}, {"LANG", "en_US.UTF-8"}}, "pt-BR"},
    };
    for (const auto& c : cases) {
        useEnvironment(c.env);
        EXPECT_EQ(L10n::languageCode(), c.language) << ::testing::PrintToString(c.env);
    }
}

TEST_F(L10nTest, LocaleKeepsTheUsersRegionOnlyForTheSameLanguage) {
    struct Case {
        std::map<std::string, std::string> env;
        std::string locale;
    };
    const Case cases[] = {
        {{{"LANG", "pt_PT.UTF-8"}}, "pt-PT"},
        {{{"LANG", "en_GB.UTF-8"}}, "en-GB"},
        {{{"LANGUAGE", "pt_BR"}, {"LANG", "en_US.UTF-8"}}, "pt-BR"},
        {{{"LANGUAGE", "en"}, {"LC_NUMERIC", "en_IE.UTF-8"}, {"LANG", "pt_BR.UTF-8"}}, "en-IE"},
        {{{"LANG", "es_ES.UTF-8"}}, "pt-BR"},
        {{{"LANG", "C"}}, "pt-BR"},
    };
    for (const auto& c : cases) {
        useEnvironment(c.env);
        EXPECT_EQ(L10n::locale(), c.locale) << ::testing::PrintToString(c.env);
    }
    useEnvironment({{"LANG", "pt_BR.UTF-8"}});
    L10n::setLocaleOverride("en-US");
    EXPECT_EQ(L10n::locale(), "en-US");
    EXPECT_EQ(L10n::localeOverride(), "en-US");
}

TEST_F(L10nTest, LookupInTheCurrentLanguageAndMissingKeysShowThemselves) {
    useTables();
    useEnvironment({{"LANG", "en_US.UTF-8"}});
    EXPECT_EQ(L10n::string("panel.search_again"), "Search again");
    EXPECT_EQ(L10n::format("err.search_failed", {L10n::string("panel.search_again")}),
              "Failed. Press Search again.");
    useEnvironment({});
    EXPECT_EQ(L10n::format("err.search_failed", {L10n::string("panel.search_again")}),
              "Falhou. Toque em Procurar de novo.");
    EXPECT_EQ(L10n::string("no.such.key"), "no.such.key");
    EXPECT_EQ(L10n::format("no.such.key", {std::string("x")}), "no.such.key");
    // Too few arguments leave the placeholder rather than reading garbage.
    EXPECT_EQ(L10n::format("err.search_failed", {}), "Falhou. Toque em %@.");
}

TEST_F(L10nTest, ClockAndPercent) {
    const std::pair<std::int64_t, const char*> clocks[] = {
        {-5, "0:00"},
        {59, "0:59"},
        {600, "10:00"},
        {3725, "62:05"},
    };
    for (const char* lang : {"pt_BR.UTF-8", "en_US.UTF-8"}) {
        useEnvironment({{"LANG", lang}});
        for (const auto& [seconds, text] : clocks)
            EXPECT_EQ(L10n::clock(seconds), text) << lang << seconds;
        EXPECT_EQ(L10n::percent(150), "150%");
        EXPECT_EQ(L10n::percent(-5), "-5%");
    }
    // Tables without the number forms still give them.
    useTables();
    EXPECT_EQ(L10n::clock(3725), "62:05");
    EXPECT_EQ(L10n::percent(7), "7%");
}

// Each shipped text uses the same arguments in both languages, by position (a translation that drops, adds
// or renumbers an argument shows the wrong thing). That both hold the same keys is checked with the tables.
TEST_F(L10nTest, EmbeddedTablesAgreeAcrossLanguages) {
    const auto& tables = L10n::embeddedBundle();
    ASSERT_TRUE(tables.contains("pt-BR"));
    ASSERT_TRUE(tables.contains("en"));
    const auto& pt = tables.at("pt-BR");
    const auto& en = tables.at("en");

    std::vector<L10n::Arg> markers;
    for (int i = 1; i <= 9; ++i)
        markers.push_back("\x01" + std::to_string(i) + "\x01");
    const auto usedArgs = [&](const std::string& text) {
        const std::string filled = safeFormat(text, markers);
        std::set<int> used;
        for (int i = 1; i <= 9; ++i) {
            if (filled.find("\x01" + std::to_string(i) + "\x01") != std::string::npos) used.insert(i);
        }
        return used;
    };
    for (const auto& [key, text] : pt) {
        if (!en.contains(key)) continue;
        EXPECT_EQ(usedArgs(text), usedArgs(en.at(key))) << key;
    }
}

}  // namespace
}  // namespace velmora

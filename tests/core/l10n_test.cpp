#include "core/l10n/l10n.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace velmora {
namespace {

using Env = std::map<std::string, std::string>;

// Restores the process-wide settings after each test.
class L10nTest : public ::testing::Test {
  protected:
    void TearDown() override {
        L10n::setBundle(nullptr);
        L10n::setEnvironment(nullptr);
        L10n::setLocaleOverride(std::nullopt);
    }
    static void useEnvironment(Env vars) {
        L10n::setEnvironment([vars](const std::string& name) -> std::optional<std::string> {
            const auto it = vars.find(name);
            return it == vars.end() ? std::nullopt : std::optional(it->second);
        });
    }
};

TEST_F(L10nTest, LanguageAndLocaleFromTheFirstSetVariable) {
    const std::tuple<Env, std::string, std::string> cases[] = {
        {{}, "pt-BR", "pt-BR"},
        {{{"LANG", "C.UTF-8"}}, "pt-BR", "pt-BR"},
        {{{"LANG", "en_GB.UTF-8"}}, "en", "en-GB"},
        {{{"LANG", "pt_PT.UTF-8"}}, "pt-BR", "pt-PT"},
        {{{"LANG", "En_US"}}, "pt-BR", "pt-BR"},  // the prefix test is case-sensitive
        {{{"LANG", "es_ES.UTF-8"}}, "pt-BR", "pt-BR"},
        {{{"LANGUAGE", ""}, {"LC_ALL", "en_US.UTF-8"}}, "en", "en-US"},  // empty counts as not set
        {{{"LC_MESSAGES", "pt_PT.UTF-8"}, {"LANG", "en_US.UTF-8"}}, "pt-BR", "pt-BR"},
        // LANGUAGE is a list in order of preference: the first language we have texts for wins, and the
        // region is the user's only for that language.
        {{{"LANGUAGE", "de_DE:en"}, {"LANG", "de_DE.UTF-8"}}, "en", "en"},
        {{{"LANGUAGE", "es::pt_PT:en"}}, "pt-BR", "pt-BR"},
        {{{"LANGUAGE", "de:fr"}, {"LANG", "en_US.UTF-8"}}, "pt-BR", "pt-BR"},
        {{{"LANGUAGE", "en"}, {"LC_NUMERIC", "en_IE.UTF-8"}, {"LANG", "pt_BR.UTF-8"}}, "en", "en-IE"},
    };
    for (const auto& [env, language, locale] : cases) {
        useEnvironment(env);
        EXPECT_EQ(L10n::languageCode(), language) << ::testing::PrintToString(env);
        EXPECT_EQ(L10n::locale(), locale) << ::testing::PrintToString(env);
    }
    L10n::setLocaleOverride("en-US");
    EXPECT_EQ(L10n::locale(), "en-US");
}

TEST_F(L10nTest, LookupInTheCurrentLanguageMissingKeysShowThemselvesAndNumberFormsNeedNoTable) {
    L10n::setBundle(std::make_shared<const L10n::Bundle>(L10n::Bundle{
        {"pt-BR",
         {{"panel.search_again", "Procurar de novo"}, {"err.search_failed", "Falhou. Toque em %@."}}},
        {"en", {{"panel.search_again", "Search again"}, {"err.search_failed", "Failed. Press %@."}}},
    }));
    useEnvironment({{"LANG", "en_US.UTF-8"}});
    EXPECT_EQ(L10n::format("err.search_failed", {L10n::string("panel.search_again")}),
              "Failed. Press Search again.");
    useEnvironment({});
    EXPECT_EQ(L10n::format("err.search_failed", {L10n::string("panel.search_again")}),
              "Falhou. Toque em Procurar de novo.");
    EXPECT_EQ(L10n::string("no.such.key"), "no.such.key");
    // Too few arguments leave the placeholder rather than reading garbage.
    EXPECT_EQ(L10n::format("err.search_failed", {}), "Falhou. Toque em %@.");
    for (const auto& [seconds, text] :
         {std::pair<std::int64_t, const char*>{-5, "0:00"}, {59, "0:59"}, {3725, "62:05"}})
        EXPECT_EQ(L10n::clock(seconds), text) << seconds;
    EXPECT_EQ(L10n::percent(-5), "-5%");
}

// Each shipped text uses the same arguments in both languages, by position (a translation that drops, adds
// or renumbers an argument shows the wrong thing). That both hold the same keys is checked with the tables.
TEST_F(L10nTest, EmbeddedTablesAgreeAcrossLanguages) {
    const auto& tables = L10n::embeddedBundle();
    ASSERT_TRUE(tables.contains("pt-BR") && tables.contains("en"));
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
    const auto& en = tables.at("en");
    for (const auto& [key, text] : tables.at("pt-BR")) {
        EXPECT_EQ(usedArgs(text), usedArgs(en.contains(key) ? en.at(key) : text)) << key;
    }
}

}  // namespace
}  // namespace velmora

#include <gtest/gtest.h>
#include <netdb.h>

#include <map>
#include <system_error>
#include <thread>

#include "core/errors/cxp_error.h"
#include "core/errors/friendly_errors.h"
#include "core/errors/net_error.h"
#include "core/l10n/l10n.h"
#include "helpers.h"

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
        {{{"LANG", "C.UTF-8"}}, "pt-BR", "pt-BR"},
        {{{"LANG", "en_GB.UTF-8"}}, "en", "en-GB"},
        {{{"LANG", "pt_PT.UTF-8"}}, "pt-BR", "pt-PT"},
        {{{"LANG", "En_US"}}, "pt-BR", "pt-BR"},                         // the prefix test is case-sensitive
        {{{"LANGUAGE", ""}, {"LC_ALL", "en_US.UTF-8"}}, "en", "en-US"},  // empty counts as not set
        {{{"LC_MESSAGES", "pt_PT.UTF-8"}, {"LANG", "en_US.UTF-8"}}, "pt-BR", "pt-BR"},
        // LANGUAGE is a list in order of preference: the first language we have texts for wins, and the
        // region is the user's only for that language.
        {{{"LANGUAGE", "de_DE:en"}, {"LANG", "de_DE.UTF-8"}}, "en", "en"},
        {{{"LANGUAGE", "es::pt_PT:en"}}, "pt-BR", "pt-BR"},
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

// Log lines quote what the user is told: made inside forLog they are in Portuguese whatever the session's
// language, numbers included, while texts made outside it, or on other threads meanwhile, keep the user's.
TEST_F(L10nTest, TextsForTheLogAreInPortugueseOnlyWhereAndWhileTheyAreMade) {
    L10n::setBundle(std::make_shared<const L10n::Bundle>(
        L10n::Bundle{{"pt-BR", {{"k", "olá"}, {"l10n.percent", "%ld %%"}}},
                     {"en", {{"k", "hello"}, {"l10n.percent", "%ld%%"}}}}));
    useEnvironment({{"LANG", "en_GB.UTF-8"}});
    std::string nested, afterNested, elsewhere;
    const std::string logged = L10n::forLog([&] {
        {
            const L10n::LanguageScope english("en");
            nested = L10n::string("k");
        }
        afterNested = L10n::string("k");
        std::thread other([&] { elsewhere = L10n::string("k"); });
        other.join();
        return L10n::string("k") + " " + L10n::percent(42) + " " + L10n::locale();
    });
    test::expectRows({
        {logged, "olá 42 % pt-BR"},
        {nested, "hello"},
        {afterNested, "olá"},
        {elsewhere, "hello"},
        {L10n::string("k") + " " + L10n::percent(42) + " " + L10n::locale(), "hello 42% en-GB"},
    });
}

namespace F = FriendlyErrors;

std::string text(std::exception_ptr error) {
    return F::text(error);
}
template <typename E>
std::string text(E error) {
    return text(std::make_exception_ptr(error));
}

TEST(FriendlyErrors, OneSentencePerKindWhateverClassCarriesItAndNeverTheDevelopersText) {
    for (const int code : {ECONNRESET, EHOSTUNREACH, ETIMEDOUT, ECONNREFUSED, 0, 99999}) {
        const std::string expected = F::text(NetError::posix(code));
        EXPECT_EQ(text(PosixError(code)), expected) << errnoName(code);
        EXPECT_EQ(text(std::system_error(code, std::generic_category())), expected) << errnoName(code);
    }
    test::expectRows({
        {text(NetError::posix(ENOTCONN)), F::dropped()},
        {text(NetError::posix(EHOSTUNREACH)), F::unreachable()},
        {text(NetError::posix(ETIMEDOUT)), F::timeout()},
        {text(NetError::posix(ECONNREFUSED)), F::refused()},
        {text(std::system_error(ECONNREFUSED, std::iostream_category())), F::generic()},
        {text(CXPError::protocolError("registro inválido: 16")), F::protocolProblem()},
        {text(CXPError::closed()), F::dropped()},
        {text(NetError::dns(EAI_NONAME)), F::unreachable()},
        {text(NetError(NetError::Kind::tls, -9806)), F::protocolProblem()},
        // A socket call refused by a local firewall rule, and Avahi refusing access, are the local network's
        // refusal; the same code from a file is no network matter.
        {text(NetError::posix(EPERM)), F::localNetwork()},
        {text(NetError::posix(EACCES)), F::localNetwork()},
        {text(NetError::avahi(NetError::avahiAccessDenied)), F::localNetwork()},
        {F::browseFailure(NetError::avahi(NetError::avahiAccessDenied)), F::localNetwork()},
        {text(NetError::avahi(-26)), F::unreachable()},  // no daemon
        {F::browseFailure(NetError::avahi(-26)), F::searchFailed()},
        {text(PosixError(EACCES)), F::generic()},
        {text(std::runtime_error("NoAuth PolicyDenied")), F::generic()},
        {text(std::exception_ptr()), F::generic()},
        // The cases written for the user show their own sentence.
        {text(CXPError::timedOut()), F::describe(CXPError::timedOut())},
        {F::browseFailure(NetError::posix(ECONNREFUSED)), F::searchFailed()},
    });
}

TEST(FriendlyErrors, FormatsNameTheirElementsAndAnUnknownPhoneCodeNeverShowsThePhonesMessage) {
    const L10n::Table table = {
        {"err.search_failed", "S[%@]"},         {"panel.search_again", "again"},
        {"err.mirror.denied", "D[%@]"},         {"panel.mirror.start", "start"},
        {"err.keychain_open", "open[%@][%@]"},  {"ref.keychain.always_allow", "UNLOCK"},
        {"err.cxp.not_paired", "pair[%@][%@]"}, {"ref.android.pair_new_mac", "PHONE"},
        {"panel.phone.pair", "PANEL"},          {"err.phone_accessibility_off", "X"},
    };
    L10n::setBundle(std::make_shared<const L10n::Bundle>(L10n::Bundle{{"pt-BR", table}, {"en", table}}));
    test::expectRows({
        {F::browseFailure(NetError::dns(EAI_AGAIN)), "S[again]"},
        {F::mirrorError("denied", "m"), "D[start]"},
        {F::phoneError("accessibility_off", "m"), "X"},
        {F::mirrorError("Denied", "phone says hi"), F::unknownCode()},
        {F::phoneError("ACCESSIBILITY_OFF", "phone says hi"), F::unknownCode()},
        // Without a code the message is shown as it is, even when empty.
        {F::mirrorError(std::nullopt, "a phone text"), "a phone text"},
        // Statuses in plain signed decimal, arguments in order.
        {F::describe(CXPError::identityUnavailable(-25300)), "open[-25300][UNLOCK]"},
        {F::describe(CXPError::rejected("not_paired")), "pair[PHONE][PANEL]"},
        // A refusal code is the phone's text: one bounded line in the description, whatever it holds.
        {F::describe(CXPError::rejected(std::string(100, 'x'))), "recusado: " + std::string(64, 'x')},
        {F::describe(CXPError::rejected("busy\nFAKE LOG LINE")), "recusado: busy FAKE LOG LINE"},
    });
    L10n::setBundle(nullptr);
}

}  // namespace
}  // namespace velmora

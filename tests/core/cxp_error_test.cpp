#include "core/protocol/cxp_error.h"

#include <gtest/gtest.h>

#include "core/l10n/l10n.h"

namespace velmora {
namespace {

// Formats get their arguments in order, statuses in plain signed decimal.
TEST(CXPErrorDescription, FormatArgumentsInOrderAndForeignRefusalCodesCleaned) {
    const L10n::Table table = {
        {"err.keychain_open", "open[%@][%@]"},  {"err.keychain_save", "save[%@]"},
        {"err.cxp.not_paired", "pair[%@][%@]"}, {"ref.keychain.always_allow", "UNLOCK"},
        {"ref.android.pair_new_mac", "PHONE"},  {"panel.phone.pair", "PANEL"},
    };
    L10n::setBundle(std::make_shared<L10n::Bundle>(L10n::Bundle{{"pt-BR", table}, {"en", table}}));
    EXPECT_EQ(CXPError::identityUnavailable(-25300).description(), "open[-25300][UNLOCK]");
    EXPECT_EQ(CXPError::identitySaveFailed(1234567).description(), "save[1234567]");
    EXPECT_EQ(CXPError::rejected("not_paired").description(), "pair[PHONE][PANEL]");
    // A refusal code is the phone's text: one bounded line in the description, whatever it holds.
    EXPECT_EQ(CXPError::rejected(std::string(100, 'x')).description(), "recusado: " + std::string(64, 'x'));
    EXPECT_EQ(CXPError::rejected("busy\nFAKE LOG LINE").description(), "recusado: busy FAKE LOG LINE");
    L10n::setBundle(nullptr);
    // The developer's text keeps the payload.
    EXPECT_STREQ(CXPError::identityUnavailable(-25300).what(), "identityUnavailable: -25300");
    EXPECT_NE(CXPError::rejected("a"), CXPError::rejected("b"));
}

}  // namespace
}  // namespace velmora

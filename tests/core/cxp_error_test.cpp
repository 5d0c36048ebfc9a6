#include "core/protocol/cxp_error.h"

#include <gtest/gtest.h>

#include "core/l10n/l10n.h"

namespace velmora {
namespace {

// With empty tables every key shows as itself, which pins the key each case uses.
class CXPErrorDescription : public ::testing::Test {
  protected:
    void SetUp() override { L10n::setBundle(std::make_shared<L10n::Bundle>()); }
    void TearDown() override { L10n::setBundle(nullptr); }
};

TEST_F(CXPErrorDescription, FixedTextsAndKeysPerCase) {
    const std::pair<CXPError, std::string> cases[] = {
        {CXPError::protocolError("registro curto"), "erro de protocolo: registro curto"},
        {CXPError::rejected("pair_upgrade_required"), "err.cxp.upgrade_required"},
        {CXPError::rejected("sas_commit_mismatch"), "err.cxp.sas_mismatch"},
        {CXPError::rejected("busy"), "recusado: busy"},
        {CXPError::rejected("Not_Paired"), "recusado: Not_Paired"},
        {CXPError::closed(), "conexão encerrada"},
        {CXPError::timedOut(), "err.cxp.timed_out"},
        {CXPError::unexpectedPeer(), "err.cxp.unexpected_peer"},
        {CXPError::unknownPeer(), "err.cxp.unknown_peer"},
        {CXPError::identityFileUnsafe(), "err.identity_file_unsafe"},
        {CXPError::rejected("not_paired"), "err.cxp.not_paired"},
        {CXPError::identityUnavailable(-25300), "err.keychain_open"},
        {CXPError::identitySaveFailed(7), "err.keychain_save"},
    };
    for (const auto& [error, text] : cases)
        EXPECT_EQ(error.description(), text) << error.what();
}

// Formats get their arguments in the documented order, statuses in plain signed decimal.
TEST_F(CXPErrorDescription, FormatArgumentsInOrder) {
    const L10n::Table table = {
        {"err.keychain_open", "open[%@][%@]"},  {"err.keychain_save", "save[%@]"},
        {"err.cxp.not_paired", "pair[%@][%@]"}, {"ref.keychain.always_allow", "UNLOCK"},
        {"ref.android.pair_new_mac", "PHONE"},  {"panel.phone.pair", "PANEL"},
    };
    L10n::setBundle(std::make_shared<L10n::Bundle>(L10n::Bundle{{"pt-BR", table}, {"en", table}}));
    EXPECT_EQ(CXPError::identityUnavailable(-25300).description(), "open[-25300][UNLOCK]");
    EXPECT_EQ(CXPError::identityUnavailable(1234567).description(), "open[1234567][UNLOCK]");
    EXPECT_EQ(CXPError::identitySaveFailed(-1004).description(), "save[-1004]");
    EXPECT_EQ(CXPError::rejected("not_paired").description(), "pair[PHONE][PANEL]");
}

// A refusal code is the phone's text: one bounded line in the description, whatever it holds.
TEST_F(CXPErrorDescription, ForeignRefusalCodesAreCleaned) {
    EXPECT_EQ(CXPError::rejected(std::string(100, 'x')).description(), "recusado: " + std::string(64, 'x'));
    EXPECT_EQ(CXPError::rejected("busy\nFAKE LOG LINE").description(), "recusado: busy FAKE LOG LINE");
}

TEST_F(CXPErrorDescription, ClosedReadsTheSameInEveryLanguage) {
    L10n::setBundle(nullptr);
    EXPECT_EQ(CXPError::closed().description(), "conexão encerrada");
}

TEST(CXPError, DeveloperTextKeepsThePayload) {
    EXPECT_STREQ(CXPError::identityUnavailable(-25300).what(), "identityUnavailable: -25300");
    EXPECT_NE(CXPError::rejected("a"), CXPError::rejected("b"));
}

}  // namespace
}  // namespace velmora

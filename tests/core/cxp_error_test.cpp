#include "core/protocol/cxp_error.h"

#include <gtest/gtest.h>

#include "core/l10n/l10n.h"

namespace velmora {
namespace {

// With the placeholder tables every key shows as itself, so these pin which key (and, once the tables are
// filled, which arguments) each case uses.
TEST(CXPErrorDescription, FixedTextsAndKeysPerCase) {
    // Empty tables, so every key shows as itself whatever the compiled-in texts say.
    L10n::setBundle(std::make_shared<const L10n::Bundle>());
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
    L10n::setBundle(nullptr);
}

TEST(CXPErrorDescription, DeveloperTextKeepsThePayload) {
    EXPECT_STREQ(CXPError::identityUnavailable(-25300).what(), "identityUnavailable: -25300");
    EXPECT_EQ(CXPError::rejected("x").text(), "x");
    EXPECT_EQ(CXPError::identitySaveFailed(-4).status(), -4);
    EXPECT_NE(CXPError::rejected("a"), CXPError::rejected("b"));
}

}  // namespace
}  // namespace velmora

#include "core/errors/friendly_errors.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <system_error>

#include "core/errors/net_error.h"
#include "core/l10n/l10n.h"
#include "core/protocol/cxp_error.h"

namespace velmora {
namespace {

namespace F = FriendlyErrors;
using Text = std::function<std::string()>;

TEST(FriendlyErrors, PosixCodesReadTheSameInEveryErrorClassThatCarriesThem) {
    const std::pair<int, Text> rows[] = {
        {ECONNRESET, F::dropped}, {ENOTCONN, F::dropped},     {EHOSTUNREACH, F::unreachable},
        {ETIMEDOUT, F::timeout},  {ECONNREFUSED, F::refused}, {EACCES, F::generic},
        {0, F::generic},          {99999, F::generic},
    };
    for (const auto& [code, expected] : rows) {
        SCOPED_TRACE(errnoName(code));
        EXPECT_EQ(F::text(NetError::posix(code)), expected());
        EXPECT_EQ(F::text(PosixError(code)), expected());
        EXPECT_EQ(F::text(DomainError(DomainError::posixDomain, code)), expected());
        EXPECT_EQ(F::text(std::system_error(code, std::generic_category())), expected());
    }
    // A POSIX-domain code beyond 32 bits is no errno, even when its low bits would be one.
    EXPECT_EQ(F::text(DomainError(DomainError::posixDomain, (std::int64_t{1} << 32) + ECONNREFUSED)),
              F::generic());
    EXPECT_EQ(F::text(DomainError("elsewhere", ECONNREFUSED)), F::generic());
    EXPECT_EQ(F::text(DomainError(DomainError::urlDomain, -1004)), F::refused());
    EXPECT_EQ(F::text(std::system_error(ECONNREFUSED, std::iostream_category())), F::generic());
    EXPECT_NE(std::string(NetError::dns(EAI_AGAIN).what()).find("EAI_AGAIN"), std::string::npos);
}

TEST(FriendlyErrors, ProtocolAndNetworkKindsComeBeforeAnyPrintedText) {
    const std::pair<std::exception_ptr, Text> rows[] = {
        {std::make_exception_ptr(CXPError::protocolError("registro inválido: 16")), F::protocolProblem},
        {std::make_exception_ptr(CXPError::rejected("NOT_PAIRED")), F::refused},
        {std::make_exception_ptr(CXPError::closed()), F::dropped},
        // A DNS failure reads as unreachable whatever its code, even the policy-refusal code.
        {std::make_exception_ptr(NetError::dns(-65570)), F::unreachable},
        {std::make_exception_ptr(NetError(NetError::Kind::tls, -9806)), F::protocolProblem},
        // The same code printed inside another error is a local-network refusal.
        {std::make_exception_ptr(DomainError("dnssd", -65570)), F::localNetwork},
        {std::make_exception_ptr(std::runtime_error("NoAuth PolicyDenied")), F::localNetwork},
        {std::make_exception_ptr(std::runtime_error("something else")), F::generic},
        {std::make_exception_ptr(42), F::generic},
        {std::exception_ptr(), F::generic},
    };
    for (const auto& [error, expected] : rows)
        EXPECT_EQ(F::text(error), expected()) << expected();
    // The cases written for the user show their own sentence.
    for (const CXPError& error : {CXPError::rejected("sas_commit_mismatch"), CXPError::timedOut(),
                                  CXPError::unknownPeer(), CXPError::identityUnavailable(-25)})
        EXPECT_EQ(F::text(error), error.description()) << error.what();
    EXPECT_EQ(F::browseFailure(std::runtime_error("DNS error -65570")), F::localNetwork());
    EXPECT_EQ(F::browseFailure(NetError::posix(ECONNREFUSED)), F::searchFailed());
}

TEST(FriendlyErrors, PhoneCodesPickTheirTextAndAnUnknownCodeNeverShowsThePhonesMessage) {
    const L10n::Table table = {
        {"err.search_failed", "S[%@]"},
        {"panel.search_again", "again"},
        {"err.mirror.denied", "D[%@]"},
        {"panel.mirror.start", "start"},
        {"err.mirror.encoder", "E"},
        {"err.phone_accessibility_off", "X"},
        {"err.mirror.permission_pending", "P[%@]"},
        {"ref.android.mirror_notif_title", "notif"},
    };
    L10n::setBundle(std::make_shared<const L10n::Bundle>(L10n::Bundle{{"pt-BR", table}, {"en", table}}));
    EXPECT_EQ(F::browseFailure(NetError::dns(EAI_AGAIN)), "S[again]");
    EXPECT_EQ(F::mirrorError("permission_pending", ""), "P[notif]");
    EXPECT_EQ(F::mirrorError("denied", "m"), "D[start]");
    EXPECT_EQ(F::mirrorError("encoder", "m"), "E");
    EXPECT_EQ(F::phoneError("accessibility_off", "m"), "X");
    for (const char* code : {"Denied", "encoder ", "something_new"})
        EXPECT_EQ(F::mirrorError(code, "phone says hi"), F::unknownCode()) << code;
    EXPECT_EQ(F::phoneError("ACCESSIBILITY_OFF", "phone says hi"), F::unknownCode());
    // Without a code the message is shown as it is, even when empty.
    EXPECT_EQ(F::mirrorError(std::nullopt, "a phone text"), "a phone text");
    EXPECT_EQ(F::phoneError("", "msg"), "msg");
    EXPECT_EQ(F::phoneError(std::nullopt, ""), "");
    L10n::setBundle(nullptr);
}

}  // namespace
}  // namespace velmora

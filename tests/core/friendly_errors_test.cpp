#include "core/errors/friendly_errors.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <system_error>

#include "core/errors/net_error.h"
#include "core/l10n/l10n.h"
#include "core/protocol/cxp_error.h"

namespace velmora {
namespace {

using Text = std::function<std::string()>;

struct PosixRow {
    int code;
    Text expected;
};

// The POSIX table by symbolic name (this system's numbers differ from other systems').
const std::vector<PosixRow>& posixRows() {
    static const std::vector<PosixRow> rows = {
        {EPIPE, FriendlyErrors::dropped},
        {ENETRESET, FriendlyErrors::dropped},
        {ECONNABORTED, FriendlyErrors::dropped},
        {ECONNRESET, FriendlyErrors::dropped},
        {ENOTCONN, FriendlyErrors::dropped},
        {EADDRNOTAVAIL, FriendlyErrors::unreachable},
        {ENETDOWN, FriendlyErrors::unreachable},
        {ENETUNREACH, FriendlyErrors::unreachable},
        {EHOSTDOWN, FriendlyErrors::unreachable},
        {EHOSTUNREACH, FriendlyErrors::unreachable},
        {ETIMEDOUT, FriendlyErrors::timeout},
        {ECONNREFUSED, FriendlyErrors::refused},
        {ENOENT, FriendlyErrors::generic},
        {EACCES, FriendlyErrors::generic},
        {0, FriendlyErrors::generic},
        {99999, FriendlyErrors::generic},
    };
    return rows;
}

TEST(FriendlyErrors, PosixCodesReadTheSameInEveryErrorClassThatCarriesThem) {
    for (const PosixRow& row : posixRows()) {
        SCOPED_TRACE(errnoName(row.code));
        const std::string expected = row.expected();
        EXPECT_EQ(FriendlyErrors::text(NetError::posix(row.code)), expected);
        EXPECT_EQ(FriendlyErrors::text(PosixError(row.code)), expected);
        EXPECT_EQ(FriendlyErrors::text(DomainError(DomainError::posixDomain, row.code)), expected);
        EXPECT_EQ(FriendlyErrors::text(std::system_error(row.code, std::generic_category())), expected);
    }
}

TEST(FriendlyErrors, ProtocolErrorsNeverShowTheirDeveloperText) {
    const std::pair<CXPError, Text> rows[] = {
        {CXPError::protocolError("registro inválido: 16"), FriendlyErrors::protocolProblem},
        {CXPError::rejected("pareamento recusado"), FriendlyErrors::refused},
        {CXPError::rejected("NOT_PAIRED"), FriendlyErrors::refused},
        {CXPError::closed(), FriendlyErrors::dropped},
    };
    for (const auto& [error, expected] : rows)
        EXPECT_EQ(FriendlyErrors::text(error), expected()) << error.what();
    // The cases written for the user show their own sentence.
    for (const CXPError& error :
         {CXPError::rejected("not_paired"), CXPError::rejected("pair_upgrade_required"),
          CXPError::rejected("sas_commit_mismatch"), CXPError::timedOut(), CXPError::unexpectedPeer(),
          CXPError::unknownPeer(), CXPError::identityFileUnsafe(), CXPError::identityUnavailable(-25),
          CXPError::identitySaveFailed(3)}) {
        EXPECT_EQ(FriendlyErrors::text(error), error.description()) << error.what();
    }
    EXPECT_EQ(FriendlyErrors::text(CXPError::protocolError("x")).find("erro de protocolo"),
              std::string::npos);
}

TEST(FriendlyErrors, NetworkKindsAndTheOrderOfTheTests) {
    // A DNS failure reads as unreachable whatever its code, even the policy-refusal code, because the
    // network error's kind is tested before any printed text.
    EXPECT_EQ(FriendlyErrors::text(NetError::dns(EAI_NONAME)), FriendlyErrors::unreachable());
    EXPECT_EQ(FriendlyErrors::text(NetError::dns(-65570)), FriendlyErrors::unreachable());
    EXPECT_EQ(FriendlyErrors::text(NetError(NetError::Kind::tls, -9806)), FriendlyErrors::protocolProblem());
    EXPECT_EQ(FriendlyErrors::text(NetError(NetError::Kind::other, 1)), FriendlyErrors::generic());
    // The same code printed inside another error is a local-network refusal.
    EXPECT_EQ(FriendlyErrors::text(DomainError("dnssd", -65570)), FriendlyErrors::localNetwork());
    EXPECT_EQ(FriendlyErrors::text(std::runtime_error("NoAuth PolicyDenied")),
              FriendlyErrors::localNetwork());
    EXPECT_EQ(FriendlyErrors::text(std::runtime_error("something else")), FriendlyErrors::generic());
}

TEST(FriendlyErrors, DomainErrors) {
    struct Row {
        std::string domain;
        std::int64_t code;
        Text expected;
    };
    const std::vector<Row> rows = {
        {DomainError::urlDomain, -1009, FriendlyErrors::unreachable},
        {DomainError::urlDomain, -1005, FriendlyErrors::unreachable},
        {DomainError::urlDomain, -1004, FriendlyErrors::refused},
        {DomainError::urlDomain, -1001, FriendlyErrors::timeout},
        {DomainError::urlDomain, -1003, FriendlyErrors::generic},
        // A POSIX-domain code beyond 32 bits is no errno, even when its low bits would be one.
        {DomainError::posixDomain, (std::int64_t{1} << 32) + ECONNREFUSED, FriendlyErrors::generic},
        {DomainError::posixDomain, -(std::int64_t{1} << 40), FriendlyErrors::generic},
        {"elsewhere", ECONNREFUSED, FriendlyErrors::generic},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.domain + " " + std::to_string(row.code));
        EXPECT_EQ(FriendlyErrors::text(DomainError(row.domain, row.code)), row.expected());
    }
}

TEST(FriendlyErrors, AnythingUnknownIsGeneric) {
    EXPECT_EQ(FriendlyErrors::text(std::bad_alloc()), FriendlyErrors::generic());
    EXPECT_EQ(FriendlyErrors::text(std::system_error(1, std::iostream_category())),
              FriendlyErrors::generic());
    EXPECT_EQ(FriendlyErrors::text(std::make_exception_ptr(42)), FriendlyErrors::generic());
    EXPECT_EQ(FriendlyErrors::text(std::exception_ptr()), FriendlyErrors::generic());
    EXPECT_EQ(FriendlyErrors::text(std::make_exception_ptr(CXPError::closed())), FriendlyErrors::dropped());
}

TEST(FriendlyErrors, BrowseFailures) {
    EXPECT_EQ(FriendlyErrors::browseFailure(std::runtime_error("DNS error -65570")),
              FriendlyErrors::localNetwork());
    EXPECT_EQ(FriendlyErrors::browseFailure(NetError::dns(EAI_AGAIN)), FriendlyErrors::searchFailed());
    EXPECT_EQ(FriendlyErrors::browseFailure(NetError::posix(ECONNREFUSED)), FriendlyErrors::searchFailed());
}

TEST(FriendlyErrors, PhoneAndMirrorCodes) {
    using FriendlyErrors::mirrorError;
    using FriendlyErrors::phoneError;
    // Without a code the message is shown as it is, even when empty.
    EXPECT_EQ(mirrorError(std::nullopt, "a phone text"), "a phone text");
    EXPECT_EQ(mirrorError("", ""), "");
    EXPECT_EQ(phoneError(std::nullopt, ""), "");
    EXPECT_EQ(phoneError("", "msg"), "msg");
    // Codes match exactly; the phone's own message is never shown for an unknown code.
    for (const char* code : {"Denied", "encoder ", "something_new"}) {
        EXPECT_EQ(mirrorError(code, "phone says hi"), FriendlyErrors::unknownCode()) << code;
    }
    EXPECT_EQ(phoneError("ACCESSIBILITY_OFF", "phone says hi"), FriendlyErrors::unknownCode());
}

// The known phone codes pick their own texts; the three formats each name an element by its looked-up text.
TEST(FriendlyErrors, FormatsTakeTheNamedElementAsTheirArgument) {
    const L10n::Table table = {
        {"err.search_failed", "S[%@]"},
        {"panel.search_again", "again"},
        {"err.mirror.permission_pending", "P[%@]"},
        {"ref.android.mirror_notif_title", "notif"},
        {"err.mirror.denied", "D[%@]"},
        {"panel.mirror.start", "start"},
        {"err.mirror.audio_unavailable", "A"},
        {"err.mirror.encoder", "E"},
        {"err.phone_accessibility_off", "X"},
    };
    // The same table for both languages, whatever the test's environment chooses.
    L10n::setBundle(std::make_shared<const L10n::Bundle>(L10n::Bundle{{"pt-BR", table}, {"en", table}}));
    EXPECT_EQ(FriendlyErrors::searchFailed(), "S[again]");
    EXPECT_EQ(FriendlyErrors::browseFailure(NetError::dns(EAI_AGAIN)), "S[again]");
    EXPECT_EQ(FriendlyErrors::mirrorError("permission_pending", ""), "P[notif]");
    EXPECT_EQ(FriendlyErrors::mirrorError("denied", "m"), "D[start]");
    EXPECT_EQ(FriendlyErrors::mirrorError("audio_unavailable", "m"), "A");
    EXPECT_EQ(FriendlyErrors::mirrorError("encoder", "m"), "E");
    EXPECT_EQ(FriendlyErrors::phoneError("accessibility_off", "m"), "X");
    // A key missing from the table shows as itself.
    EXPECT_EQ(FriendlyErrors::generic(), "err.generic");
    L10n::setBundle(nullptr);
}

TEST(NetError, NamesErrnoValuesSymbolically) {
    EXPECT_EQ(errnoName(ECONNREFUSED), "ECONNREFUSED");
    EXPECT_EQ(errnoName(EHOSTUNREACH), "EHOSTUNREACH");
    EXPECT_EQ(errnoName(99999), "errno 99999");
    EXPECT_NE(std::string(NetError::posix(ETIMEDOUT).what()).find("ETIMEDOUT"), std::string::npos);
    EXPECT_NE(std::string(NetError::dns(EAI_AGAIN).what()).find("EAI_AGAIN"), std::string::npos);
}

}  // namespace
}  // namespace velmora

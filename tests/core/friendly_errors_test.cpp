#include "core/errors/friendly_errors.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <functional>
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
    struct Row {
        CXPError error;
        Text expected;
    };
    const std::vector<Row> rows = {
        {CXPError::protocolError("registro inválido: 16"), FriendlyErrors::protocolProblem},
        {CXPError::rejected("pareamento recusado"), FriendlyErrors::refused},
        {CXPError::rejected("NOT_PAIRED"), FriendlyErrors::refused},
        {CXPError::rejected("not_paired"), [] { return CXPError::rejected("not_paired").description(); }},
        {CXPError::rejected("pair_upgrade_required"),
         [] { return CXPError::rejected("pair_upgrade_required").description(); }},
        {CXPError::rejected("sas_commit_mismatch"),
         [] { return CXPError::rejected("sas_commit_mismatch").description(); }},
        {CXPError::closed(), FriendlyErrors::dropped},
        {CXPError::timedOut(), [] { return CXPError::timedOut().description(); }},
        {CXPError::unexpectedPeer(), [] { return CXPError::unexpectedPeer().description(); }},
        {CXPError::unknownPeer(), [] { return CXPError::unknownPeer().description(); }},
        {CXPError::identityFileUnsafe(), [] { return CXPError::identityFileUnsafe().description(); }},
        {CXPError::identityUnavailable(-25), [] { return CXPError::identityUnavailable(-25).description(); }},
        {CXPError::identitySaveFailed(3), [] { return CXPError::identitySaveFailed(3).description(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.error.what());
        EXPECT_EQ(FriendlyErrors::text(row.error), row.expected());
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

TEST(FriendlyErrors, FixedTextsUseTheirKeys) {
    EXPECT_EQ(FriendlyErrors::generic(), L10n::string("err.generic"));
    EXPECT_EQ(FriendlyErrors::refused(), L10n::string("err.refused"));
    EXPECT_EQ(FriendlyErrors::unreachable(), L10n::string("err.unreachable"));
    EXPECT_EQ(FriendlyErrors::dropped(), L10n::string("err.dropped"));
    EXPECT_EQ(FriendlyErrors::timeout(), L10n::string("err.timeout"));
    EXPECT_EQ(FriendlyErrors::localNetwork(), L10n::string("err.local_network"));
    EXPECT_EQ(FriendlyErrors::protocolProblem(), L10n::string("err.protocol"));
    EXPECT_EQ(FriendlyErrors::unknownCode(), L10n::string("err.unknown"));
    EXPECT_EQ(FriendlyErrors::searchFailed(),
              L10n::format("err.search_failed", {L10n::string("panel.search_again")}));
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

    EXPECT_EQ(
        mirrorError("permission_pending", "m"),
        L10n::format("err.mirror.permission_pending", {L10n::string("ref.android.mirror_notif_title")}));
    EXPECT_EQ(mirrorError("denied", "m"),
              L10n::format("err.mirror.denied", {L10n::string("panel.mirror.start")}));
    EXPECT_EQ(mirrorError("audio_unavailable", "m"), L10n::string("err.mirror.audio_unavailable"));
    EXPECT_EQ(mirrorError("encoder", "m"), L10n::string("err.mirror.encoder"));
    EXPECT_EQ(phoneError("accessibility_off", "m"), L10n::string("err.phone_accessibility_off"));
    // Codes match exactly; the phone's own message is never shown for an unknown code.
    for (const char* code : {"Denied", "encoder ", "something_new"}) {
        EXPECT_EQ(mirrorError(code, "phone says hi"), FriendlyErrors::unknownCode()) << code;
    }
    EXPECT_EQ(phoneError("ACCESSIBILITY_OFF", "phone says hi"), FriendlyErrors::unknownCode());
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

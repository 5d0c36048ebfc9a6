// Every way the phone can break the opening ends in the protocol's own error, and leaves the paired
// phones as they were.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "core/crypto/base64.h"
#include "core/crypto/cxp_crypto.h"
#include "core/crypto/p256_private_key.h"
#include "core/protocol/control_json.h"
#include "core/protocol/cxp_error.h"
#include "support/memory_peer_store.h"
#include "support/session_harness.h"
#include "support/software_identity.h"

namespace velmora {
namespace {

using nlohmann::json;

std::optional<CXPError> cxpErrorOf(const std::exception_ptr& error) {
    if (!error) return std::nullopt;
    try {
        std::rethrow_exception(error);
    } catch (const CXPError& e) {
        return e;
    } catch (...) {
        return std::nullopt;
    }
}

struct Scene {
    SimulatedPhone& phone;
    PhoneConfig& config;
    OpenOptions& options;
    MemoryPeerStore& store;
    const SoftwareIdentity& computer;
};

struct Row {
    const char* what;
    std::function<void(Scene&)> arrange;
    CXPError error;
};

StepFault edit(std::function<void(json&)> change) {
    return {.edit = std::move(change)};
}

StepFault replaceWith(json message) {
    return {.replace = std::move(message)};
}

std::function<void(Scene&)> fault(PhoneStep step, StepFault f) {
    return [step, f](Scene& s) { s.config.faults[step] = f; };
}

std::function<void(Scene&)> authMember(const char* key, json value) {
    return fault(PhoneStep::auth, edit([key, value](json& m) { m[key] = value; }));
}

std::function<void(Scene&)> authWithout(const char* key) {
    return fault(PhoneStep::auth, edit([key](json& m) { m.erase(key); }));
}

std::function<void(Scene&)> nonceText(json n) {
    return fault(PhoneStep::nonce, edit([n](json& m) { m["n"] = n; }));
}

std::function<void(Scene&)> phoneAccept(json value) {
    return fault(PhoneStep::confirm, edit([value](json& m) { m["accept"] = value; }));
}

std::function<void(Scene&)> answer(json message) {
    return fault(PhoneStep::answer, replaceWith(std::move(message)));
}

std::string b64(std::size_t bytes) {
    return Base64::encode(Bytes(bytes, 0x5A));
}

std::string upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

const auto protocol = CXPError::protocolError;
const auto rejected = CXPError::rejected;

const std::vector<Row>& rows() {
    static const std::vector<Row> all = {
        // A handshake record on another channel than control.
        {"auth on the video channel", fault(PhoneStep::auth, {.channel = 1}),
         protocol("canal inesperado durante o handshake")},
        {"nonce on channel 9", fault(PhoneStep::nonce, {.channel = 9}),
         protocol("canal inesperado durante o handshake")},
        // The first message is not a well-formed "auth".
        {"first message of another type", fault(PhoneStep::auth, replaceWith({{"t", "hello"}})),
         protocol("esperava auth")},
        {"auth without t", authWithout("t"), protocol("esperava auth")},
        {"pub missing", authWithout("pub"), protocol("esperava auth")},
        {"sig missing", authWithout("sig"), protocol("esperava auth")},
        {"pub with a leading blank",
         fault(PhoneStep::auth, edit([](json& m) { m["pub"] = " " + m["pub"].get<std::string>(); })),
         protocol("esperava auth")},
        // The signature does not verify.
        {"signature of the wrong length", authMember("sig", b64(70)), protocol("assinatura inválida")},
        {"another key than the signer's", fault(PhoneStep::auth, edit([](json& m) {
                                                    const Bytes other =
                                                        P256PrivateKey::generate().publicX963();
                                                    m["pub"] = Base64::encode(other);
                                                    m["id"] = CXPCrypto::deviceId(other);
                                                })),
         protocol("assinatura inválida")},
        {"a key that is not a 65-byte point", authMember("pub", b64(33)), protocol("assinatura inválida")},
        // The claimed id is not the key's.
        {"id missing", authWithout("id"), protocol("id não confere com a chave")},
        {"id in upper case",
         fault(PhoneStep::auth, edit([](json& m) { m["id"] = upper(m["id"].get<std::string>()); })),
         protocol("id não confere com a chave")},
        // The phone is not the one asked for, or not allowed without the user.
        {"empty expected prefix", [](Scene& s) { s.options.expected = ""; }, CXPError::unexpectedPeer()},
        {"expected id in upper case", [](Scene& s) { s.options.expected = upper(s.phone.id()); },
         CXPError::unexpectedPeer()},
        {"automatic connection to an unknown phone", [](Scene& s) { s.options.userInitiated = false; },
         CXPError::unknownPeer()},
        {"automatic connection to a phone stored with another key",
         [](Scene& s) {
             s.options.userInitiated = false;
             s.phone.remember(s.computer.id());
             s.store.put({s.phone.id(), P256PrivateKey::generate().publicX963(), "Impostor", "android"});
         },
         CXPError::unknownPeer()},
        // "ready" from a phone the computer does not know.
        {"ready from a phone never paired", [](Scene& s) { s.phone.remember(s.computer.id()); },
         protocol("o servidor me considera pareado, mas eu não o conheço")},
        // "pair.begin" with a scheme this side does not speak.
        {"sas in upper case", [](Scene& s) { s.config.sas = "CR1"; }, rejected("pair_upgrade_required")},
        {"sas missing", fault(PhoneStep::answer, edit([](json& m) { m.erase("sas"); })),
         rejected("pair_upgrade_required")},
        // Any other answer to the computer's "auth".
        {"phone not ready to pair", [](Scene& s) { s.config.readyToPair = false; }, rejected("not_paired")},
        {"unknown answer type", answer({{"t", "bye"}}), rejected("bye")},
        {"answer with neither t nor code", answer(json::object()), rejected("?")},
        {"error with a log-forging code", answer({{"t", "error"}, {"code", "x\nFALSO"}}), rejected("?")},
        {"t and code of other kinds", answer({{"t", 5}, {"code", 7}}), rejected("?")},
        {"code wins over t", answer({{"t", "error"}, {"code", "pair_upgrade_required"}}),
         rejected("pair_upgrade_required")},
        // "error" during the pairing exchange.
        {"error instead of the nonce",
         fault(PhoneStep::nonce, replaceWith({{"t", "error"}, {"code", "sas_commit_mismatch"}})),
         rejected("sas_commit_mismatch")},
        {"error without code instead of the nonce", fault(PhoneStep::nonce, replaceWith({{"t", "error"}})),
         rejected("?")},
        {"error instead of the confirmation",
         fault(PhoneStep::confirm, replaceWith({{"t", "error"}, {"code", "busy"}})), rejected("busy")},
        // No "pair.nonce" when one is due, or a bad one.
        {"reveal instead of the nonce", fault(PhoneStep::nonce, replaceWith({{"t", "pair.reveal"}})),
         protocol("esperava pair.nonce")},
        {"nonce of 31 bytes", nonceText(b64(31)), protocol("pair.nonce inválido")},
        {"nonce of 33 bytes", nonceText(b64(33)), protocol("pair.nonce inválido")},
        {"nonce text of 65 characters", nonceText(std::string(65, 'A')), protocol("pair.nonce inválido")},
        {"nonce of 48 bytes in 64 characters", nonceText(b64(48)), protocol("pair.nonce inválido")},
        {"nonce not base64", nonceText(std::string(43, '*') + "="), protocol("pair.nonce inválido")},
        {"nonce missing", fault(PhoneStep::nonce, edit([](json& m) { m.erase("n"); })),
         protocol("pair.nonce inválido")},
        // No "pair.confirm" when one is due.
        {"ready instead of the confirmation", fault(PhoneStep::confirm, replaceWith({{"t", "ready"}})),
         protocol("esperava pair.confirm")},
        // Only a JSON true from the phone is a yes.
        {"accept as the number 1", phoneAccept(1), rejected("pareamento recusado")},
        {"accept missing", fault(PhoneStep::confirm, edit([](json& m) { m.erase("accept"); })),
         rejected("pareamento recusado")},
        // Messages the decoder refuses, and records over the limit before authentication.
        {"answer that is an array", fault(PhoneStep::answer, {.rawPayload = text("[]")}),
         protocol("mensagem inválida (JSON)")},
        {"answer that is not JSON", fault(PhoneStep::answer, {.rawPayload = text("{\"t\":")}),
         protocol("mensagem inválida (JSON)")},
        {"auth nested 17 deep", fault(PhoneStep::auth, {.rawPayload = text(std::string(17, '['))}),
         protocol("JSON aninhado demais")},
        {"auth record over the pre-authentication limit",
         fault(PhoneStep::auth, {.rawPayload = Bytes(65536, ' ')}), protocol("registro inválido: 65553")},
    };
    return all;
}

class SessionRefusals : public ::testing::TestWithParam<std::size_t> {};

TEST_P(SessionRefusals, EndsWithTheProtocolErrorAndChangesNoStoredPeer) {
    const Row& row = rows()[GetParam()];
    SoftwareIdentity computer{"Estação", "mac"};
    MemoryPeerStore store;
    PhoneConfig config;
    OpenOptions options;
    SimulatedPhone phone;
    Scene setup{phone, config, options, store, computer};
    row.arrange(setup);
    phone.setConfig(config);
    const auto before = store.snapshot();

    OpenAttempt a = openSession(phone, computer, store, options);
    EXPECT_FALSE(a.session) << row.what;
    EXPECT_EQ(cxpErrorOf(a.error), row.error) << row.what << ": " << a.errorText();
    a.finish();
    EXPECT_EQ(store.saves(), 0) << row.what;
    EXPECT_EQ(store.snapshot(), before) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Rows, SessionRefusals, ::testing::Range<std::size_t>(0, rows().size()),
                         [](const auto& info) {
                             std::string name = rows()[info.param].what;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

TEST(SessionRefusalsAfterPairing, NoReadyAfterPairingKeepsTheNewPeerSaved) {
    SoftwareIdentity computer{"Estação", "mac"};
    MemoryPeerStore store;
    PhoneConfig config;
    config.faults[PhoneStep::ready] = replaceWith({{"t", "error"}, {"code", "x"}});
    SimulatedPhone phone(config);
    OpenAttempt a = openSession(phone, computer, store);
    EXPECT_EQ(cxpErrorOf(a.error), CXPError::protocolError("pareamento não concluído"));
    a.finish();
    EXPECT_EQ(store.saves(), 1);
    EXPECT_EQ(store.snapshot().at(phone.id()), peerOf(phone));
}

TEST(SessionOpeningLimits, AHandshakeRecordOfExactlyThePreAuthenticationLimitIsRead) {
    // pair.begin padded to a 65535-byte payload, the largest a record may carry before authentication.
    PhoneConfig config;
    config.faults[PhoneStep::answer] = edit([](json& m) {
        const std::size_t now = encodeJSON(m).size();
        m["pad"] = std::string(65535 - now - std::string(",\"pad\":\"\"").size(), 'p');
    });
    SimulatedPhone phone(config);
    SoftwareIdentity computer{"Estação", "mac"};
    MemoryPeerStore store;
    OpenAttempt a = openSession(phone, computer, store);
    EXPECT_TRUE(a.session) << a.errorText();
    a.finish();
}

TEST(SessionOpeningExpected, APrefixOrTheWholeIdOfThePhoneIsAccepted) {
    SimulatedPhone phone;
    SoftwareIdentity computer{"Estação", "mac"};
    MemoryPeerStore store;
    // The first opening pairs, the second finds the phone already paired.
    for (const std::string& expected : {phone.id().substr(0, 16), phone.id()}) {
        OpenOptions options;
        options.expected = expected;
        OpenAttempt a = openSession(phone, computer, store, options);
        EXPECT_TRUE(a.session) << expected << ": " << a.errorText();
        a.finish();
    }
}

// A phone that stops answering at any step never hangs the computer: closing the transport ends the
// opening, and nothing is stored unless both sides had already accepted.
const char* const kStepNames[] = {"Auth", "Answer", "Nonce", "Confirm", "Ready"};

class SessionStalls : public ::testing::TestWithParam<std::tuple<PhoneStep, LinkKind>> {};

TEST_P(SessionStalls, ClosingTheTransportEndsTheOpening) {
    const auto [step, link] = GetParam();
    auto computerEnd = std::make_shared<std::promise<std::shared_ptr<Transport>>>();
    auto closeAfterStall = [computerEnd] {
        // The phone has stopped answering; the computer is blocked in a receive.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        computerEnd->get_future().get()->close();
    };
    PhoneConfig config;
    config.faults[step] = {.stall = true,
                           .onStall = [closeAfterStall] { std::thread(closeAfterStall).detach(); }};
    SimulatedPhone phone(config);
    SoftwareIdentity computer{"Estação", "mac"};
    MemoryPeerStore store;
    OpenOptions options;
    options.link = link;
    options.onConnected = [computerEnd](std::shared_ptr<Transport> t) {
        computerEnd->set_value(std::move(t));
    };

    OpenAttempt a = openSession(phone, computer, store, options);
    EXPECT_FALSE(a.session);
    EXPECT_EQ(cxpErrorOf(a.error), CXPError::closed()) << a.errorText();
    a.finish();
    EXPECT_EQ(store.saves(), step == PhoneStep::ready ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Steps, SessionStalls,
                         ::testing::Combine(::testing::Values(PhoneStep::auth, PhoneStep::answer,
                                                              PhoneStep::nonce, PhoneStep::confirm,
                                                              PhoneStep::ready),
                                            ::testing::Values(LinkKind::socketPair, LinkKind::loopbackTcp)),
                         [](const auto& info) {
                             return kStepNames[static_cast<int>(std::get<0>(info.param))] +
                                    linkName(std::get<1>(info.param));
                         });

}  // namespace
}  // namespace velmora

// The simulated phone refuses what the companion app refuses, so the end-to-end tests cannot pass with a
// computer that the real phone would turn away. The computer's side is played by hand here.

#include <gtest/gtest.h>

#include "core/channel/secure_channel.h"
#include "core/crypto/base64.h"
#include "core/crypto/cxp_crypto.h"
#include "core/protocol/control_json.h"
#include "core/session/link_session.h"
#include "core/text/limits.h"
#include "support/simulated_phone.h"
#include "support/software_identity.h"
#include "support/test_links.h"

namespace velmora {
namespace {

using nlohmann::json;

// Opens by hand up to the reveal of a pairing nonce of `nonceBytes` bytes, committed to correctly.
PhoneOutcome revealNonceOf(std::size_t nonceBytes) {
    SimulatedPhone phone;
    SoftwareIdentity computer{"Estação", "mac"};
    LinkEnds ends = makeLink(LinkKind::socketPair);
    auto phoneSide = phone.serveAsync(ends.phone);
    const auto channel = SecureChannel::connectAsClient(ends.computer);
    const auto receive = [&] {
        return decodeJSON(channel->receive().payload, static_cast<std::size_t>(Limits::controlMax));
    };
    const auto send = [&](const json& m) { channel->send(Ch::control, encodeJSON(m)); };

    EXPECT_EQ(receive().value("t", ""), "auth");
    const Bytes sig =
        computer.sign(LinkSession::authSignedBytes(LinkSession::roleComputer, channel->transcript()));
    send({{"t", "auth"},
          {"pub", Base64::encode(computer.publicX963())},
          {"sig", Base64::encode(sig)},
          {"name", "Estação"},
          {"id", computer.id()},
          {"platform", "mac"}});
    EXPECT_EQ(receive().value("t", ""), "pair.begin");
    const Bytes nonce = CXPCrypto::randomBytes(nonceBytes);
    send({{"t", "pair.commit"},
          {"c", Base64::encode(SecureChannel::sasCommit(channel->transcript(), nonce))}});
    EXPECT_EQ(receive().value("t", ""), "pair.nonce");
    send({{"t", "pair.reveal"}, {"n", Base64::encode(nonce)}});
    try {
        // The phone's "pair.confirm" when it went on, its hang-up when it refused.
        (void)channel->receive();
    } catch (const std::exception&) {
    }
    ends.computer->close();
    return phoneSide.get();
}

TEST(SimulatedPhone, RefusesARevealedNonceOfAnotherSizeThan32Bytes) {
    for (const std::size_t size : {16u, 31u, 33u}) {
        const PhoneOutcome seen = revealNonceOf(size);
        EXPECT_EQ(seen.error, "pair.reveal inválido") << size;
        EXPECT_FALSE(seen.shownCode.has_value()) << size;
    }
    const PhoneOutcome good = revealNonceOf(32);
    EXPECT_TRUE(good.commitmentMatched);
    EXPECT_TRUE(good.shownCode.has_value());
}

}  // namespace
}  // namespace velmora

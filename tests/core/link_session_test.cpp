#include "core/session/link_session.h"

#include <gtest/gtest.h>

#include "core/crypto/cxp_crypto.h"

namespace velmora {
namespace {

// The simulated phone signs with the same helper, so the end-to-end tests cannot catch a wrong layout
// here; these are the bytes the companion app signs and checks ("CXP1-auth", role, transcript).
TEST(LinkSessionAuth, SignedBytesAreTheLabelTheRoleAndTheTranscript) {
    EXPECT_EQ(CXPCrypto::hex(LinkSession::authSignedBytes(LinkSession::roleComputer, Bytes(32, 0xAB))),
              "435850312d6175746801" + CXPCrypto::hex(Bytes(32, 0xAB)));
    EXPECT_EQ(CXPCrypto::hex(LinkSession::authSignedBytes(LinkSession::rolePhone, Bytes{0x00, 0xFF})),
              "435850312d617574680200ff");
}

}  // namespace
}  // namespace velmora

#include <gtest/gtest.h>

#include "core/crypto/crypto_error.h"
#include "core/crypto/cxp_crypto.h"
#include "core/protocol/cxp_error.h"
#include "hex_bytes.h"

namespace velmora {
namespace {

using test::bytesOf;

const Bytes kKey(32, 0x11);
const Bytes kNonce(12, 0x22);

TEST(CXPCryptoInPlace, SealingPartsEqualsSealingTheirConcatenation) {
    const Bytes head{0x03}, body = bytesOf("payload bytes"), empty;
    Bytes out(1 + body.size() + 16);
    CXPCrypto::sealInto(kKey, kNonce, {head, empty, body}, out);
    EXPECT_EQ(out,
              CXPCrypto::seal(kKey, kNonce,
                              Bytes{0x03, 'p', 'a', 'y', 'l', 'o', 'a', 'd', ' ', 'b', 'y', 't', 'e', 's'}));

    Bytes wrongSize(out.size() + 1);
    EXPECT_THROW(CXPCrypto::sealInto(kKey, kNonce, {head, body}, wrongSize), CryptoError);
}

TEST(CXPCryptoInPlace, OpeningInPlaceLeavesThePlaintextAtTheFront) {
    const Bytes plaintext = bytesOf("in place");
    Bytes sealed = CXPCrypto::seal(kKey, kNonce, plaintext);
    const std::size_t n = CXPCrypto::openInPlace(kKey, kNonce, sealed);
    EXPECT_EQ(Bytes(sealed.begin(), sealed.begin() + static_cast<std::ptrdiff_t>(n)), plaintext);

    Bytes tagOnly = CXPCrypto::seal(kKey, kNonce, {});
    EXPECT_EQ(CXPCrypto::openInPlace(kKey, kNonce, tagOnly), 0u);

    Bytes altered = CXPCrypto::seal(kKey, kNonce, plaintext);
    altered[0] ^= 0x80;
    EXPECT_THROW(CXPCrypto::openInPlace(kKey, kNonce, altered), CryptoError);

    Bytes tooShort(15);
    EXPECT_THROW(CXPCrypto::openInPlace(kKey, kNonce, tooShort), CXPError);
}

}  // namespace
}  // namespace velmora

#include "core/crypto/cxp_crypto.h"

#include <gtest/gtest.h>

#include "core/crypto/crypto_error.h"
#include "core/discovery/device_id.h"
#include "core/protocol/cxp_error.h"
#include "hex_bytes.h"

namespace velmora {
namespace {

using test::bytesOf;
using test::fromHex;

// Vectors below were computed with python3-cryptography, independently of this code.
const char* const kPriv1 = "c9afa9d845ba75166b5c215767b1d6934e50c3db36e89b127b8a622b120f6721";
const char* const kPub1 =
    "0460fed4ba255a9d31c961eb74c6356d68c049b8923b61fa6ce669622e60f29fb6"
    "7903fe1008b8bc99a41ae9e95628bc64f2f1b20c2d7e9f5177a3c294d4462299";
const char* const kPriv2 = "0f56db78ca460b055c500064824bed999a25aaf48ebb519ac201537b85479813";
const char* const kPub2 =
    "04e266ddfdc12668db30d4ca3e8f7749432c416044f2d2b8c10bf3d4012aeffa8a"
    "bfa86404a2e9ffe67d47c587ef7a97a7f456b863b4d02cfc6928973ab5b1cb39";
const char* const kMessage = "auth|velmora|transcript";
const char* const kRawSig =
    "8ecda11bb0a0e83db89927fdf40ee61ebf7e933026b951a9431ccae7e31ae304"
    "bf1d3c96e739a97d1031ee844dcaf2ab361d1b405751b347883171b164e6fab1";
const char* const kDerSig =
    "30460221008ecda11bb0a0e83db89927fdf40ee61ebf7e933026b951a9431ccae7e31ae304"
    "022100bf1d3c96e739a97d1031ee844dcaf2ab361d1b405751b347883171b164e6fab1";

TEST(CXPCryptoRandom, FillsTheRequestedCount) {
    EXPECT_TRUE(CXPCrypto::randomBytes(0).empty());
    const Bytes a = CXPCrypto::randomBytes(32);
    EXPECT_EQ(a.size(), 32u);
    EXPECT_NE(a, CXPCrypto::randomBytes(32));
}

TEST(CXPCryptoSha256, HashesTheConcatenationOfItsParts) {
    EXPECT_EQ(CXPCrypto::hex(CXPCrypto::sha256({})),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(CXPCrypto::hex(CXPCrypto::sha256(bytesOf("abc"))),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const Bytes a = bytesOf("ab"), b = bytesOf(""), c = bytesOf("c");
    EXPECT_EQ(CXPCrypto::sha256({a, b, c}), CXPCrypto::sha256(bytesOf("abc")));
}

TEST(CXPCryptoHkdf, MatchesIndependentVectors) {
    // RFC 5869 test cases 1 and 3 (empty salt and info), and one of the channel's 64-byte lengths.
    EXPECT_EQ(CXPCrypto::hex(CXPCrypto::hkdf(fromHex("0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b"),
                                             fromHex("000102030405060708090a0b0c"),
                                             fromHex("f0f1f2f3f4f5f6f7f8f9"), 42)),
              "3cb25f25faacd57a90434f64d0362f2a2d2d0a90cf1a5a4c5db02d56ecc4c5bf34007208d5b887185865");
    EXPECT_EQ(
        CXPCrypto::hex(CXPCrypto::hkdf(fromHex("0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b"), {}, {}, 42)),
        "8da4e775a563c18f715f802a063c5a31b8a11f5c5ee1879ec3454e5f3c738d2d9d201395faa4b61a96c8");
    Bytes ikm;
    for (int i = 1; i <= 32; ++i)
        ikm.push_back(static_cast<std::uint8_t>(i));
    EXPECT_EQ(
        CXPCrypto::hex(CXPCrypto::hkdf(ikm, bytesOf("velmora-salt"), bytesOf("cxp keys"), 64)),
        "e9a3c4b765f84f8a93966f86297dff086ab16f892e3384752c691e7d1a4165ed86a5b6b3df962f94612a719a00494dd23238"
        "04ba08729daa415a8364b02f6514");
    EXPECT_EQ(CXPCrypto::hkdf(ikm, {}, {}, 8160).size(), 8160u);
}

TEST(CXPCryptoHkdf, RefusesLengthsOutsideTheRfcRange) {
    EXPECT_THROW(CXPCrypto::hkdf(bytesOf("k"), {}, {}, 0), CryptoError);
    EXPECT_THROW(CXPCrypto::hkdf(bytesOf("k"), {}, {}, 8161), CryptoError);
}

TEST(CXPCryptoKeys, DerivesTheKnownPublicKeyFromTheScalar) {
    const P256PrivateKey key = P256PrivateKey::fromRaw(fromHex(kPriv1));
    EXPECT_EQ(CXPCrypto::hex(key.publicX963()), kPub1);
    EXPECT_EQ(CXPCrypto::hex(key.raw()), kPriv1);
}

TEST(CXPCryptoKeys, RefusesScalarsOutsideTheGroup) {
    EXPECT_THROW(P256PrivateKey::fromRaw(Bytes(32, 0)), CryptoError);
    EXPECT_THROW(P256PrivateKey::fromRaw(Bytes(32, 0xff)), CryptoError);
    // The group order n itself.
    EXPECT_THROW(
        P256PrivateKey::fromRaw(fromHex("ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551")),
        CryptoError);
    EXPECT_THROW(P256PrivateKey::fromRaw(Bytes(31, 1)), CryptoError);
    EXPECT_THROW(P256PrivateKey::fromRaw(Bytes(33, 1)), CryptoError);
}

TEST(CXPCryptoEcdh, AgreesWithTheIndependentSecretFromBothSides) {
    const P256PrivateKey k1 = P256PrivateKey::fromRaw(fromHex(kPriv1));
    const P256PrivateKey k2 = P256PrivateKey::fromRaw(fromHex(kPriv2));
    const char* const secret = "90223373f75e989ab8965d8cc88f01ceb4c622875861771da7bf1a0faccae374";
    EXPECT_EQ(CXPCrypto::hex(CXPCrypto::ecdh(k1, fromHex(kPub2))), secret);
    EXPECT_EQ(CXPCrypto::hex(CXPCrypto::ecdh(k2, fromHex(kPub1))), secret);
}

TEST(CXPCryptoEcdh, RefusesEveryPublicKeyFormButUncompressed) {
    const P256PrivateKey own = P256PrivateKey::generate();
    const Bytes good = fromHex(kPub2);
    Bytes compressed(good.begin(), good.begin() + 33);
    compressed[0] = (good[64] & 1) ? 0x03 : 0x02;
    Bytes hybrid = good;
    hybrid[0] = (good[64] & 1) ? 0x07 : 0x06;
    Bytes offCurve = good;
    offCurve[64] ^= 0x01;
    const Bytes refused[] = {compressed,
                             hybrid,
                             offCurve,
                             Bytes(good.begin(), good.begin() + 64),
                             Bytes(65, 0),
                             Bytes{},
                             Bytes(good.begin() + 1, good.end())};
    for (const Bytes& key : refused)
        EXPECT_THROW(CXPCrypto::ecdh(own, key), CryptoError) << CXPCrypto::hex(key);
}

TEST(CXPCryptoGcm, SealsToTheIndependentVectors) {
    Bytes key32, key16;
    for (int i = 0; i < 32; ++i)
        key32.push_back(static_cast<std::uint8_t>(i));
    key16.assign(key32.begin(), key32.begin() + 16);
    const Bytes nonce = fromHex("000000000000000000000001");
    const Bytes plain = bytesOf("ola, telefone");
    EXPECT_EQ(CXPCrypto::hex(CXPCrypto::seal(key32, nonce, plain)),
              "7abaded0648055726b483e57893d1c0b942c0e4c3f6723d7c7f6f77b61");
    EXPECT_EQ(CXPCrypto::hex(CXPCrypto::seal(key16, nonce, plain)),
              "d5b9ce4fed9daf422b222b92460eed1504d0e88cf1e5cee234cad19b69");
    EXPECT_EQ(CXPCrypto::hex(CXPCrypto::seal(key32, nonce, {})), "367ef8288831557408e102950a16e26a");

    EXPECT_EQ(
        CXPCrypto::open(key32, nonce, fromHex("7abaded0648055726b483e57893d1c0b942c0e4c3f6723d7c7f6f77b61")),
        plain);
    EXPECT_TRUE(CXPCrypto::open(key32, nonce, fromHex("367ef8288831557408e102950a16e26a")).empty());
}

TEST(CXPCryptoGcm, EveryFlippedBitFailsAuthentication) {
    const Bytes key = CXPCrypto::randomBytes(32);
    const Bytes nonce = CXPCrypto::randomBytes(12);
    const Bytes plain = bytesOf("mensagem de controle");
    const Bytes sealed = CXPCrypto::seal(key, nonce, plain);
    ASSERT_EQ(sealed.size(), plain.size() + 16);
    for (std::size_t bit = 0; bit < sealed.size() * 8; ++bit) {
        Bytes bad = sealed;
        bad[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        EXPECT_THROW(CXPCrypto::open(key, nonce, bad), CryptoError) << bit;
    }
    Bytes otherNonce = nonce;
    otherNonce[11] ^= 1;
    EXPECT_THROW(CXPCrypto::open(key, otherNonce, sealed), CryptoError);
}

TEST(CXPCryptoGcm, ShortRecordIsAProtocolErrorBeforeKeyOrNonceAreLookedAt) {
    try {
        CXPCrypto::open(Bytes(3), Bytes(1), Bytes(15));
        FAIL() << "no error";
    } catch (const CXPError& e) {
        EXPECT_EQ(e, CXPError::protocolError("registro curto"));
    }
}

TEST(CXPCryptoGcm, RefusesBadKeyAndNonceSizes) {
    const Bytes nonce(12);
    for (std::size_t size : {0, 15, 17, 31, 33}) {
        EXPECT_THROW(CXPCrypto::seal(Bytes(size), nonce, bytesOf("x")), CryptoError) << size;
        EXPECT_THROW(CXPCrypto::open(Bytes(size), nonce, Bytes(20)), CryptoError) << size;
    }
    EXPECT_THROW(CXPCrypto::seal(Bytes(32), Bytes(11), bytesOf("x")), CryptoError);
    EXPECT_THROW(CXPCrypto::seal(Bytes(32), Bytes{}, bytesOf("x")), CryptoError);
}

const Bytes kInPlaceKey(32, 0x11);
const Bytes kInPlaceNonce(12, 0x22);

TEST(CXPCryptoInPlace, SealingPartsEqualsSealingTheirConcatenation) {
    const Bytes head{0x03}, body = bytesOf("payload bytes"), empty;
    Bytes out(1 + body.size() + 16);
    CXPCrypto::sealInto(kInPlaceKey, kInPlaceNonce, {head, empty, body}, out);
    EXPECT_EQ(out, CXPCrypto::seal(kInPlaceKey, kInPlaceNonce, bytesOf("\x03payload bytes")));

    Bytes wrongSize(out.size() + 1);
    EXPECT_THROW(CXPCrypto::sealInto(kInPlaceKey, kInPlaceNonce, {head, body}, wrongSize), CryptoError);
}

TEST(CXPCryptoInPlace, OpeningInPlaceLeavesThePlaintextAtTheFront) {
    const Bytes plaintext = bytesOf("in place");
    Bytes sealed = CXPCrypto::seal(kInPlaceKey, kInPlaceNonce, plaintext);
    const std::size_t n = CXPCrypto::openInPlace(kInPlaceKey, kInPlaceNonce, sealed);
    EXPECT_EQ(Bytes(sealed.begin(), sealed.begin() + static_cast<std::ptrdiff_t>(n)), plaintext);

    Bytes tagOnly = CXPCrypto::seal(kInPlaceKey, kInPlaceNonce, {});
    EXPECT_EQ(CXPCrypto::openInPlace(kInPlaceKey, kInPlaceNonce, tagOnly), 0u);

    Bytes altered = CXPCrypto::seal(kInPlaceKey, kInPlaceNonce, plaintext);
    altered[0] ^= 0x80;
    EXPECT_THROW(CXPCrypto::openInPlace(kInPlaceKey, kInPlaceNonce, altered), CryptoError);

    Bytes tooShort(15);
    EXPECT_THROW(CXPCrypto::openInPlace(kInPlaceKey, kInPlaceNonce, tooShort), CXPError);
}

TEST(CXPCryptoVerify, AcceptsTheIndependentSignatureOnly) {
    const Bytes pub = fromHex(kPub1);
    const Bytes message = bytesOf(kMessage);
    const Bytes sig = fromHex(kRawSig);
    EXPECT_TRUE(CXPCrypto::verify(pub, message, sig));

    Bytes changed = message;
    changed.back() ^= 1;
    EXPECT_FALSE(CXPCrypto::verify(pub, changed, sig));
    EXPECT_FALSE(CXPCrypto::verify(fromHex(kPub2), message, sig));
    EXPECT_FALSE(CXPCrypto::verify(pub, message, fromHex(kDerSig)));  // DER is not the wire form
}

TEST(CXPCryptoVerify, MalformedKeysAndSignaturesAreFalseNotErrors) {
    const Bytes pub = fromHex(kPub1);
    const Bytes message = bytesOf(kMessage);
    const Bytes sig = fromHex(kRawSig);
    for (std::size_t size : {0, 63, 65, 70, 72}) {
        Bytes bad = sig;
        bad.resize(size, 0);
        EXPECT_FALSE(CXPCrypto::verify(pub, message, bad)) << size;
    }
    Bytes hybrid = pub;
    hybrid[0] = 0x06 | (pub[64] & 1);
    Bytes compressed(pub.begin(), pub.begin() + 33);
    compressed[0] = 0x02 | (pub[64] & 1);
    const Bytes badKeys[] = {Bytes(pub.begin(), pub.begin() + 64), hybrid, compressed, Bytes(65, 0x04),
                             Bytes{}};
    for (const Bytes& key : badKeys)
        EXPECT_FALSE(CXPCrypto::verify(key, message, sig));
    EXPECT_FALSE(CXPCrypto::verify(pub, message, Bytes(64, 0)));     // r = s = 0
    EXPECT_FALSE(CXPCrypto::verify(pub, message, Bytes(64, 0xff)));  // r, s >= n
}

// A raw signature must left-pad r and s: about one signature in 128 has a short r or s, so a few thousand
// rounds catch a missing pad.
TEST(CXPCryptoVerify, SignVerifyLoopCatchesUnpaddedScalars) {
    const P256PrivateKey key = P256PrivateKey::generate();
    int shortScalars = 0;
    for (int i = 0; i < 3000; ++i) {
        const Bytes message = CXPCrypto::randomBytes(static_cast<std::size_t>(i % 50));
        const Bytes sig = key.sign(message);
        ASSERT_EQ(sig.size(), 64u);
        if (sig[0] == 0 || sig[32] == 0) ++shortScalars;
        ASSERT_TRUE(CXPCrypto::verify(key.publicX963(), message, sig)) << i;
    }
    EXPECT_GT(shortScalars, 0);
}

TEST(CXPCryptoDeviceId, IsTheHexOfTheFirst16DigestBytes) {
    EXPECT_EQ(CXPCrypto::deviceId(fromHex(kPub1)), "b18b86ce1389e46de87aa4a5131ce83c");
    EXPECT_TRUE(Discovery::isDeviceID(CXPCrypto::deviceId(Bytes{})));  // any data is accepted
}

TEST(DeviceIdForm, OnlyThirtyTwoLowerCaseHexDigits) {
    const std::string good = "0123456789abcdef0123456789abcdef";
    EXPECT_TRUE(Discovery::isDeviceID(good));
    const std::string bad[] = {
        "0123456789ABCDEF0123456789ABCDEF",
        good.substr(1),
        good + "0",
        "g123456789abcdef0123456789abcdef",
        "",
        std::string("0123456789abcdef0123456789abcde\0", 32),
        "0123456789abcdef0123456789abcde ",
    };
    for (const std::string& text : bad)
        EXPECT_FALSE(Discovery::isDeviceID(text)) << text;
}

}  // namespace
}  // namespace velmora

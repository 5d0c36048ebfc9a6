#include "core/crypto/cxp_crypto.h"

#include <gtest/gtest.h>

#include "core/crypto/base64.h"
#include "core/crypto/gcm_stream.h"
#include "core/errors/crypto_error.h"
#include "core/errors/cxp_error.h"
#include "helpers.h"

namespace velmora {
namespace {

using CXPCrypto::hex;
using test::bytesOf;
using test::fromHex;

// Vectors below were computed with python3-cryptography, independently of this code.
const Bytes kPriv1 = fromHex("c9afa9d845ba75166b5c215767b1d6934e50c3db36e89b127b8a622b120f6721");
const Bytes kPub1 = fromHex(
    "0460fed4ba255a9d31c961eb74c6356d68c049b8923b61fa6ce669622e60f29fb6"
    "7903fe1008b8bc99a41ae9e95628bc64f2f1b20c2d7e9f5177a3c294d4462299");
const Bytes kPriv2 = fromHex("0f56db78ca460b055c500064824bed999a25aaf48ebb519ac201537b85479813");
const Bytes kPub2 = fromHex(
    "04e266ddfdc12668db30d4ca3e8f7749432c416044f2d2b8c10bf3d4012aeffa8a"
    "bfa86404a2e9ffe67d47c587ef7a97a7f456b863b4d02cfc6928973ab5b1cb39");
const Bytes kMessage = bytesOf("auth|velmora|transcript");
const Bytes kRawSig = fromHex(
    "8ecda11bb0a0e83db89927fdf40ee61ebf7e933026b951a9431ccae7e31ae304"
    "bf1d3c96e739a97d1031ee844dcaf2ab361d1b405751b347883171b164e6fab1");

// The same public key in the forms the wire must refuse.
std::vector<Bytes> otherKeyForms(const Bytes& pub) {
    Bytes compressed(pub.begin(), pub.begin() + 33), hybrid = pub, offCurve = pub;
    compressed[0] = 0x02 | (pub[64] & 1);
    hybrid[0] = 0x06 | (pub[64] & 1);
    offCurve[64] ^= 0x01;
    return {compressed, hybrid, offCurve, Bytes(pub.begin() + 1, pub.end()), Bytes(65, 0x04), Bytes{}};
}

TEST(CXPCryptoHashes, Sha256AndHkdfMatchIndependentVectors) {
    const Bytes a = bytesOf("ab"), b = bytesOf(""), c = bytesOf("c");
    EXPECT_EQ(hex(CXPCrypto::sha256({a, b, c})),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");  // of "abc"

    // RFC 5869 test cases 1 and 3 (empty salt and info).
    const Bytes ikm = fromHex("0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b");
    EXPECT_EQ(
        hex(CXPCrypto::hkdf(ikm, fromHex("000102030405060708090a0b0c"), fromHex("f0f1f2f3f4f5f6f7f8f9"), 42)),
        "3cb25f25faacd57a90434f64d0362f2a2d2d0a90cf1a5a4c5db02d56ecc4c5bf34007208d5b887185865");
    EXPECT_EQ(hex(CXPCrypto::hkdf(ikm, {}, {}, 42)),
              "8da4e775a563c18f715f802a063c5a31b8a11f5c5ee1879ec3454e5f3c738d2d9d201395faa4b61a96c8");
    EXPECT_EQ(CXPCrypto::hkdf(ikm, {}, {}, 8160).size(), 8160u);
    EXPECT_THROW(CXPCrypto::hkdf(ikm, {}, {}, 0), CryptoError);
    EXPECT_THROW(CXPCrypto::hkdf(ikm, {}, {}, 8161), CryptoError);

    EXPECT_NE(CXPCrypto::randomBytes(32), CXPCrypto::randomBytes(32));
    EXPECT_EQ(CXPCrypto::deviceId(kPub1), "b18b86ce1389e46de87aa4a5131ce83c");  // the first 16 digest bytes
}

TEST(CXPCryptoKeys, KnownScalarsGiveTheKnownPublicKeysAndSecretAndOthersAreRefused) {
    const P256PrivateKey k1 = P256PrivateKey::fromRaw(kPriv1), k2 = P256PrivateKey::fromRaw(kPriv2);
    EXPECT_EQ(k1.publicX963(), kPub1);
    EXPECT_EQ(hex(k1.raw()), hex(kPriv1));
    const char* const secret = "90223373f75e989ab8965d8cc88f01ceb4c622875861771da7bf1a0faccae374";
    EXPECT_EQ(hex(CXPCrypto::ecdh(k1, kPub2)), secret);
    EXPECT_EQ(hex(CXPCrypto::ecdh(k2, kPub1)), secret);

    const Bytes groupOrder = fromHex("ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551");
    for (const Bytes& scalar : {Bytes(32, 0), Bytes(32, 0xff), groupOrder, Bytes(31, 1), Bytes(33, 1)})
        EXPECT_THROW(P256PrivateKey::fromRaw(scalar), CryptoError) << hex(scalar);
    for (const Bytes& key : otherKeyForms(kPub2))
        EXPECT_THROW(CXPCrypto::ecdh(k1, key), CryptoError) << hex(key);
}

TEST(CXPCryptoGcm, SealsAndOpensTheIndependentVectors) {
    const Bytes key32 = fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    const Bytes nonce = fromHex("000000000000000000000001"), plain = bytesOf("ola, telefone");
    const Bytes sealed = fromHex("7abaded0648055726b483e57893d1c0b942c0e4c3f6723d7c7f6f77b61");
    EXPECT_EQ(CXPCrypto::seal(key32, nonce, plain), sealed);
    EXPECT_EQ(hex(CXPCrypto::seal(key32, nonce, {})), "367ef8288831557408e102950a16e26a");
    EXPECT_EQ(CXPCrypto::open(key32, nonce, sealed), plain);
    EXPECT_TRUE(CXPCrypto::open(key32, nonce, fromHex("367ef8288831557408e102950a16e26a")).empty());

    // Parts sealed into a caller's buffer equal their concatenation sealed; opening in place leaves the
    // plaintext at the front.
    Bytes out(sealed.size()), wrongSize(sealed.size() + 1);
    CXPCrypto::sealInto(key32, nonce, {ByteView(plain).first(3), {}, ByteView(plain).subspan(3)}, out);
    EXPECT_EQ(out, sealed);
    EXPECT_THROW(CXPCrypto::sealInto(key32, nonce, {plain}, wrongSize), CryptoError);
    out.resize(CXPCrypto::openInPlace(key32, nonce, out));
    EXPECT_EQ(out, plain);
}

TEST(CXPCryptoGcm, AnAlteredRecordAnotherNonceAShortRecordAndBadSizesFail) {
    const Bytes key = CXPCrypto::randomBytes(32), nonce = CXPCrypto::randomBytes(12);
    const Bytes sealed = CXPCrypto::seal(key, nonce, bytesOf("mensagem de controle"));
    Bytes altered = sealed, otherNonce = nonce;
    altered[0] ^= 0x80;
    EXPECT_THROW(CXPCrypto::open(key, nonce, altered), CryptoError);
    otherNonce[11] ^= 1;
    EXPECT_THROW(CXPCrypto::open(key, otherNonce, sealed), CryptoError);
    // Shorter than a tag: a protocol error before key or nonce are looked at.
    Bytes fifteen(15);
    EXPECT_THROW(CXPCrypto::open(Bytes(3), Bytes(1), fifteen), CXPError);
    EXPECT_THROW(CXPCrypto::openInPlace(key, nonce, fifteen), CXPError);
    for (std::size_t size : {0, 15, 17, 31, 33}) {
        EXPECT_THROW(CXPCrypto::seal(Bytes(size), nonce, bytesOf("x")), CryptoError) << size;
        EXPECT_THROW(CXPCrypto::open(Bytes(size), nonce, Bytes(20)), CryptoError) << size;
    }
    EXPECT_THROW(CXPCrypto::seal(key, Bytes(11), bytesOf("x")), CryptoError);
}

TEST(CXPCryptoVerify, AcceptsTheIndependentSignatureOnlyAndMalformedInputIsFalse) {
    EXPECT_TRUE(CXPCrypto::verify(kPub1, kMessage, kRawSig));
    Bytes changed = kMessage;
    changed.back() ^= 1;
    EXPECT_FALSE(CXPCrypto::verify(kPub1, changed, kRawSig));
    EXPECT_FALSE(CXPCrypto::verify(kPub2, kMessage, kRawSig));
    // DER is not the wire form.
    const Bytes der = fromHex(
        "30460221008ecda11bb0a0e83db89927fdf40ee61ebf7e933026b951a9431ccae7e31ae304"
        "022100bf1d3c96e739a97d1031ee844dcaf2ab361d1b405751b347883171b164e6fab1");
    for (const Bytes& sig :
         {der, Bytes(kRawSig.begin(), kRawSig.end() - 1), Bytes{}, Bytes(64, 0), Bytes(64, 0xff)})
        EXPECT_FALSE(CXPCrypto::verify(kPub1, kMessage, sig)) << hex(sig);
    for (const Bytes& key : otherKeyForms(kPub1))
        EXPECT_FALSE(CXPCrypto::verify(key, kMessage, kRawSig)) << hex(key);
}

// A raw signature must left-pad r and s: about one signature in 128 has a short r or s.
TEST(CXPCryptoVerify, SignaturesWithAShortScalarStillVerify) {
    const P256PrivateKey key = P256PrivateKey::generate();
    int shortScalars = 0;
    for (int i = 0; i < 100000 && shortScalars < 2; ++i) {
        const Bytes message = CXPCrypto::randomBytes(static_cast<std::size_t>(i % 50));
        const Bytes sig = key.sign(message);
        ASSERT_EQ(sig.size(), 64u);
        if (sig[0] == 0 || sig[32] == 0) ++shortScalars;
        ASSERT_TRUE(CXPCrypto::verify(key.publicX963(), message, sig)) << i;
    }
    EXPECT_EQ(shortScalars, 2);
}

TEST(Base64, OnlyTheOneCanonicalTextOfTheRfc4648AlphabetDecodes) {
    for (const auto& [plain, encoded] : {std::pair{"", ""},
                                         {"f", "Zg=="},
                                         {"fo", "Zm8="},
                                         {"foo", "Zm9v"},
                                         {"foob", "Zm9vYg=="},
                                         {"fooba", "Zm9vYmE="},
                                         {"foobar", "Zm9vYmFy"}}) {
        EXPECT_EQ(Base64::encode(bytesOf(plain)), encoded) << plain;
        EXPECT_EQ(Base64::decode(encoded), bytesOf(plain)) << encoded;
    }
    // Blanks and line breaks (OpenSSL's block decoder takes them), missing or extra padding, non-zero unused
    // bits ("QQ==" is the only text for "A"), data after padding, the URL-safe alphabet, non-ASCII, NUL.
    const std::string_view refused[] = {"QUJD\n",   " QUJD",       "QUI",       "QQ=",  "QQ===",
                                        "====",     "QR==",        "QUF=",      "QU=D", "QQ==QUJD",
                                        "QUJD-_==", "QUJ\xC3\xA9", {"QU\0D", 4}};
    for (const std::string_view text : refused)
        EXPECT_FALSE(Base64::decode(text).has_value()) << text;
    // Hostile text: whatever decodes must be the one canonical encoding of its bytes.
    const std::string pool = "ABCDQRSTgwxyz0189+/=-_ \n\xff";
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (std::uint8_t noise : CXPCrypto::randomBytes(static_cast<std::size_t>(round % 12)))
            text += pool[noise % pool.size()];
        const auto decoded = Base64::decode(text);
        EXPECT_EQ(decoded ? Base64::encode(*decoded) : text, text);
    }
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// One key, many messages, pieces of any size, in place or not: always the bytes of one seal of the whole,
// and an open that checks the tag.
TEST(GcmStream, PiecesInPlaceOrNotGiveTheBytesOfOneSeal) {
    const Bytes key(32, 0x42);
    GcmStream sealer(key, true), opener(key, false);
    Bytes message(300000);
    for (std::size_t i = 0; i < message.size(); ++i)
        message[i] = static_cast<std::uint8_t>(i * 131 + 7);
    const std::vector<std::size_t> cuts[] = {{}, {1}, {1, 15, 16, 17}, {65536, 65537, 131072}, {299999}};
    std::uint8_t counter = 0;
    for (const auto& cutList : cuts) {
        const Bytes nonce{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, ++counter};
        const Bytes expected = CXPCrypto::seal(key, nonce, message);
        // Sealed in place, piece by piece.
        Bytes sealed = message;
        sealed.resize(message.size() + 16);
        sealer.start(nonce);
        std::size_t from = 0;
        for (const std::size_t cut : cutList) {
            sealer.update(ByteView(sealed).subspan(from, cut - from), sealed.data() + from);
            from = cut;
        }
        sealer.update(ByteView(sealed).subspan(from, message.size() - from), sealed.data() + from);
        sealer.finishSeal(std::span<std::uint8_t, 16>(sealed.data() + message.size(), 16));
        EXPECT_EQ(sealed, expected) << cutList.size() << " cuts";

        // Opened into another buffer in the same pieces.
        Bytes opened(message.size());
        opener.start(nonce);
        from = 0;
        for (const std::size_t cut : cutList) {
            opener.update(ByteView(expected).subspan(from, cut - from), opened.data() + from);
            from = cut;
        }
        opener.update(ByteView(expected).subspan(from, message.size() - from), opened.data() + from);
        opener.finishOpen(ByteView(expected).subspan(message.size()));
        EXPECT_EQ(opened, message);
    }
    // A changed byte, a changed tag, another nonce: refused, and the stream serves the next message.
    const Bytes nonce(12, 9);
    const Bytes good = CXPCrypto::seal(key, nonce, message);
    for (const std::size_t flip : {std::size_t{0}, message.size() - 1, message.size(), good.size() - 1}) {
        Bytes bad = good;
        bad[flip] ^= 1;
        Bytes out(message.size());
        opener.start(nonce);
        opener.update(ByteView(bad).first(message.size()), out.data());
        EXPECT_THROW(opener.finishOpen(ByteView(bad).subspan(message.size())), CryptoError) << flip;
    }
    Bytes out(message.size());
    opener.start(Bytes(12, 8));
    opener.update(ByteView(good).first(message.size()), out.data());
    EXPECT_THROW(opener.finishOpen(ByteView(good).subspan(message.size())), CryptoError);
    EXPECT_THROW(GcmStream(Bytes(16, 1), true), CryptoError);
    EXPECT_THROW(sealer.start(Bytes(8, 1)), CryptoError);
}

}  // namespace
}  // namespace velmora

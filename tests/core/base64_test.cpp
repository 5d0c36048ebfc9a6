#include "core/crypto/base64.h"

#include <gtest/gtest.h>

#include "core/crypto/cxp_crypto.h"
#include "helpers.h"

namespace velmora {
namespace {

using test::bytesOf;

TEST(Base64, EncodesAndDecodesTheRfc4648Vectors) {
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
    Bytes all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(Base64::decode(Base64::encode(all)), all);
}

TEST(Base64, RefusesEverythingButTheOneCanonicalText) {
    const char* refused[] = {
        "QUJD\n",       // line break (OpenSSL's block decoder takes it)
        " QUJD",        // leading blank (same)
        "QUI",          // padding missing
        "QQ=",          // short padding
        "QQ===",        // too much padding
        "====",         // padding only
        "QR==",         // non-zero unused bits: "QQ==" is the only text for "A"
        "QUF=",         // same for two bytes: "QUE="
        "QU=D",         // padding in the middle
        "QQ==QUJD",     // data after padding
        "QUJD-_==",     // URL-safe alphabet
        "QUJ\xC3\xA9",  // non-ASCII
    };
    for (const char* text : refused)
        EXPECT_FALSE(Base64::decode(text).has_value()) << text;
    EXPECT_FALSE(Base64::decode(std::string_view("QU\0D", 4)).has_value());

    // Hostile text: whatever decodes must be the one canonical encoding of its bytes.
    const std::string pool = "ABCDQRSTgwxyz0189+/=-_ \n\xff";
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        const Bytes noise = CXPCrypto::randomBytes(1 + round % 12);
        std::string text;
        for (std::size_t i = 1; i < noise.size(); ++i)
            text += pool[noise[i] % pool.size()];
        if (const std::optional<Bytes> decoded = Base64::decode(text)) {
            ++accepted;
            EXPECT_EQ(Base64::encode(*decoded), text);
        }
    }
    EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace velmora

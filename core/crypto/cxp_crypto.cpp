#include "core/crypto/cxp_crypto.h"

#include <openssl/core_names.h>
#include <openssl/obj_mac.h>
#include <openssl/rand.h>

#include <cstdio>
#include <cstdlib>

#include "core/crypto/openssl_handles.h"
#include "core/errors/cxp_error.h"

namespace velmora::CXPCrypto {
namespace {

constexpr std::size_t kTagSize = 16;
constexpr std::size_t kMinNonceSize = 12;
constexpr std::size_t kScalarSize = 32;
constexpr std::size_t kX963Size = 65;
constexpr std::size_t kHkdfMax = 255 * 32;

openssl::Pkey publicKeyFromX963(ByteView x963) {
    if (!isUncompressedX963(x963))
        throw CryptoError("chave pública P-256 fora da forma X9.63 não comprimida");
    return openssl::importP256(nullptr, x963);
}

const EVP_CIPHER* gcmFor(std::size_t keySize) {
    switch (keySize) {
        case 16:
            return EVP_aes_128_gcm();
        case 24:
            return EVP_aes_192_gcm();
        case 32:
            return EVP_aes_256_gcm();
        default:
            throw CryptoError("chave AES de tamanho inválido: " + std::to_string(keySize));
    }
}

openssl::CipherCtx gcmContext(ByteView key, ByteView nonce, bool encrypt) {
    const EVP_CIPHER* cipher = gcmFor(key.size());
    if (nonce.size() < kMinNonceSize) throw CryptoError("nonce GCM curto: " + std::to_string(nonce.size()));
    openssl::CipherCtx ctx(openssl::checked(EVP_CIPHER_CTX_new(), "EVP_CIPHER_CTX_new"));
    openssl::check(EVP_CipherInit_ex(ctx.get(), cipher, nullptr, nullptr, nullptr, encrypt ? 1 : 0),
                   "GCM init");
    openssl::check(
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(nonce.size()), nullptr),
        "GCM IV");
    openssl::check(EVP_CipherInit_ex(ctx.get(), nullptr, nullptr, key.data(), nonce.data(), -1), "GCM chave");
    return ctx;
}

// EVP lengths are int; a record larger than that cannot reach here through the protocol's own limits,
// but refuse it rather than truncate.
int evpLength(std::size_t n) {
    if (n > static_cast<std::size_t>(INT32_MAX)) throw CryptoError("dados grandes demais para AES-GCM");
    return static_cast<int>(n);
}

}  // namespace

bool isUncompressedX963(ByteView key) {
    return key.size() == kX963Size && key[0] == 0x04;
}

std::string hex(ByteView data) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(data.size() * 2);
    for (const std::uint8_t b : data) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0f];
    }
    return out;
}

Bytes randomBytes(std::size_t count) {
    Bytes out(count);
    if (count == 0) return out;
    if (count > static_cast<std::size_t>(INT32_MAX) || RAND_bytes(out.data(), static_cast<int>(count)) != 1) {
        std::fputs("velmora: a fonte de números aleatórios falhou\n", stderr);
        std::abort();
    }
    return out;
}

Bytes sha256(std::initializer_list<ByteView> parts) {
    openssl::MdCtx md(openssl::checked(EVP_MD_CTX_new(), "EVP_MD_CTX_new"));
    openssl::check(EVP_DigestInit_ex(md.get(), EVP_sha256(), nullptr), "SHA-256 init");
    for (const ByteView part : parts) {
        openssl::check(EVP_DigestUpdate(md.get(), part.data(), part.size()), "SHA-256 update");
    }
    Bytes out(32);
    unsigned int size = 0;
    openssl::check(EVP_DigestFinal_ex(md.get(), out.data(), &size), "SHA-256 final");
    return out;
}

SecretBytes hkdf(ByteView ikm, ByteView salt, ByteView info, std::size_t length) {
    if (length < 1 || length > kHkdfMax)
        throw CryptoError("tamanho HKDF inválido: " + std::to_string(length));
    openssl::Kdf kdf(openssl::checked(EVP_KDF_fetch(nullptr, "HKDF", nullptr), "HKDF indisponível"));
    openssl::KdfCtx ctx(openssl::checked(EVP_KDF_CTX_new(kdf.get()), "EVP_KDF_CTX_new"));

    // OpenSSL insists on a key buffer even for empty input keying material; a one-byte dummy with length 0
    // gives HMAC the same empty key.
    static const unsigned char kEmpty[1] = {0};
    auto octets = [](const char* name, ByteView v) {
        return OSSL_PARAM_construct_octet_string(
            name, const_cast<unsigned char*>(v.empty() ? kEmpty : v.data()), v.size());
    };
    char digest[] = "SHA256";
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        octets(OSSL_KDF_PARAM_KEY, ikm),
        octets(OSSL_KDF_PARAM_SALT, salt),
        octets(OSSL_KDF_PARAM_INFO, info),
        OSSL_PARAM_construct_end(),
    };
    SecretBytes out(length);
    openssl::check(EVP_KDF_derive(ctx.get(), out.data(), out.size(), params), "HKDF");
    return out;
}

SecretBytes ecdh(const P256PrivateKey& own, ByteView peerX963) {
    const openssl::Pkey peer = publicKeyFromX963(peerX963);
    openssl::PkeyCtx ctx(
        openssl::checked(EVP_PKEY_CTX_new_from_pkey(nullptr, own.evp(), nullptr), "contexto ECDH"));
    openssl::check(EVP_PKEY_derive_init(ctx.get()), "EVP_PKEY_derive_init");
    openssl::check(EVP_PKEY_derive_set_peer(ctx.get(), peer.get()), "chave do par recusada");
    std::size_t size = kScalarSize;
    SecretBytes secret(size);
    openssl::check(EVP_PKEY_derive(ctx.get(), secret.data(), &size), "ECDH");
    if (size != kScalarSize) throw CryptoError("segredo ECDH de tamanho inesperado");
    return secret;
}

Bytes seal(ByteView key, ByteView nonce, ByteView plaintext) {
    Bytes out(plaintext.size() + kTagSize);
    sealInto(key, nonce, {plaintext}, out);
    return out;
}

void sealInto(ByteView key, ByteView nonce, std::initializer_list<ByteView> plaintext,
              std::span<std::uint8_t> out) {
    std::size_t total = 0;
    for (const ByteView part : plaintext)
        total += part.size();
    if (out.size() != total + kTagSize) throw CryptoError("saída AES-GCM de tamanho errado");
    const openssl::CipherCtx ctx = gcmContext(key, nonce, true);
    std::size_t at = 0;
    for (const ByteView part : plaintext) {
        if (part.empty()) continue;
        int n = 0;
        openssl::check(EVP_EncryptUpdate(ctx.get(), out.data() + at, &n, part.data(), evpLength(part.size())),
                       "GCM");
        at += static_cast<std::size_t>(n);
    }
    int tail = 0;
    openssl::check(EVP_EncryptFinal_ex(ctx.get(), out.data() + at, &tail), "GCM final");
    openssl::check(EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTagSize, out.data() + total),
                   "GCM tag");
}

Bytes open(ByteView key, ByteView nonce, ByteView sealed) {
    if (sealed.size() < kTagSize) throw CXPError::protocolError("registro curto");
    Bytes buffer(sealed.begin(), sealed.end());
    buffer.resize(openInPlace(key, nonce, buffer));
    return buffer;
}

std::size_t openInPlace(ByteView key, ByteView nonce, std::span<std::uint8_t> sealed) {
    if (sealed.size() < kTagSize) throw CXPError::protocolError("registro curto");
    const std::size_t cipherSize = sealed.size() - kTagSize;
    const openssl::CipherCtx ctx = gcmContext(key, nonce, false);
    int n = 0;
    if (cipherSize > 0) {
        // GCM decrypts in place when input and output are the same bytes.
        openssl::check(EVP_DecryptUpdate(ctx.get(), sealed.data(), &n, sealed.data(), evpLength(cipherSize)),
                       "GCM");
    }
    openssl::check(EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTagSize, sealed.data() + cipherSize),
                   "GCM tag");
    int tail = 0;
    if (EVP_DecryptFinal_ex(ctx.get(), sealed.data() + n, &tail) != 1) {
        ERR_clear_error();
        throw CryptoError("falha de autenticação AES-GCM");
    }
    return cipherSize;
}

bool verify(ByteView pubX963, ByteView message, ByteView rawSignature) {
    if (rawSignature.size() != 2 * kScalarSize || !isUncompressedX963(pubX963)) return false;
    try {
        const openssl::Pkey key = publicKeyFromX963(pubX963);
        openssl::Sig sig(openssl::checked(ECDSA_SIG_new(), "ECDSA_SIG_new"));
        BIGNUM* r = openssl::checked(BN_bin2bn(rawSignature.data(), kScalarSize, nullptr), "r");
        BIGNUM* s = BN_bin2bn(rawSignature.data() + kScalarSize, kScalarSize, nullptr);
        if (s == nullptr || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
            BN_free(r);
            BN_free(s);
            openssl::fail("ECDSA_SIG_set0");
        }
        unsigned char* der = nullptr;
        const int derSize = i2d_ECDSA_SIG(sig.get(), &der);
        if (derSize <= 0) openssl::fail("i2d_ECDSA_SIG");
        const std::unique_ptr<unsigned char, void (*)(void*)> derOwner(der, [](void* p) { OPENSSL_free(p); });

        openssl::MdCtx md(openssl::checked(EVP_MD_CTX_new(), "EVP_MD_CTX_new"));
        openssl::check(EVP_DigestVerifyInit(md.get(), nullptr, EVP_sha256(), nullptr, key.get()),
                       "verify init");
        const int ok = EVP_DigestVerify(md.get(), der, static_cast<std::size_t>(derSize), message.data(),
                                        message.size());
        ERR_clear_error();
        return ok == 1;
    } catch (const CryptoError&) {
        return false;
    }
}

std::string deviceId(ByteView pubX963) {
    const Bytes digest = sha256(pubX963);
    return hex(ByteView(digest).first(16));
}

}  // namespace velmora::CXPCrypto

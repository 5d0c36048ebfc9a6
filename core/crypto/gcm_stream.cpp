#include "core/crypto/gcm_stream.h"

#include <algorithm>
#include <climits>
#include <string>

namespace velmora {
namespace {

constexpr std::size_t kKeySize = 32;
constexpr std::size_t kNonceSize = 12;

}  // namespace

GcmStream::GcmStream(ByteView key, bool encrypt)
    : encrypt_(encrypt), ctx_(openssl::checked(EVP_CIPHER_CTX_new(), "EVP_CIPHER_CTX_new")) {
    if (key.size() != kKeySize)
        throw CryptoError("chave AES de tamanho inválido: " + std::to_string(key.size()));
    openssl::check(
        EVP_CipherInit_ex(ctx_.get(), EVP_aes_256_gcm(), nullptr, key.data(), nullptr, encrypt ? 1 : 0),
        "GCM chave");
}

void GcmStream::start(ByteView nonce) {
    if (nonce.size() != kNonceSize)
        throw CryptoError("nonce GCM de tamanho inválido: " + std::to_string(nonce.size()));
    // The key given once stays: only the counter block and the running hash start over.
    openssl::check(EVP_CipherInit_ex(ctx_.get(), nullptr, nullptr, nullptr, nonce.data(), -1), "GCM IV");
}

void GcmStream::update(ByteView in, std::uint8_t* out) {
    while (!in.empty()) {
        const std::size_t piece = std::min<std::size_t>(in.size(), INT_MAX / 2);
        int n = 0;
        openssl::check(EVP_CipherUpdate(ctx_.get(), out, &n, in.data(), static_cast<int>(piece)), "GCM");
        if (static_cast<std::size_t>(n) != piece) throw CryptoError("GCM: saída de tamanho inesperado");
        in = in.subspan(piece);
        out += piece;
    }
}

void GcmStream::finishSeal(std::span<std::uint8_t, kTagSize> tag) {
    if (!encrypt_) throw CryptoError("GCM: selo pedido a quem abre");
    std::uint8_t none[16];  // GCM writes nothing at the end; the call wants room all the same
    int tail = 0;
    openssl::check(EVP_EncryptFinal_ex(ctx_.get(), none, &tail), "GCM final");
    openssl::check(EVP_CIPHER_CTX_ctrl(ctx_.get(), EVP_CTRL_GCM_GET_TAG, kTagSize, tag.data()), "GCM tag");
}

void GcmStream::finishOpen(ByteView tag) {
    if (encrypt_ || tag.size() != kTagSize) throw CryptoError("GCM: tag de tamanho inválido");
    std::uint8_t copy[kTagSize];
    std::copy(tag.begin(), tag.end(), copy);
    openssl::check(EVP_CIPHER_CTX_ctrl(ctx_.get(), EVP_CTRL_GCM_SET_TAG, kTagSize, copy), "GCM tag");
    std::uint8_t none[16];
    int tail = 0;
    if (EVP_DecryptFinal_ex(ctx_.get(), none, &tail) != 1) {
        ERR_clear_error();
        throw CryptoError("falha de autenticação AES-GCM");
    }
}

}  // namespace velmora

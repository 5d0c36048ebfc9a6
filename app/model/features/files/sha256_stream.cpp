#include "app/model/features/files/sha256_stream.h"

#include <openssl/evp.h>

#include "core/crypto/cxp_crypto.h"
#include "core/errors/crypto_error.h"

namespace velmora {

void Sha256Stream::Free::operator()(evp_md_ctx_st* context) const {
    EVP_MD_CTX_free(context);
}

Sha256Stream::Sha256Stream() : context_(EVP_MD_CTX_new()) {
    if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1)
        throw CryptoError("SHA-256 indisponível");
}

Sha256Stream::~Sha256Stream() = default;

void Sha256Stream::update(ByteView data) {
    if (!data.empty() && EVP_DigestUpdate(context_.get(), data.data(), data.size()) != 1)
        throw CryptoError("falha no SHA-256");
}

std::string Sha256Stream::finishHex() {
    Bytes digest(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context_.get(), digest.data(), &length) != 1)
        throw CryptoError("falha no SHA-256");
    digest.resize(length);
    return CXPCrypto::hex(digest);
}

}  // namespace velmora

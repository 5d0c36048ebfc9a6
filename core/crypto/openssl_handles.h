#pragma once

// Owning handles for OpenSSL objects, used only inside core/crypto.

#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/param_build.h>

#include <memory>
#include <string>

#include "core/bytes.h"
#include "core/errors/crypto_error.h"

namespace velmora::openssl {

template <typename T, void (*F)(T*)>
struct Deleter {
    void operator()(T* p) const { F(p); }
};

// Wipes every value of a parameter block, then frees it: a block built with a private scalar holds a copy
// of it. (OSSL_PARAM_clear_free does this from OpenSSL 3.2 on; Debian 12 ships 3.0.)
inline void paramsClearFree(OSSL_PARAM* params) {
    if (params == nullptr) return;
    for (OSSL_PARAM* p = params; p->key != nullptr; ++p) {
        if (p->data != nullptr) OPENSSL_cleanse(p->data, p->data_size);
    }
    OSSL_PARAM_free(params);
}

using Pkey = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using PkeyCtx = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX, EVP_MD_CTX_free>>;
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, Deleter<EVP_CIPHER_CTX, EVP_CIPHER_CTX_free>>;
using Kdf = std::unique_ptr<EVP_KDF, Deleter<EVP_KDF, EVP_KDF_free>>;
using KdfCtx = std::unique_ptr<EVP_KDF_CTX, Deleter<EVP_KDF_CTX, EVP_KDF_CTX_free>>;
using Bignum = std::unique_ptr<BIGNUM, Deleter<BIGNUM, BN_clear_free>>;
using BnCtx = std::unique_ptr<BN_CTX, Deleter<BN_CTX, BN_CTX_free>>;
using Group = std::unique_ptr<EC_GROUP, Deleter<EC_GROUP, EC_GROUP_free>>;
using Point = std::unique_ptr<EC_POINT, Deleter<EC_POINT, EC_POINT_free>>;
using ParamBld = std::unique_ptr<OSSL_PARAM_BLD, Deleter<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free>>;
using Params = std::unique_ptr<OSSL_PARAM, Deleter<OSSL_PARAM, paramsClearFree>>;
using Sig = std::unique_ptr<ECDSA_SIG, Deleter<ECDSA_SIG, ECDSA_SIG_free>>;

// Throws CryptoError with `what` and the newest OpenSSL error, and clears the thread's error queue so
// that a later, unrelated failure does not report a stale reason.
[[noreturn]] inline void fail(const std::string& what) {
    const unsigned long code = ERR_peek_last_error();
    std::string text = what;
    if (code != 0) {
        char buf[256];
        ERR_error_string_n(code, buf, sizeof buf);
        text += ": ";
        text += buf;
    }
    ERR_clear_error();
    throw CryptoError(text);
}

inline void check(int ok, const char* what) {
    if (ok <= 0) fail(what);
}

template <typename T>
T* checked(T* p, const char* what) {
    if (p == nullptr) fail(what);
    return p;
}

// Imports a P-256 key from its uncompressed public point and, when `priv` is given, its private scalar.
// Decoding the point checks that it lies on the curve; throws CryptoError.
Pkey importP256(const BIGNUM* priv, ByteView x963);

}  // namespace velmora::openssl

#pragma once

#include <memory>

#include "core/bytes.h"
#include "core/crypto/secret_bytes.h"

typedef struct evp_pkey_st EVP_PKEY;

namespace velmora {

// A P-256 private key, used both for signing (the computer's identity) and for key agreement (the channel's
// ephemeral keys). Immutable after construction; safe to use from any thread.
class P256PrivateKey {
  public:
    // A fresh random key whose public point has the compact form (y is the smaller of y and p - y).
    static P256PrivateKey generate();
    // From the 32-byte big-endian private scalar. Throws CryptoError unless 0 < scalar < group order.
    static P256PrivateKey fromRaw(ByteView raw);

    // The 32-byte private scalar.
    SecretBytes raw() const;
    // The public key in X9.63 uncompressed form: 0x04, X, Y (65 bytes).
    const Bytes& publicX963() const { return publicX963_; }
    // ECDSA over SHA-256 of `message`, as the raw 64-byte r||s form. Throws CryptoError.
    Bytes sign(ByteView message) const;

    EVP_PKEY* evp() const { return key_.get(); }

  private:
    // Takes ownership of `key`.
    P256PrivateKey(EVP_PKEY* key, Bytes publicX963);

    std::shared_ptr<EVP_PKEY> key_;
    Bytes publicX963_;
};

}  // namespace velmora

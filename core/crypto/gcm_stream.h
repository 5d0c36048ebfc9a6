#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/bytes.h"
#include "core/crypto/openssl_handles.h"

namespace velmora {

// AES-256-GCM without additional data, for many messages under one key: the key schedule is made once, and
// each message is started with its 12-byte nonce, fed in pieces of any size (in place when the output is the
// input) and ended with its 16-byte tag. The bytes are those of CXPCrypto::seal over the pieces'
// concatenation. Lets the record layer seal and open records where they lie, a piece at a time.
//
// Threads: one owner at a time. Failures of the cryptographic library throw CryptoError; a message whose tag
// does not match throws CryptoError("falha de autenticação AES-GCM"), and its output must be thrown away.
class GcmStream {
  public:
    static constexpr std::size_t kTagSize = 16;

    GcmStream(ByteView key, bool encrypt);

    void start(ByteView nonce);
    // `out` receives in.size() bytes; it is in.data() itself or does not overlap it.
    void update(ByteView in, std::uint8_t* out);
    // Sealing: the tag of the message so far.
    void finishSeal(std::span<std::uint8_t, kTagSize> tag);
    // Opening: checks the message against its tag.
    void finishOpen(ByteView tag);

  private:
    const bool encrypt_;
    openssl::CipherCtx ctx_;
};

}  // namespace velmora

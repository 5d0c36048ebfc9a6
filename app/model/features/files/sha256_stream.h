#pragma once

#include <memory>
#include <string>

#include "core/bytes.h"

struct evp_md_ctx_st;

namespace velmora {

// A running SHA-256 over bytes fed in pieces, for files that are never held whole. One owner thread at a
// time. Failures of the cryptographic library throw CryptoError.
class Sha256Stream {
  public:
    Sha256Stream();
    ~Sha256Stream();
    Sha256Stream(const Sha256Stream&) = delete;
    Sha256Stream& operator=(const Sha256Stream&) = delete;

    void update(ByteView data);
    // The digest of everything fed so far, as 64 lower-case hex digits; the stream is spent afterwards.
    std::string finishHex();

  private:
    struct Free {
        void operator()(evp_md_ctx_st* context) const;
    };
    std::unique_ptr<evp_md_ctx_st, Free> context_;
};

}  // namespace velmora

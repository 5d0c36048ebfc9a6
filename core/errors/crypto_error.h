#pragma once

#include <stdexcept>
#include <string>

namespace velmora {

// A failure of the cryptographic library itself (a key it cannot parse, a nonce it refuses, a tag that does
// not verify). Deliberately not a CXPError: callers that need a protocol text wrap it themselves.
class CryptoError : public std::runtime_error {
  public:
    explicit CryptoError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace velmora

#include "core/crypto/secret_bytes.h"

#include <openssl/crypto.h>

#include <atomic>

namespace velmora {
namespace {

std::atomic<WipeObserver> observer{nullptr};

}  // namespace

void setWipeObserver(WipeObserver fn) noexcept {
    observer.store(fn);
}

void detail::wipe(void* bytes, std::size_t size) noexcept {
    if (bytes == nullptr || size == 0) return;
    OPENSSL_cleanse(bytes, size);
    if (const WipeObserver fn = observer.load()) fn(static_cast<const std::uint8_t*>(bytes), size);
}

}  // namespace velmora

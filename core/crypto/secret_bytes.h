#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace velmora {

// Called with a buffer of secret bytes right after it was wiped and before it is freed (the bytes are still
// ours to read); tests install one to prove the wipe. The application leaves it unset.
using WipeObserver = void (*)(const std::uint8_t* bytes, std::size_t size);
void setWipeObserver(WipeObserver observer) noexcept;

namespace detail {
// OPENSSL_cleanse, then the observer if one is set.
void wipe(void* bytes, std::size_t size) noexcept;
}  // namespace detail

// An allocator whose every release wipes the whole buffer first.
template <typename T>
struct WipingAllocator {
    using value_type = T;

    WipingAllocator() noexcept = default;
    template <typename U>
    WipingAllocator(const WipingAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) { return std::allocator<T>{}.allocate(n); }
    void deallocate(T* p, std::size_t n) noexcept {
        detail::wipe(p, n * sizeof(T));
        std::allocator<T>{}.deallocate(p, n);
    }
    template <typename U>
    bool operator==(const WipingAllocator<U>&) const noexcept {
        return true;
    }
};

// Key material (shared secrets, derived keys, the pairing seed, private scalars): bytes that are wiped
// whenever their storage is released, when the owner ends and when growing moves them to a new buffer.
// A copy is a second secret, wiped on its own; never copy one into plain Bytes.
using SecretBytes = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;

}  // namespace velmora

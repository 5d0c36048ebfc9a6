#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace velmora::test {

// Waits until `done` holds, for at most `seconds` (generous: a loaded machine is slow, never wrong), giving
// the processor away between looks. True when it held.
inline bool waitUntil(const std::function<bool()>& done, double seconds = 60) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

}  // namespace velmora::test

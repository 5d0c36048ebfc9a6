#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "app/model/features/feature_half.h"
#include "app/model/ports/pairing_prompt.h"
#include "core/exec/executor.h"
#include "core/identity/file_peer_store.h"
#include "core/identity/identity.h"
#include "core/transport/transport.h"

namespace velmora {

// What an attempt's thread needs for its whole life, shared with the model so that the thread never holds
// the model itself (the model is destroyed on the main thread, which joins the attempts).
struct AttemptContext {
    std::shared_ptr<Executor> main;
    std::shared_ptr<const Identity> identity;
    std::shared_ptr<FilePeerStore> store;
    std::shared_ptr<PairingPrompt> prompt;
    std::shared_ptr<FeatureHalf> features;

    // Written by the connecting thread around a pairing prompt, read by the handshake watchdog on main.
    std::atomic<bool> pairingPrompted{false};
    // When the last prompt ended, in milliseconds on the model's clock; -1 before the first.
    std::atomic<std::int64_t> pairingEndedAtMs{-1};

    std::optional<double> pairingEndedAt() const {
        const std::int64_t ms = pairingEndedAtMs.load();
        return ms < 0 ? std::nullopt : std::optional(static_cast<double>(ms) / 1000.0);
    }
};

// One attempt as its handshake watchdog sees it. `opened` and `finished` are written by the attempt's
// thread and read by the watchdog; `mutex` guards `transport`.
struct AttemptWatch {
    explicit AttemptWatch(double startedAt) : started(startedAt) {}

    const double started;
    std::atomic<bool> opened{false};
    std::atomic<bool> finished{false};
    std::mutex mutex;
    std::shared_ptr<Transport> transport;
    bool cut = false;  // the watchdog closed the attempt, perhaps before its transport existed

    // The attempt's thread hands over its transport; false when the watchdog has cut the attempt already.
    bool adopt(const std::shared_ptr<Transport>& made) {
        std::lock_guard lock(mutex);
        transport = made;
        if (cut) made->close();
        return !cut;
    }
    void close() {
        std::lock_guard lock(mutex);
        cut = true;
        if (transport) transport->close();
    }
};

}  // namespace velmora

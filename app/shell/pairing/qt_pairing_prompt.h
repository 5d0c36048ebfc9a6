#pragma once

#include <QObject>
#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <optional>

#include "app/model/ports/pairing_prompt.h"

namespace velmora {

// The model's pairing prompt in the application: the connecting thread posts the pairing dialog to the GUI
// thread and waits for the user's answer. dismissAll() answers no to the prompt showing now (closing its
// dialog) and to every later one, so that no connecting thread is left waiting when the program quits.
//
// Made on the GUI thread; confirm() from connecting threads only (never the GUI thread, which it would
// block); dismissAll() from any thread. `autoAnswer` is the developer switch VELMORA_DEV_PAIRING_ANSWER:
// the dialog still shows, and its Confirm (once usable) or Cancel is pressed for the user.
class QtPairingPrompt final : public PairingPrompt {
  public:
    explicit QtPairingPrompt(std::optional<bool> autoAnswer = std::nullopt);
    ~QtPairingPrompt() override;

    bool confirm(const Peer& peer, const std::string& code) override;
    void dismissAll() override;

  private:
    // One prompt's answer: the first of the dialog and dismissAll() to give one wins.
    struct Answer {
        std::promise<bool> promise;
        std::once_flag given;
        std::atomic<bool> done{false};
        void give(bool yes) {
            std::call_once(given, [&] {
                done.store(true);
                promise.set_value(yes);
            });
        }
    };

    QObject context_;  // lives on the GUI thread; queued calls go to it
    const std::optional<bool> autoAnswer_;
    std::mutex mutex_;  // guards dismissed_ and pending_
    bool dismissed_ = false;
    std::shared_ptr<Answer> pending_;
};

// Reads VELMORA_DEV_PAIRING_ANSWER: "yes" or "no"; anything else (or unset) leaves the answer to the user.
std::optional<bool> devPairingAnswer();

}  // namespace velmora

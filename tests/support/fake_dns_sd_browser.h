#pragma once

#include <mutex>

#include "app/model/ports/dns_sd_browser.h"

namespace velmora::test {

// The DNS-SD browser of the model stories: journals "browser.start" and "browser.stop", and lets the
// test report states and result sets as the real one does from its own thread. A report after stop() is
// dropped, as the real browser promises; `late()` keeps the handlers of the browse that is running now, to
// play a report that was already under way when the model moved on.
class FakeDnsSdBrowser final : public DnsSdBrowser {
  public:
    template <typename J>
    explicit FakeDnsSdBrowser(std::shared_ptr<J> journal)
        : note_([journal](std::string entry) { journal->add(std::move(entry)); }) {}

    void start(const std::string& type, Handlers handlers) override {
        note_("browser.start");
        std::lock_guard lock(mutex_);
        type_ = type;
        handlers_ = std::move(handlers);
    }
    void stop() override {
        note_("browser.stop");
        std::lock_guard lock(mutex_);
        handlers_.reset();
    }

    void state(State s, const std::string& error = {}) {
        const auto h = current();
        if (h) h->onState(s, error);
    }
    void results(std::vector<DnsSdService> services) {
        const auto h = current();
        if (h) h->onResults(std::move(services));
    }
    std::string type() const {
        std::lock_guard lock(mutex_);
        return type_;
    }
    // The running browse's handlers, still callable after the model stopped or replaced it.
    Handlers late() const { return current().value_or(Handlers{}); }

  private:
    std::optional<Handlers> current() const {
        std::lock_guard lock(mutex_);
        return handlers_;
    }
    std::function<void(std::string)> note_;
    mutable std::mutex mutex_;  // guards handlers_
    std::optional<Handlers> handlers_;
    std::string type_;
};

}  // namespace velmora::test

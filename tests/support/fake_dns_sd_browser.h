#pragma once

#include <mutex>

#include "app/model/ports/dns_sd_browser.h"

namespace velmora::test {

// Journals "browser.start" and "browser.stop"; the test reports as the real browser does from its thread.
// handlers() of a browse outlive its stop, to play a report that was already under way.
class FakeDnsSdBrowser final : public DnsSdBrowser {
  public:
    explicit FakeDnsSdBrowser(std::function<void(std::string)> note) : note_(std::move(note)) {}
    void start(const std::string&, Handlers handlers) override { set("browser.start", std::move(handlers)); }
    void stop() override { set("browser.stop", {}); }
    Handlers handlers() const {
        std::lock_guard lock(mutex_);
        return handlers_;
    }
    void state(State s, const std::string& error = {}) { handlers().onState(s, error); }
    void results(std::vector<DnsSdService> services) { handlers().onResults(std::move(services)); }

  private:
    void set(const std::string& call, Handlers handlers) {
        note_(call);
        std::lock_guard lock(mutex_);
        handlers_ = std::move(handlers);
    }
    std::function<void(std::string)> note_;
    mutable std::mutex mutex_;  // guards handlers_
    Handlers handlers_;
};

}  // namespace velmora::test

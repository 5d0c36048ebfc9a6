#pragma once

#include <memory>

#include "app/model/ports/dns_sd_browser.h"

namespace velmora {

// The DNS-SD browser over the Avahi daemon: IPv4 only (one entry per service and interface), each service
// resolved for its TXT record and address, the whole resolved set reported after every change. States: the
// browse running is ready; no daemon (or a daemon that went away) is waiting, and the browse goes on by
// itself when the daemon comes back; an error of the client or the browse is failed.
//
// Threads: start() and stop() from one thread (the model's main thread). Every handler runs on the Avahi
// event thread, or on the caller's thread inside start() when the client cannot even be created.
class AvahiBrowser final : public DnsSdBrowser {
  public:
    AvahiBrowser();
    ~AvahiBrowser() override;
    AvahiBrowser(const AvahiBrowser&) = delete;
    AvahiBrowser& operator=(const AvahiBrowser&) = delete;

    void start(const std::string& type, Handlers handlers) override;
    void stop() override;

    struct Browse;  // one running browse: its poll, client, browser and services (avahi_browser.cpp)

  private:
    std::unique_ptr<Browse> browse_;
};

}  // namespace velmora

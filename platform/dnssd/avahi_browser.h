#pragma once

#include <memory>

#include "app/model/ports/dns_sd_browser.h"

namespace velmora {

// The DNS-SD browser over the Avahi daemon: IPv4 only (one entry per service and interface), each service
// resolved for its TXT record and address, the whole resolved set reported after every change. States: the
// browse running is ready; no daemon yet is waiting, and the browse begins by itself once the daemon is
// there; an error of the client or the browse, also the daemon going away, is failed, with an empty list
// reported first (a new start makes a new client).
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

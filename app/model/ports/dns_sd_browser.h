#pragma once

#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/discovery/discovered_phone.h"

namespace velmora {

// One service of type "_corvix._tcp" as the browser found it, before any check.
struct DnsSdService {
    std::string serviceName;
    std::map<std::string, std::string> txt;  // "id", "name", "ip", "pair" as announced
    std::optional<TcpEndpoint> endpoint;     // the resolved address, once known
};

// Browses the local network for phones. Every handler may be called on any thread; the model hops to its
// main executor and drops what a stopped browser still reports.
class DnsSdBrowser {
  public:
    struct Handlers {
        std::function<void()> onReady;                             // the browse is running
        std::function<void(std::vector<DnsSdService>)> onResults;  // the whole current list
        std::function<void(std::exception_ptr error)> onFailure;   // the browse ended
    };

    virtual ~DnsSdBrowser() = default;
    virtual void start(Handlers handlers) = 0;
    // No handler runs once stop() has returned.
    virtual void stop() = 0;
};

}  // namespace velmora

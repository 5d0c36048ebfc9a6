#pragma once

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

    bool operator==(const DnsSdService&) const = default;
};

// Browses the local network for phones. Every handler may be called on any thread (never two at once);
// the model hops to its main executor and drops what a stopped browser still reports.
class DnsSdBrowser {
  public:
    enum class State {
        ready,    // the browse is running
        waiting,  // it cannot run yet (no daemon); it goes on by itself once it can
        failed,   // the browse ended; only a new start browses again
    };
    struct Handlers {
        std::function<void(State state, const std::string& error)> onState;  // error: empty when ready
        std::function<void(std::vector<DnsSdService>)> onResults;            // the whole current list
    };

    virtual ~DnsSdBrowser() = default;
    // Browses for `type` (for example "_corvix._tcp") in the default domain. A running browse is stopped
    // first.
    virtual void start(const std::string& type, Handlers handlers) = 0;
    // No handler runs once stop() has returned. Never called from inside a handler.
    virtual void stop() = 0;
};

}  // namespace velmora

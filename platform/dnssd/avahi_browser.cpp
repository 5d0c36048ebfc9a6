#include "platform/dnssd/avahi_browser.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>

#include <map>
#include <tuple>

namespace velmora {

namespace {

// One service as the browser names it: the same name on two interfaces is two services.
using ServiceKey = std::tuple<AvahiIfIndex, AvahiProtocol, std::string, std::string, std::string>;

struct Service {
    AvahiServiceResolver* resolver = nullptr;  // freed with the service
    std::optional<DnsSdService> resolved;      // listed once resolved
};

std::string clientError(AvahiClient* client) {
    return std::string("Avahi: ") + avahi_strerror(avahi_client_errno(client));
}

// "key=value" entries; an entry without "=" is a key with an empty value, a repeated key keeps its first.
std::map<std::string, std::string> txtOf(AvahiStringList* list) {
    std::map<std::string, std::string> txt;
    for (AvahiStringList* item = list; item; item = avahi_string_list_get_next(item)) {
        char* key = nullptr;
        char* value = nullptr;
        if (avahi_string_list_get_pair(item, &key, &value, nullptr) != 0) continue;
        txt.emplace(key, value ? value : "");
        avahi_free(key);
        avahi_free(value);
    }
    return txt;
}

}  // namespace

// Everything below runs on the poll thread once it started, and stop() touches it only after joining that
// thread, so nothing here needs a lock.
struct AvahiBrowser::Browse {
    std::string type;
    Handlers handlers;
    AvahiThreadedPoll* poll = nullptr;
    AvahiClient* client = nullptr;
    AvahiServiceBrowser* browser = nullptr;
    std::map<ServiceKey, Service> services;

    ~Browse() {
        if (poll) avahi_threaded_poll_stop(poll);  // joins the thread
        forgetServices();
        if (browser) avahi_service_browser_free(browser);
        if (client) avahi_client_free(client);
        if (poll) avahi_threaded_poll_free(poll);
    }

    void forgetServices() {
        for (auto& [key, service] : services)
            if (service.resolver) avahi_service_resolver_free(service.resolver);
        services.clear();
    }

    void publish() {
        std::vector<DnsSdService> list;
        for (const auto& [key, service] : services)
            if (service.resolved) list.push_back(*service.resolved);
        handlers.onResults(std::move(list));
    }

    void clientChanged(AvahiClient* c, AvahiClientState clientState) {
        switch (clientState) {
            case AVAHI_CLIENT_S_RUNNING:
            case AVAHI_CLIENT_S_REGISTERING:
            case AVAHI_CLIENT_S_COLLISION:
                if (!browser) startBrowser(c);
                break;
            case AVAHI_CLIENT_CONNECTING:  // no daemon yet: the client waits for it (AVAHI_CLIENT_NO_FAIL)
                handlers.onState(State::waiting, "Avahi: o serviço avahi-daemon não está em execução");
                break;
            case AVAHI_CLIENT_FAILURE:
                // Also when the daemon went away (AVAHI_ERR_DISCONNECTED): this client is done, and what the
                // old daemon reported is gone with it; a new start makes a new client.
                if (browser) dropBrowser();
                handlers.onState(State::failed, clientError(c));
                break;
        }
    }

    void dropBrowser() {
        forgetServices();
        if (browser) avahi_service_browser_free(browser);
        browser = nullptr;
        publish();
    }

    void startBrowser(AvahiClient* c) {
        browser = avahi_service_browser_new(c, AVAHI_IF_UNSPEC, AVAHI_PROTO_INET, type.c_str(), nullptr,
                                            AvahiLookupFlags{}, &Browse::onBrowse, this);
        if (!browser) {
            handlers.onState(State::failed, clientError(c));
            return;
        }
        handlers.onState(State::ready, {});
    }

    void browsed(AvahiServiceBrowser* b, AvahiIfIndex interface, AvahiProtocol protocol,
                 AvahiBrowserEvent event, const char* name, const char* serviceType, const char* domain) {
        switch (event) {
            case AVAHI_BROWSER_NEW: {
                ServiceKey key{interface, protocol, name, serviceType, domain};
                if (services.contains(key)) return;
                // The resolver keeps running and reports again when the TXT record or address changes.
                Service& service = services[key];
                service.resolver = avahi_service_resolver_new(
                    avahi_service_browser_get_client(b), interface, protocol, name, serviceType, domain,
                    AVAHI_PROTO_INET, AvahiLookupFlags{}, &Browse::onResolve, this);
                break;
            }
            case AVAHI_BROWSER_REMOVE: {
                const auto it = services.find(ServiceKey{interface, protocol, name, serviceType, domain});
                if (it == services.end()) return;
                if (it->second.resolver) avahi_service_resolver_free(it->second.resolver);
                const bool listed = it->second.resolved.has_value();
                services.erase(it);
                if (listed) publish();
                break;
            }
            case AVAHI_BROWSER_FAILURE:
                handlers.onState(State::failed, clientError(avahi_service_browser_get_client(b)));
                break;
            case AVAHI_BROWSER_ALL_FOR_NOW:
            case AVAHI_BROWSER_CACHE_EXHAUSTED:
                break;
        }
    }

    void resolved(AvahiServiceResolver* r, AvahiIfIndex interface, AvahiProtocol protocol,
                  AvahiResolverEvent event, const char* name, const char* serviceType, const char* domain,
                  const AvahiAddress* address, std::uint16_t port, AvahiStringList* txt) {
        const auto it = services.find(ServiceKey{interface, protocol, name, serviceType, domain});
        if (it == services.end() || it->second.resolver != r) return;
        std::optional<DnsSdService> now;
        if (event == AVAHI_RESOLVER_FOUND) {
            char text[AVAHI_ADDRESS_STR_MAX] = {};
            DnsSdService service{name, txtOf(txt), std::nullopt};
            if (address && address->proto == AVAHI_PROTO_INET &&
                avahi_address_snprint(text, sizeof text, address))
                service.endpoint = TcpEndpoint{text, port};
            now = std::move(service);
        }
        // A failed resolve (timeout) leaves the service out until it resolves again.
        if (now == it->second.resolved) return;
        it->second.resolved = std::move(now);
        publish();
    }

    static void onClient(AvahiClient* c, AvahiClientState clientState, void* self) {
        static_cast<Browse*>(self)->clientChanged(c, clientState);
    }
    static void onBrowse(AvahiServiceBrowser* b, AvahiIfIndex interface, AvahiProtocol protocol,
                         AvahiBrowserEvent event, const char* name, const char* serviceType,
                         const char* domain, AvahiLookupResultFlags, void* self) {
        static_cast<Browse*>(self)->browsed(b, interface, protocol, event, name, serviceType, domain);
    }
    static void onResolve(AvahiServiceResolver* r, AvahiIfIndex interface, AvahiProtocol protocol,
                          AvahiResolverEvent event, const char* name, const char* serviceType,
                          const char* domain, const char*, const AvahiAddress* address, std::uint16_t port,
                          AvahiStringList* txt, AvahiLookupResultFlags, void* self) {
        static_cast<Browse*>(self)->resolved(r, interface, protocol, event, name, serviceType, domain,
                                             address, port, txt);
    }
};

AvahiBrowser::AvahiBrowser() = default;

AvahiBrowser::~AvahiBrowser() {
    stop();
}

void AvahiBrowser::start(const std::string& type, Handlers handlers) {
    stop();
    auto browse = std::make_unique<Browse>();
    browse->type = type;
    browse->handlers = std::move(handlers);
    browse->poll = avahi_threaded_poll_new();
    if (!browse->poll) {
        browse->handlers.onState(State::failed, "Avahi: sem memória para o laço de eventos");
        return;
    }
    int error = 0;
    // Created before the thread runs, so its first callbacks (inside avahi_client_new) race with nothing.
    browse->client = avahi_client_new(avahi_threaded_poll_get(browse->poll), AVAHI_CLIENT_NO_FAIL,
                                      &Browse::onClient, browse.get(), &error);
    if (!browse->client) {
        browse->handlers.onState(State::failed, std::string("Avahi: ") + avahi_strerror(error));
        return;
    }
    if (avahi_threaded_poll_start(browse->poll) < 0) {
        browse->handlers.onState(State::failed, "Avahi: o laço de eventos não começou");
        return;
    }
    browse_ = std::move(browse);
}

void AvahiBrowser::stop() {
    browse_.reset();
}

}  // namespace velmora

// Browsing the local network for the phones' service: its life with the Wi-Fi kind, its results as
// `phones`, and its states. Every report carries the generation its browse was started with and is dropped
// on main when the generation has moved on, so a stopped or replaced browse never republishes.
#include <stdexcept>

#include "app/model/app_model.h"
#include "core/discovery/discovery.h"
#include "core/discovery/pairing_beacon.h"
#include "core/errors/friendly_errors.h"
#include "core/log/velmora_log.h"

namespace velmora {

namespace {

constexpr const char* kServiceType = "_corvix._tcp";
constexpr double kBrowseRestartDelay = 3.0;

std::optional<std::string_view> txtValue(const DnsSdService& service, const std::string& key) {
    const auto it = service.txt.find(key);
    if (it == service.txt.end()) return std::nullopt;
    return std::string_view(it->second);
}

}  // namespace

void AppModel::startBrowsing() {
    if (!live_ || shutDown_) return;
    const std::uint64_t generation = browserGeneration_.load() + 1;
    browserGeneration_.store(generation);
    browsing_ = true;
    const std::weak_ptr<AppModel> weak = weak_from_this();
    const auto onMain = [weak, main = ports_.main](std::function<void(AppModel&)> work) {
        main->post([weak, work = std::move(work)] {
            const auto model = weak.lock();
            if (model && !model->shutDown_) work(*model);
        });
    };
    ports_.browser->start(
        kServiceType,
        {[onMain, generation](DnsSdBrowser::State browserState, const std::string& error) {
             onMain([=](AppModel& model) { model.browseState(generation, browserState, error); });
         },
         [onMain, generation](std::vector<DnsSdService> services) {
             onMain([generation, services = std::move(services)](AppModel& model) {
                 model.browseResults(generation, services);
             });
         }});
}

void AppModel::restartBrowsing() {
    if (!live_ || shutDown_ || !enabled(ConnKind::wifi)) return;
    if (browsing_) ports_.browser->stop();
    browsing_ = false;
    if (!state_.phones.empty()) edit().phones.clear();
    startBrowsing();
}

void AppModel::stopBrowsing() {
    browserGeneration_.store(browserGeneration_.load() + 1);
    browseRestart_.cancel();
    if (browsing_) ports_.browser->stop();
    browsing_ = false;
    if (!state_.phones.empty()) edit().phones.clear();
    if (state_.browserReady) edit().browserReady = false;
}

// The whole result set replaces `phones`, in the browser's order; a service without a valid id is no
// phone, a bad address is dropped from the phone only.
void AppModel::browseResults(std::uint64_t generation, const std::vector<DnsSdService>& services) {
    if (generation != browserGeneration_.load()) return;
    std::vector<DiscoveredPhone> found;
    for (const DnsSdService& service : services) {
        const auto ip = txtValue(service, "ip");
        const auto checked =
            Discovery::validate(txtValue(service, "id"), txtValue(service, "name"), ip, service.serviceName);
        if (const auto* rejection = std::get_if<Discovery::Rejection>(&checked)) {
            const std::string reason(Discovery::rawValue(*rejection));
            if (discoveryLog_.shouldLog(reason)) VelmoraLog::write("anúncio DNS-SD descartado: " + reason);
            continue;
        }
        const auto& entry = std::get<Discovery::Entry>(checked);
        if (ip && !entry.ip && discoveryLog_.shouldLog("ip"))
            VelmoraLog::write(
                "anúncio DNS-SD com endereço IP inválido: ignorei o endereço (o serviço ainda vale)");
        DiscoveredPhone phone;
        phone.id = entry.id;
        phone.name = entry.name;
        phone.endpoint = service.endpoint;
        phone.ip = entry.ip;
        phone.pairFlag = PairingBeacon::parseTxt(txtValue(service, std::string(PairingBeacon::txtKey)));
        phone.epKey = entry.endpointKey;
        found.push_back(std::move(phone));
    }
    if (state_.phones != found) edit().phones = std::move(found);
    logPairFlags();
    maybeAutoConnect();
}

void AppModel::browseState(std::uint64_t generation, DnsSdBrowser::State browserState,
                           const std::string& error) {
    if (generation != browserGeneration_.load()) return;
    switch (browserState) {
        case DnsSdBrowser::State::ready:
            if (state_.localNetworkDenied) edit().localNetworkDenied = false;
            if (!state_.browserReady) edit().browserReady = true;
            // The browse's own failure text goes once browsing works again; any other error stays.
            if (browseError_ && state_.lastError == browseError_) edit().lastError.reset();
            browseError_.reset();
            if (browseFailures_ > 0) {
                VelmoraLog::write("busca DNS-SD funcionando de novo após " + std::to_string(browseFailures_) +
                                  (browseFailures_ == 1 ? " falha" : " falhas"));
                browseFailures_ = 0;
            }
            break;
        case DnsSdBrowser::State::waiting: {
            const bool denied =
                error.find("PolicyDenied") != std::string::npos || error.find("-65570") != std::string::npos;
            if (state_.localNetworkDenied != denied) edit().localNetworkDenied = denied;
            break;
        }
        case DnsSdBrowser::State::failed:
            // Where no DNS-SD daemon runs the browse fails every 3 s for good: its text is shown only while
            // nothing connects or stands, and the streak is logged once (a line every 3 s would fill the log
            // and push out of the diagnostics' tail everything else), its end once more.
            {
                // Another failure's text (an attempt's, the phone's) is not covered by this one.
                const bool ours = !state_.lastError || state_.lastError == browseError_;
                browseError_ = FriendlyErrors::browseFailure(std::runtime_error(error));
                if (ours && state_.state.kind() == ConnState::Kind::idle && state_.lastError != browseError_)
                    edit().lastError = browseError_;
            }
            if (browseFailures_++ == 0)
                VelmoraLog::write("busca DNS-SD falhou (" + error + "); tentando de novo a cada 3 s");
            browseRestart_.cancel();
            browseRestart_ = after(kBrowseRestartDelay, [generation](AppModel& model) {
                if (model.browserGeneration_.load() == generation) model.restartBrowsing();
            });
            break;
    }
}

}  // namespace velmora

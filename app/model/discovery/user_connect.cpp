// What the user asks for from the panel: a phone picked in the list, a typed address, and "try again".
// Each switches automatic connection back on and forgets every booked failure first, so nothing the
// planner cooled down stands in the way; only these connections may start a pairing.
#include "app/model/app_model.h"
#include "app/model/discovery/manual_address.h"
#include "core/discovery/candidate_key.h"

namespace velmora {

namespace {

constexpr std::string_view kUsbPrefix = "usb:";
constexpr double kUserConnectTimeout = 10.0;
constexpr double kRetryPlanDelay = 1.5;  // the restarted browse has had time to report

}  // namespace

void AppModel::connectTo(const DiscoveredPhone& phone) {
    autoConnect_ = true;
    failures_.removeAll();
    const auto transports = ports_.transports;
    ConnectRequest request{phone.name,   {},   std::nullopt,        "tcp",
                           std::nullopt, true, kUserConnectTimeout, nullptr};
    if (phone.bleID) {
        request.key = CandidateKey::ble(*phone.bleID).text();
        request.kind = "ble";
        if (phone.devicePrefix && !phone.devicePrefix->empty()) request.expected = phone.devicePrefix;
        request.make = [transports, id = *phone.bleID] { return transports->ble(id); };
    } else {
        const auto endpoint = netEndpoint(phone);
        if (!endpoint) return;
        request.make = [transports, endpoint = *endpoint] { return makeNW(*transports, endpoint); };
        if (phone.id.starts_with(kUsbPrefix)) {
            // Keyed as the cable it is, so the live link counts as USB (title, idle descent, switching the
            // cable kind off).
            request.usbSerial = phone.id.substr(kUsbPrefix.size());
            request.key = CandidateKey::usb(*request.usbSerial).text();
        } else {
            request.key = CandidateKey::net(phone.id, phone.epKey).text();
            request.expected = phone.id;
        }
    }
    connect(std::move(request));
}

void AppModel::connectManual(const std::string& text) {
    const auto endpoint = parseManualAddress(text, phonePort);
    if (!endpoint) return;
    autoConnect_ = true;
    failures_.removeAll();
    const auto transports = ports_.transports;
    connect({endpoint->host, CandidateKey::manual(endpoint->host).text(), std::nullopt, "tcp", std::nullopt,
             true, kUserConnectTimeout,
             [transports, endpoint = *endpoint] { return makeNW(*transports, endpoint); }});
}

void AppModel::retryNow() {
    if (state_.lastError) edit().lastError.reset();
    autoConnect_ = true;
    failures_.removeAll();
    restartBrowsing();
    retryWork_.cancel();
    retryWork_ = after(kRetryPlanDelay, [](AppModel& model) { model.maybeAutoConnect(); });
}

// Where a phone on the local network is reached: its advertised address on the phone's fixed port, else
// its own endpoint (a resolved service, or a cable phone's forward).
std::optional<TcpEndpoint> AppModel::netEndpoint(const DiscoveredPhone& phone) {
    if (phone.ip) return TcpEndpoint{*phone.ip, phonePort};
    return phone.endpoint;
}

}  // namespace velmora

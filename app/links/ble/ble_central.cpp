#include "app/links/ble/ble_central.h"

#include <algorithm>
#include <utility>

#include "core/discovery/pairing_beacon.h"
#include "core/errors/cxp_error.h"
#include "core/errors/developer_text.h"
#include "core/log/velmora_log.h"

namespace velmora {

BleCentral::BleCentral(BleRadio& radio, std::shared_ptr<Executor> queue, Executor& main,
                       BleLink::SyncRunner sync)
    : radio_(radio), queue_(std::move(queue)), main_(main), sync_(std::move(sync)) {}

BleCentral::~BleCentral() {
    pruner_.cancel();
    rescan_.cancel();
}

void BleCentral::setOnPhones(PhonesHandler handler) {
    std::lock_guard lock(handlers_->mutex);
    handlers_->onPhones = std::move(handler);
}

void BleCentral::setOnState(StateHandler handler) {
    std::lock_guard lock(handlers_->mutex);
    handlers_->onState = std::move(handler);
}

void BleCentral::start() {
    queue_->post([this] {
        if (started_) return startScan();
        started_ = true;
        schedulePrune();
        onStateReport();  // the radio's first report, as a freshly made central gets one
    });
}

void BleCentral::schedulePrune() {
    pruner_ = queue_->postAfter(pruneInterval, [this] {
        prune();
        schedulePrune();
    });
}

void BleCentral::pause() {
    queue_->post([this] {
        if (!scanning_) return;
        radio_.stopScan();
        scanning_ = false;
        forgetSightings();
    });
}

void BleCentral::radioStateChanged() {
    queue_->post([this] {
        if (started_) onStateReport();
    });
}

void BleCentral::onStateReport() {
    const RadioState state = radio_.state();
    main_.post([handlers = handlers_, state] {
        StateHandler handler;
        {
            std::lock_guard lock(handlers->mutex);
            handler = handlers->onState;
        }
        if (handler) handler(state);
    });
    if (state == RadioState::poweredOn) return startScan();
    scanning_ = false;
    forgetSightings();  // links stay: their own connection reports end them
}

void BleCentral::startScan() {
    if (!started_ || radio_.state() != RadioState::poweredOn || scanning_) return;
    scanning_ = true;
    radio_.startScan();
}

void BleCentral::restartScan() {
    if (!started_ || radio_.state() != RadioState::poweredOn || !scanning_) return;
    radio_.stopScan();
    radio_.startScan();
}

void BleCentral::radioScanStopped(std::exception_ptr error) {
    queue_->post([this, error] {
        if (!scanning_) return;  // a stop the central asked for, or the radio went off
        VelmoraLog::write(error ? "Bluetooth: a busca parou sozinha: " + developerText(error)
                                : "Bluetooth: a busca parou sozinha");
        scanning_ = false;
        rescan_.cancel();
        rescan_ = queue_->postAfter(rescanDelay, [this] { startScan(); });
    });
}

void BleCentral::forgetSightings() {
    seen_.clear();
    publish();
}

void BleCentral::radioAdvertisement(const BleId& id, std::optional<Bytes> serviceData) {
    queue_->post([this, id, data = std::move(serviceData)] {
        const auto beacon = data ? PairingBeacon::parseBle(*data) : std::nullopt;
        const double now = queue_->now();
        Seen next{std::nullopt, std::nullopt, now, now};
        if (const auto old = seen_.find(id); old != seen_.end()) {
            next.prefix = old->second.prefix;
            next.pairing = old->second.pairing;
            next.first = old->second.first;
        }
        if (beacon) {
            next.prefix = beacon->idHex;
            next.pairing = beacon->pairing;
        }
        seen_[id] = next;
        publish();
    });
}

void BleCentral::prune() {
    const double now = queue_->now();
    const std::size_t before = seen_.size();
    std::erase_if(seen_, [&](const auto& entry) {
        return now - entry.second.at >= staleAfter && !links_.contains(entry.first);
    });
    freshness_.prune(now);
    if (seen_.size() != before) publish();
}

void BleCentral::publish() {
    const double now = queue_->now();
    std::vector<std::pair<BleId, Seen>> order(seen_.begin(), seen_.end());
    // Latest first-seen first, so a phone's main sighting is its newest address; ties by address.
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        return a.second.first != b.second.first ? a.second.first > b.second.first : a.first < b.first;
    });
    std::vector<BleScannedPhone> phones;
    std::map<std::string, std::size_t> byPrefix;
    for (const auto& [id, seen] : order) {
        if (!links_.contains(id) && !freshness_.isUsable(id, seen.at, now)) continue;
        if (seen.prefix) {
            if (const auto at = byPrefix.find(*seen.prefix); at != byPrefix.end()) {
                auto& alternates = phones[at->second].alternates;
                if (alternates.size() < maxAlternates) alternates.push_back(id);
                continue;
            }
            byPrefix[*seen.prefix] = phones.size();
        }
        phones.push_back({id, seen.prefix, seen.pairing, {}});
    }
    std::sort(phones.begin(), phones.end(),
              [](const BleScannedPhone& a, const BleScannedPhone& b) { return a.id < b.id; });
    if (phones == lastPublished_) return;
    lastPublished_ = phones;
    main_.post([handlers = handlers_, phones = std::move(phones)] {
        PhonesHandler handler;
        {
            std::lock_guard lock(handlers->mutex);
            handler = handlers->onPhones;
        }
        if (handler) handler(phones);
    });
}

void BleCentral::open(const BleId& id, std::shared_ptr<BleLink> link) {
    queue_->post([this, id, link = std::move(link)] {
        if (!started_ || radio_.state() != RadioState::poweredOn) {
            return link->fail(
                std::make_exception_ptr(CXPError::protocolError("Bluetooth desligado ou sem permissão")));
        }
        auto peripheral = radio_.peripheral(id);
        if (!peripheral) {
            return link->fail(
                std::make_exception_ptr(CXPError::protocolError("celular não encontrado por Bluetooth")));
        }
        BleLink::SyncRunner sync = sync_ ? sync_ : [](const Executor::Task& task) { task(); };
        link->attach(peripheral, *queue_, std::move(sync));
        links_[id] = link;
        peripheral->connect();
    });
}

void BleCentral::radioConnected(const BleId& id) {
    queue_->post([this, id] {
        VelmoraLog::write("Bluetooth: conectado ao celular; descobrindo serviço");
        const auto it = links_.find(id);
        if (it == links_.end()) return;
        if (auto peripheral = it->second->peripheral()) peripheral->discoverServices();
    });
}

void BleCentral::radioFailedToConnect(const BleId& id, std::exception_ptr error) {
    queue_->post([this, id, error] {
        VelmoraLog::write("Bluetooth: falha ao conectar: " + developerText(error));
        if (const auto it = links_.find(id); it != links_.end()) {
            it->second->fail(error ? error : std::make_exception_ptr(CXPError::closed()));
        }
        dropLink(id);
    });
}

void BleCentral::radioDisconnected(const BleId& id, std::exception_ptr error) {
    queue_->post([this, id, error] {
        VelmoraLog::write(error ? "Bluetooth: desconectado: " + developerText(error)
                                : "Bluetooth: desconectado");
        if (const auto it = links_.find(id); it != links_.end()) it->second->disconnected(error);
        dropLink(id);
    });
}

void BleCentral::cancel(const BleId& id) {
    queue_->post([this, id] {
        if (const auto it = links_.find(id); it != links_.end()) {
            // Through the link's own peripheral: a link opened on an address the stack remembered, or whose
            // sighting a pause or power-off has forgotten, must not stay connected after its transport gave
            // up.
            if (auto peripheral = it->second->peripheral()) peripheral->cancelConnection();
            it->second->disconnected(nullptr);
        }
        dropLink(id);
    });
}

void BleCentral::dropLink(const BleId& id) {
    links_.erase(id);
    freshness_.noteDisconnect(id, queue_->now());
    restartScan();
    publish();
}

}  // namespace velmora

// A second session opened beside the live one, on a worker of its own, and the swap that puts it in place:
// what link upgrades and the idle descent share.
#include "app/model/app_model.h"
#include "app/model/connection/session_reports.h"
#include "core/errors/cxp_error.h"

namespace velmora {

AppModel::BesideSession AppModel::openBeside(AttemptContext& context, AttemptWorkers& workers,
                                             const TransportFactory& transports,
                                             const std::shared_ptr<ConnectableTransport>& transport,
                                             double connectTimeout, double guardSeconds,
                                             const std::string& expected, const std::string& kind) {
    if (!transport) throw CXPError::closed();                 // no link of this kind on this computer
    if (!workers.track(transport)) throw CXPError::closed();  // shutting down
    // The guard bounds connecting and the whole handshake; it only ever closes its own transport.
    const TimerHandle guard =
        context.main->postAfter(guardSeconds, [weak = std::weak_ptr<ConnectableTransport>(transport)] {
            if (const auto cut = weak.lock()) cut->close();
        });
    try {
        transport->connect(connectTimeout);
        const std::string label = transports.label(*transport, kind);
        auto session = openSession(context, transport, false, expected, label);
        guard.cancel();
        return {std::move(session), {}, label, transport};
    } catch (...) {
        guard.cancel();
        transport->close();
        workers.untrack(transport.get());
        throw;
    }
}

void AppModel::runBeside(std::weak_ptr<AppModel> model, const std::shared_ptr<AttemptContext>& context,
                         AttemptWorkers& workers, const BesideSession& opened) {
    SessionReports reports(std::move(model), context, opened.session);
    opened.session->run(reports);
    opened.transport->close();
    workers.untrack(opened.transport.get());
}

void AppModel::swapIn(const std::shared_ptr<LinkSession>& fresh,
                      const std::shared_ptr<LinkSession>& replaced) {
    switchingLink_ = true;
    setSession(fresh, state_.linkKind);  // the caller set the new link kind already
    startHeartbeat();
    pushNotifFilter();
    send({{"t", "apps.get"}});
    send({{"t", "status.get"}});
    // Its close report finds another session live: the quiet road, no loss.
    replaced->close();
}

void AppModel::linkAfter(double seconds, std::function<void(AppModel&)> work) {
    std::erase_if(linkTimers_, [](const TimerHandle& timer) { return timer.isCancelled(); });
    // A task marks its own handle once it has run, so the list only keeps what is pending.
    auto self = std::make_shared<TimerHandle>();
    *self = after(seconds, [self, work = std::move(work)](AppModel& model) {
        self->cancel();
        work(model);
    });
    linkTimers_.push_back(*self);
}

bool AppModel::fastLinkAvailable() const {
    if (state_.linkKind != "ble") return false;
    if (!state_.usbPhones.empty()) return true;
    return std::ranges::any_of(state_.phones, [&](const DiscoveredPhone& phone) {
        return context_->store->find(phone.id).has_value();
    });
}

}  // namespace velmora

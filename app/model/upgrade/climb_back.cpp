// Leaving the rest on Bluetooth: the phone's status, the user's work that needs the fast link, and the
// climb back through the upgrade search.
#include "app/model/app_model.h"
#include "app/model/connection/session_swap.h"
#include "core/log/velmora_log.h"

namespace velmora {

void AppModel::wakeFromIdle(const std::string& reason) {
    if (!state_.idleDescended) return;
    VelmoraLog::write("modo ocioso: " + reason + "; subindo para o caminho rápido");
    edit().idleDescended = false;
    upgradeCooldown_.clear();
    // Without a faster link in reach the session stays on Bluetooth, unmarked; the heartbeat keeps looking.
    considerUpgrade();
}

void AppModel::afterWake(std::function<void()> work, std::function<void()> dropped) {
    if (!state_.idleDescended) {
        work();
        return;
    }
    wakeWaiters_.push_back({std::move(work), std::move(dropped)});
    wakeFromIdle("pedido do usuário");
    if (upgrading_) {
        // The upgrade's finish runs the work as soon as it ends; this only bounds the wait.
        linkAfter(SessionSwap::wakeWaitSeconds, [](AppModel& model) { model.flushWake(); });
    } else {
        flushWake();  // no faster link: the work runs over Bluetooth
    }
}

void AppModel::flushWake() {
    std::vector<WakeWaiter> waiting;
    waiting.swap(wakeWaiters_);
    for (auto& waiter : waiting)
        waiter.work();
}

// What waited for a link that is gone does not run on the next one; it only undoes what it showed.
void AppModel::dropWakeWaiters() {
    std::vector<WakeWaiter> waiting;
    waiting.swap(wakeWaiters_);
    for (auto& waiter : waiting)
        if (waiter.dropped) waiter.dropped();
}

// The screen's off time counts from the first report of a screen that is off.
void AppModel::applyPhoneStatus(std::optional<bool> screen, bool fast, std::optional<bool> locks) {
    phoneScreenOn_ = screen;
    if (screen != false)
        phoneScreenOffSince_.reset();
    else if (!phoneScreenOffSince_)
        phoneScreenOffSince_ = now();
    phoneFast_ = fast;
    phoneLocks_ = locks;
    if (screen == true)
        wakeFromIdle("a tela do celular acendeu");
    else if (fast)
        wakeFromIdle("o celular começou uma atividade rápida");
    evaluateIdle();
}

}  // namespace velmora

// After the computer slept: fresh searches, no memory of failures, and a new plan a moment later. A live
// session is left alone; if it did not survive the sleep, the heartbeat finds out.
#include "app/model/app_model.h"
#include "core/log/velmora_log.h"

namespace velmora {

namespace {

constexpr double kCentralRestartDelay = 0.5;
constexpr double kReplanDelay = 3.0;

}  // namespace

void AppModel::handleWake() {
    if (!live_) return;
    VelmoraLog::write("computador acordou: reiniciando buscas e candidatos");
    failures_.removeAll();
    upgradeCooldown_.clear();
    if (enabled(ConnKind::wifi)) {
        stopBrowsing();
        startBrowsing();
    }
    if (enabled(ConnKind::ble)) {
        ports_.bluetooth->pause();
        linkAfter(kCentralRestartDelay, [](AppModel& model) { model.ports_.bluetooth->start(); });
    }
    refreshGateway();
    linkAfter(kReplanDelay, [](AppModel& model) { model.maybeAutoConnect(); });
}

}  // namespace velmora

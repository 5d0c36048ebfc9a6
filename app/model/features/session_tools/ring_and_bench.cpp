// Ring and the link speed test: the panel's two small operations on the live session.
#include "app/model/app_model.h"
#include "core/l10n/l10n.h"

namespace velmora {

// `ringing` is the toggle as last sent; nothing from the phone changes it.
void AppModel::toggleRing() {
    const bool on = !state_.ringing;
    edit().ringing = on;
    send({{"t", "ring"}, {"on", on}});
}

void AppModel::runBench() {
    if (!session_) return;
    const auto run = speedTest_.begin(now());
    if (!run) return;
    const bool bluetooth = state_.linkKind == "ble";
    edit().benchText = L10n::string("prefs.bench.running");
    send({{"t", "bench.start"}, {"bytes", bluetooth ? SpeedTest::bleBytes : SpeedTest::otherBytes}});
    benchTimeout_ = after(SpeedTest::timeout, [run = *run](AppModel& model) { model.benchTimedOut(run); });
}

// Ends only the run it was set for: a later run keeps its own 40 s.
void AppModel::benchTimedOut(std::uint64_t run) {
    if (speedTest_.expire(run)) edit().benchText = L10n::string("prefs.bench.unfinished");
}

}  // namespace velmora

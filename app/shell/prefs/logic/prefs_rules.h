#pragma once

#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "app/model/connection/link_prefs.h"
#include "app/model/features/phone_app.h"
#include "app/shell/prefs/logic/notif_list.h"

namespace velmora::prefs {

// The two counts of the preferences' summary line: connection kinds switched on, apps whose notifications
// are shown.
struct SummaryCounts {
    int enabledKinds = 0;
    int appsOn = 0;
    bool operator==(const SummaryCounts&) const = default;
};
SummaryCounts summaryCounts(const std::vector<LinkPref>& prefs, const std::vector<PhoneApp>& apps,
                            const NotifFilter& filter);

// Whether the switch of the entry at `index` is locked on: it is the only kind switched on, and the planner
// needs at least one. A kind that is off can always be switched on.
bool keepOneHolds(const std::vector<LinkPref>& prefs, std::size_t index);

// The kind a drop onto a row carries: the first dropped text when it names a kind exactly; absent (the drop
// is refused) for no text or any other text.
std::optional<ConnKind> droppedKind(const QStringList& texts);

// The two fixed orders of the preset buttons, with their log lines.
struct LinkPreset {
    std::vector<LinkPref> prefs;
    std::string logLine;
};
LinkPreset bluetoothOnlyPreset();
LinkPreset automaticPreset();

// Which phone's forget waits for confirmation: one at a time, and Return or Cancel closes it unchanged.
class ForgetConfirmation {
  public:
    void ask(const std::string& id) { pending_ = id; }
    void cancel() { pending_.reset(); }
    bool asking(const std::string& id) const { return pending_ == id; }
    // The phone to forget now, and the confirmation closes; absent when none was asked about.
    std::optional<std::string> confirm() { return std::exchange(pending_, std::nullopt); }
    const std::optional<std::string>& pending() const { return pending_; }

  private:
    std::optional<std::string> pending_;
};

}  // namespace velmora::prefs

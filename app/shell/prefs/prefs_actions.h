#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/model/connection/link_prefs.h"
#include "app/model/features/phone_app.h"
#include "app/model/features/prefs/preferences.h"
#include "app/shell/prefs/logic/notif_list.h"
#include "app/shell/prefs/logic/prefs_rules.h"
#include "core/identity/peer.h"

namespace velmora {

class AppModel;

// Everything the preferences show, read from the model in one go.
struct PrefsValues {
    std::vector<LinkPref> linkPrefs;
    std::vector<PhoneApp> phoneApps;
    prefs::NotifFilter filter;
    std::array<bool, kAllPreferences.size()> switches{};  // in the order of kAllPreferences
    // Why the desktop cannot act on "allowMirrorCapture", when it cannot (the window is always captured).
    std::optional<std::string> captureUnavailable;
    std::vector<Peer> paired;
    bool connected = false;  // the speed test needs a live link
    std::optional<std::string> benchText;
    bool benchFailed = false;  // the line tells why the measurement did not finish

    bool preference(Preference which) const { return switches[static_cast<std::size_t>(which)]; }
};

// What the preferences read and change. The application's is the model's (ModelPrefsActions); tests bring
// their own. Every call returns at once; the views read values() again after each. Main thread only.
class PrefsActions {
  public:
    virtual ~PrefsActions() = default;
    virtual PrefsValues values() const = 0;
    virtual void setLinkEnabled(ConnKind kind, bool on) = 0;
    virtual void moveLink(ConnKind kind, int by) = 0;
    virtual void reorderLink(ConnKind kind, ConnKind before) = 0;
    virtual void applyPreset(const prefs::LinkPreset& preset) = 0;
    virtual void setNotif(const std::string& pkg, bool on) = 0;
    virtual void setAllNotif(bool on) = 0;
    virtual void setPreference(Preference which, bool on) = 0;
    virtual void forget(const std::string& peerId) = 0;
    virtual void connectManual(const std::string& text) = 0;
    virtual void runBench() = 0;
};

// The preferences on the one model.
class ModelPrefsActions : public PrefsActions {
  public:
    explicit ModelPrefsActions(AppModel& model) : model_(model) {}
    PrefsValues values() const override;
    void setLinkEnabled(ConnKind kind, bool on) override;
    void moveLink(ConnKind kind, int by) override;
    void reorderLink(ConnKind kind, ConnKind before) override;
    void applyPreset(const prefs::LinkPreset& preset) override;
    void setNotif(const std::string& pkg, bool on) override;
    void setAllNotif(bool on) override;
    void setPreference(Preference which, bool on) override;
    void forget(const std::string& peerId) override;
    void connectManual(const std::string& text) override;
    void runBench() override;

  private:
    AppModel& model_;
};

}  // namespace velmora

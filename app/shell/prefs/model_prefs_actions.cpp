#include "app/model/app_model.h"
#include "app/shell/prefs/prefs_actions.h"
#include "core/l10n/l10n.h"

namespace velmora {

PrefsValues ModelPrefsActions::values() const {
    const PublishedState& state = model_.state();
    PrefsValues values;
    values.linkPrefs = state.linkPrefs;
    values.phoneApps = state.phoneApps;
    values.filter = {state.notifDefault, state.notifOverrides};
    for (std::size_t i = 0; i < kAllPreferences.size(); ++i)
        values.switches[i] = model_.preference(kAllPreferences[i]);
    if (!state.mirrorCaptureSupported)
        values.captureUnavailable =
            state.mirrorCaptureNote.value_or(L10n::string("mirror.capture.unsupported"));
    values.paired = state.paired;
    values.connected = state.state.kind() == ConnState::Kind::connected;
    values.benchText = state.benchText;
    // The speed test fails one way only: the phone did not answer in time.
    values.benchFailed = state.benchText == L10n::string("prefs.bench.unfinished");
    return values;
}

void ModelPrefsActions::setLinkEnabled(ConnKind kind, bool on) {
    model_.setLinkEnabled(kind, on);
}

void ModelPrefsActions::moveLink(ConnKind kind, int by) {
    model_.moveLink(kind, by);
}

void ModelPrefsActions::reorderLink(ConnKind kind, ConnKind before) {
    model_.reorderLink(kind, before);
}

void ModelPrefsActions::applyPreset(const prefs::LinkPreset& preset) {
    model_.applyLinkPreset(preset.prefs, preset.logLine);
}

void ModelPrefsActions::setNotif(const std::string& pkg, bool on) {
    model_.setNotif(pkg, on);
}

void ModelPrefsActions::setAllNotif(bool on) {
    model_.setAllNotif(on);
}

void ModelPrefsActions::setPreference(Preference which, bool on) {
    model_.setPreference(which, on);
}

void ModelPrefsActions::forget(const std::string& peerId) {
    model_.forgetPaired(peerId);
}

void ModelPrefsActions::connectManual(const std::string& text) {
    model_.connectManual(text);
}

void ModelPrefsActions::runBench() {
    model_.runBench();
}

}  // namespace velmora

#include "app/model/app_model.h"
#include "app/model/connection/link_prefs.h"
#include "core/l10n/l10n.h"
#include "core/log/velmora_log.h"

namespace velmora {

namespace {

constexpr double kForgetFailedNoticeSeconds = 10.0;

}  // namespace

// Each switch belongs to its feature, which publishes it, keeps it in the settings file and acts on a change
// at once (the sound stops, clipboard sync pauses).
bool AppModel::preference(Preference which) const {
    switch (which) {
        case Preference::syncClipboard:
            return state_.syncClipboard;
        case Preference::playAudio:
            return state_.playAudio;
        case Preference::muteDevice:
            return state_.muteDevice;
        case Preference::keepCapture:
            return state_.keepCapture;
        case Preference::allowMirrorCapture:
            return state_.allowMirrorCapture;
    }
    return defaultValue(which);
}

void AppModel::setPreference(Preference which, bool on) {
    switch (which) {
        case Preference::syncClipboard:
            return setSyncClipboard(on);
        case Preference::playAudio:
            return setPlayAudio(on);
        case Preference::muteDevice:
            return setMuteDevice(on);
        case Preference::keepCapture:
            return setKeepCapture(on);
        case Preference::allowMirrorCapture:
            return setAllowMirrorCapture(on);
    }
}

void AppModel::setLinkEnabled(ConnKind kind, bool on) {
    auto change = LinkPrefs::setEnabled(state_.linkPrefs, kind, on);
    if (!change) return;
    setLinkPrefs(std::move(change->prefs));
    VelmoraLog::write(change->logLine);
}

void AppModel::moveLink(ConnKind kind, std::int64_t by) {
    auto change = LinkPrefs::move(state_.linkPrefs, kind, by);
    if (!change) return;
    setLinkPrefs(std::move(change->prefs));
    VelmoraLog::write(change->logLine);
}

void AppModel::reorderLink(ConnKind kind, ConnKind before) {
    auto change = LinkPrefs::reorder(state_.linkPrefs, kind, before);
    if (!change) return;
    setLinkPrefs(std::move(change->prefs));
    VelmoraLog::write(change->logLine);
}

void AppModel::applyLinkPreset(std::vector<LinkPref> prefs, const std::string& logLine) {
    setLinkPrefs(std::move(prefs));
    VelmoraLog::write(logLine);
}

bool AppModel::forgetPaired(const std::string& peerId) {
    const std::string id = peerId;  // the caller's may be an entry of `paired`, replaced below
    const bool written = context_->store->remove(id);
    edit().paired = context_->store->all();
    if (written) return true;
    VelmoraLog::write("esquecer celular " + id + ": peers.json não foi gravado; volta após reiniciar");
    showNotice(L10n::string("prefs.forget.failed.title"), L10n::string("prefs.forget.failed.text"),
               kForgetFailedNoticeSeconds);
    return false;
}

}  // namespace velmora

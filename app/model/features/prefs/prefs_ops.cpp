#include "app/model/app_model.h"
#include "app/model/connection/link_prefs.h"
#include "core/l10n/l10n.h"
#include "core/log/velmora_log.h"

namespace velmora {

namespace {

constexpr double kForgetFailedNoticeSeconds = 10.0;

}  // namespace

bool AppModel::preference(Preference which) const {
    return readPreference(*ports_.settings, which);
}

void AppModel::setPreference(Preference which, bool on) {
    ports_.settings->setValue(settingsKey(which), on);
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

bool AppModel::forgetPaired(const std::string& id) {
    const bool written = context_->store->remove(id);
    edit().paired = context_->store->all();
    if (written) return true;
    VelmoraLog::write("esquecer celular " + id + ": peers.json não foi gravado; volta após reiniciar");
    showNotice(L10n::string("prefs.forget.failed.title"), L10n::string("prefs.forget.failed.text"),
               kForgetFailedNoticeSeconds);
    return false;
}

}  // namespace velmora

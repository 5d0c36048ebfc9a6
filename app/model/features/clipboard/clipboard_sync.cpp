// Clipboard sync: the computer's copies go to the phone as "clip.set", the phone's land in the clipboard.
#include "app/model/app_model.h"
#include "app/model/features/clipboard/clipboard_policy.h"
#include "core/l10n/l10n.h"

namespace velmora {

namespace {

constexpr const char* kSyncKey = "syncClipboard";
// The button's answer stays as long as it takes to read it.
constexpr double kClipNoticeSeconds = 4.0;

nlohmann::json clipSet(std::string text) {
    return {{"t", "clip.set"}, {"text", std::move(text)}};
}

}  // namespace

// Every change is looked at once: a copy made while sync is off, no phone is there, or that is a secret is
// consumed here and never sent later.
void AppModel::pollClipboard() {
    if (!clipWatch_ || !clipWatch_->takeChange()) return;
    if (!state_.syncClipboard) return;
    if (state_.state.kind() != ConnState::Kind::connected) return;
    if (auto text = clipWatch_->sendableText()) send(clipSet(std::move(*text)));
}

// The panel's button: sends the text now, whatever the switch and the markers say, but never a text the
// phone would end the session for; the user is told instead.
void AppModel::sendClipboardNow() {
    if (!clipWatch_) return;
    auto text = clipWatch_->text();
    if (!text || text->empty()) {
        showNotice(L10n::string("panel.notice.clip_empty"), kClipNoticeSeconds);
        return;
    }
    if (!ClipboardPolicy::fitsSend(*text)) {
        edit().lastError = L10n::format("clip.too_large",
                                        {static_cast<std::int64_t>(ClipboardPolicy::sendLimitBytes / 1000)});
        return;
    }
    send(clipSet(std::move(*text)));
    showNotice(L10n::string("panel.notice.clip_sent"), kClipNoticeSeconds);
}

void AppModel::writeClipboard(std::string text) {
    if (!clipWatch_ || !state_.syncClipboard) return;
    clipWatch_->writeFromPhone(text);
}

void AppModel::setSyncClipboard(bool on) {
    edit().syncClipboard = on;
    ports_.settings->setValue(kSyncKey, on);
}

void AppModel::loadClipboardSync() {
    state_.syncClipboard = ports_.settings->boolean(kSyncKey).value_or(true);
    if (ports_.clipboard) clipWatch_ = std::make_unique<ClipboardWatch>(ports_.clipboard);
}

}  // namespace velmora

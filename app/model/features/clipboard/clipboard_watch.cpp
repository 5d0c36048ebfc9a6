#include "app/model/features/clipboard/clipboard_watch.h"

#include <algorithm>

#include "app/model/features/clipboard/clipboard_policy.h"

namespace velmora {

ClipboardWatch::ClipboardWatch(std::shared_ptr<Clipboard> clipboard)
    : clipboard_(std::move(clipboard)), lastChange_(clipboard_->changeCount()) {}

bool ClipboardWatch::takeChange() {
    const std::int64_t count = clipboard_->changeCount();
    if (count == lastChange_) return false;
    lastChange_ = count;
    return true;
}

std::optional<std::string> ClipboardWatch::sendableText() const {
    const auto types = clipboard_->types();
    std::optional<std::string> hint;
    if (std::ranges::find(types, ClipboardPolicy::passwordHintType) != types.end())
        hint = clipboard_->data(std::string(ClipboardPolicy::passwordHintType));
    if (ClipboardPolicy::shouldNeverSend(types, hint)) return std::nullopt;
    auto plain = text();
    if (!plain || !ClipboardPolicy::fitsSend(*plain)) return std::nullopt;
    return plain;
}

std::optional<std::string> ClipboardWatch::text() const {
    auto plain = clipboard_->text();
    if (!plain || plain->empty()) return std::nullopt;
    return plain;
}

void ClipboardWatch::writeFromPhone(const std::string& text) {
    lastChange_ = clipboard_->replaceText(text);
}

}  // namespace velmora

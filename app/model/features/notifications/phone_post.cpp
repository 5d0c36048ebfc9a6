#include "app/model/features/notifications/phone_post.h"

#include "core/protocol/inbound.h"
#include "core/text/safe_text.h"

namespace velmora::PhonePosts {

namespace {

constexpr std::int64_t kKeyScalars = 256;
constexpr std::int64_t kPkgScalars = 256;
constexpr std::int64_t kAppScalars = 100, kAppBytes = 400;
constexpr std::int64_t kTitleScalars = 200, kTitleBytes = 800;
constexpr std::int64_t kBodyScalars = 2000, kBodyBytes = 8000;
constexpr std::int64_t kMaxReplyIndex = 64;

// A text that is shown on the desktop. D-Bus strings cannot hold U+0000 (the notification would end at
// it, losing the rest): each becomes U+FFFD, the replacement character.
std::string textOf(const nlohmann::json& message, std::string_view key) {
    const std::string_view raw = Inbound::rawText(Inbound::field(message, key)).value_or("");
    std::string out;
    out.reserve(raw.size());
    for (const char c : raw) {
        if (c == '\0')
            out += "\uFFFD";
        else
            out += c;
    }
    return out;
}

// The first action whose "reply" is the Boolean true gives the index; absent when there is none.
std::optional<std::int64_t> replyIndex(const nlohmann::json& message) {
    const auto* actions = Inbound::field(message, "actions");
    if (!actions || !actions->is_array()) return std::nullopt;
    for (const auto& action : *actions) {
        if (Inbound::boolean(Inbound::field(action, "reply")) != true) continue;
        return Inbound::integer(Inbound::field(action, "index"), 0, kMaxReplyIndex).value_or(0);
    }
    return std::nullopt;
}

}  // namespace

std::string cutKey(std::string_view key) {
    return SafeText::limit(key, kKeyScalars, std::nullopt);
}

std::optional<PhonePost> read(const nlohmann::json& message) {
    const auto key = Inbound::rawText(Inbound::field(message, "key"));
    if (!key) return std::nullopt;
    if (Inbound::boolean(Inbound::field(message, "ongoing")) == true) return std::nullopt;
    if (Inbound::boolean(Inbound::field(message, "group")) == true) return std::nullopt;

    PhonePost post;
    post.key = cutKey(*key);
    post.pkg = SafeText::limit(textOf(message, "pkg"), kPkgScalars, std::nullopt);
    post.appName = SafeText::limit(textOf(message, "app"), kAppScalars, kAppBytes);
    for (const char* part : {"app", "title"}) {
        const std::string piece = SafeText::limit(textOf(message, part), kTitleScalars, kTitleBytes);
        if (piece.empty()) continue;
        post.title += post.title.empty() ? piece : " \u00B7 " + piece;
    }
    post.body = SafeText::limit(textOf(message, "text"), kBodyScalars, kBodyBytes);
    post.replyIndex = replyIndex(message);
    return post;
}

}  // namespace velmora::PhonePosts

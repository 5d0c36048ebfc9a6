// Reading the phone's control messages into typed events: every key with its default and limit.
#include <algorithm>
#include <cstring>
#include <map>
#include <string_view>

#include "app/model/features/dispatch/control_event.h"
#include "core/errors/friendly_errors.h"
#include "core/l10n/l10n.h"
#include "core/text/safe_text.h"
#include "core/text/utf8.h"

namespace velmora {

bool ControlPauseState::apply(PhoneControlNotice notice) {
    const bool was = paused;
    paused = notice == PhoneControlNotice::paused;
    return paused != was;
}

namespace {

using Json = nlohmann::json;
using Event = std::optional<ControlEvent::Any>;
namespace E = ControlEvent;

// The scalars of `text`, counted up to `max`, without copying it. Base64 is ASCII, so the first `max` bytes
// are checked in one pass; other text goes through the decoder (ill-formed bytes count as U+FFFD).
std::int64_t scalarCount(std::string_view text, std::int64_t max) {
    const std::size_t head = std::min(text.size(), static_cast<std::size_t>(max));
    std::uint64_t bits = 0;  // eight bytes at a time
    std::size_t i = 0;
    for (std::uint64_t word = 0; i + sizeof word <= head; i += sizeof word) {
        std::memcpy(&word, text.data() + i, sizeof word);
        bits |= word;
    }
    for (; i < head; ++i)
        bits |= static_cast<unsigned char>(text[i]);
    if ((bits & 0x8080808080808080ULL) == 0) return static_cast<std::int64_t>(head);
    std::int64_t count = 0;
    for (std::size_t pos = 0; pos < text.size() && count < max; ++count)
        (void)Utf8::next(text, pos);
    return count;
}

std::optional<std::uint32_t> tidOf(const Json& m) {
    return Inbound::tid(m);
}

// "code" and "message" of "error" and "mirror.error", the message cut for the notice it becomes.
std::pair<std::optional<std::string>, std::string> codeAndMessage(const Json& m,
                                                                  std::string_view fallbackKey) {
    auto code = Inbound::text(Inbound::field(m, "code"), E::kErrorCodeMax);
    const auto raw = Inbound::rawText(Inbound::field(m, "message"));
    const std::string message = raw ? std::string(*raw) : L10n::string(fallbackKey);
    return {std::move(code), SafeText::limit(message, E::kErrorScalars, E::kErrorBytes)};
}

Event apps(const Json& m) {
    const Json* list = Inbound::field(m, "apps");
    if (list == nullptr || !list->is_array()) return std::nullopt;
    if (!std::ranges::all_of(*list, [](const Json& e) { return e.is_object(); })) return std::nullopt;
    E::Apps out;
    const std::size_t count = std::min(list->size(), E::kAppsMax);
    for (std::size_t i = 0; i < count; ++i) {
        const Json& entry = (*list)[i];
        auto pkg = Inbound::text(Inbound::field(entry, "pkg"), E::kAppFieldMax);
        if (!pkg || pkg->empty()) continue;
        const std::string name = Inbound::text(Inbound::field(entry, "name"), E::kAppFieldMax).value_or(*pkg);
        out.apps.push_back({std::move(*pkg), SafeText::limit(name, E::kAppNameScalars, E::kAppNameBytes)});
    }
    return out;
}

Event diag(const Json& m) {
    const auto info = Inbound::text(Inbound::field(m, "info"), E::kDiagTextMax);
    const auto log = Inbound::text(Inbound::field(m, "log"), E::kDiagTextMax);
    auto view = [](const std::optional<std::string>& s) -> SafeText::Text {
        return s ? SafeText::Text(*s) : std::nullopt;
    };
    return E::Diag{SafeText::quotedBlock(view(info), E::kDiagInfoLines, E::kDiagLineScalars, "| "),
                   SafeText::quotedBlock(view(log), E::kDiagLogLines, E::kDiagLineScalars, "| ")};
}

Event mirrorStarted(const Json& m) {
    const auto size = Inbound::mirrorSize(m);
    if (!size) return E::MirrorStarted{};
    return E::MirrorStarted{MirrorStart{size->width, size->height, Inbound::audioFormat(m)}};
}

using Reader = Event (*)(const Json&, double);

const std::map<std::string, Reader, std::less<>>& readers() {
    static const std::map<std::string, Reader, std::less<>> table{
        {"status", [](const Json& m, double) -> Event { return E::Status{Inbound::status(m)}; }},
        {"pong",
         [](const Json& m, double nowMs) -> Event {
             const auto rtt = Inbound::rttMs(m, nowMs);
             if (!rtt) return std::nullopt;
             return E::Pong{*rtt};
         }},
        {"bench.chunk",
         [](const Json& m, double) -> Event {
             const auto d = Inbound::rawText(Inbound::field(m, "d"));
             if (!d) return std::nullopt;
             return E::BenchChunk{scalarCount(*d, E::kBenchChunkMax) * 3 / 4};
         }},
        {"bench.end", [](const Json&, double) -> Event { return E::BenchEnd{}; }},
        {"net.offer",
         [](const Json& m, double) -> Event {
             return E::NetOffer{Inbound::netOffer(m, E::kNetOfferDefaultPort)};
         }},
        {"diag", [](const Json& m, double) { return diag(m); }},
        {"input.paused", [](const Json&, double) -> Event { return E::Control{PhoneControlNotice::paused}; }},
        {"input.resumed",
         [](const Json&, double) -> Event { return E::Control{PhoneControlNotice::resumed}; }},
        {"caps",
         [](const Json& m, double) -> Event {
             const auto raw = Inbound::rawText(Inbound::field(m, "appVersion"));
             return E::Caps{raw ? std::optional(SafeText::logToken(raw)) : std::nullopt,
                            Inbound::integer(Inbound::field(m, "appBuild"), 0, 10000000).value_or(0)};
         }},
        {"apps", [](const Json& m, double) { return apps(m); }},
        {"notif.post", [](const Json&, double) -> Event { return E::NotifPost{}; }},
        {"notif.remove",
         [](const Json& m, double) -> Event {
             const auto key = Inbound::rawText(Inbound::field(m, "key"));
             if (!key) return std::nullopt;
             return E::NotifRemove{std::string(*key)};
         }},
        {"clip.set",
         [](const Json& m, double) -> Event {
             const auto text = Inbound::rawText(Inbound::field(m, "text"));
             if (!text || text->size() > E::kClipMaxBytes) return std::nullopt;
             return E::ClipSet{std::string(*text)};
         }},
        {"file.offer", [](const Json&, double) -> Event { return E::FileOffer{}; }},
        {"file.accept",
         [](const Json& m, double) -> Event {
             const auto tid = tidOf(m);
             if (!tid) return std::nullopt;
             return E::FileAccept{*tid};
         }},
        {"file.reject",
         [](const Json& m, double) -> Event {
             const auto tid = tidOf(m);
             if (!tid) return std::nullopt;
             return E::FileReject{*tid};
         }},
        {"file.done",
         [](const Json& m, double) -> Event {
             const auto tid = tidOf(m);
             if (!tid) return std::nullopt;
             return E::FileDone{*tid, Inbound::boolean(Inbound::field(m, "ok")).value_or(false)};
         }},
        {"mirror.started", [](const Json& m, double) { return mirrorStarted(m); }},
        {"mirror.stopped", [](const Json&, double) -> Event { return E::MirrorStopped{}; }},
        {"mirror.error",
         [](const Json& m, double) -> Event {
             auto [code, message] = codeAndMessage(m, "err.mirror.generic");
             return E::MirrorError{FriendlyErrors::mirrorError(code, message), code};
         }},
        {"error",
         [](const Json& m, double) -> Event {
             auto [code, message] = codeAndMessage(m, "err.unknown");
             return E::PhoneError{FriendlyErrors::phoneError(code, message), code};
         }},
    };
    return table;
}

}  // namespace

std::optional<ControlEvent::Any> parseControl(const nlohmann::json& message, double nowMs) {
    const auto type = Inbound::rawText(Inbound::field(message, "t"));
    if (!type) return std::nullopt;
    const auto& table = readers();
    const auto reader = table.find(*type);
    if (reader == table.end()) return std::nullopt;
    return reader->second(message, nowMs);
}

}  // namespace velmora

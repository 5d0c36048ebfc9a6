// Mirroring, phone side: "mirror.start" is answered with "mirror.started" (or the refusal or the approval
// wait the settings ask for), then the picture and sound stream until "mirror.stop" or the session's end.
#include <algorithm>
#include <optional>

#include "support/companion/companion_phone.h"

namespace velmora::companion {
namespace {

using nlohmann::json;

int intIn(const json& m, const char* key, int fallback, int low, int high) {
    const auto it = m.find(key);
    if (it == m.end() || !it->is_number()) return fallback;
    return std::clamp(static_cast<int>(it->get<double>()), low, high);
}

int even(double v) {
    return std::max(16, static_cast<int>(v) & ~1);
}

}  // namespace

std::vector<json> CompanionPhone::startMirror(const json& request) {
    const auto link = this->link();
    if (!link) return {};
    // "audio_unavailable" is no refusal: the picture goes on without sound, and the computer is told why.
    const bool soundRefused = settings_.mirrorRefuse == "audio_unavailable";
    if (!settings_.mirrorRefuse.empty() && !soundRefused) {
        say("espelhamento recusado: " + settings_.mirrorRefuse);
        return {{{"t", "mirror.error"},
                 {"code", settings_.mirrorRefuse},
                 {"message", "captura recusada no celular"}}};
    }
    // The screen scaled so its longer side fits the computer's maxSize, both sides even.
    MirrorParams p;
    const int maxSize = intIn(request, "maxSize", std::max(settings_.width, settings_.height), 16, 8192);
    const double scale =
        std::min(1.0, static_cast<double>(maxSize) / std::max(settings_.width, settings_.height));
    p.width = even(settings_.width * scale);
    p.height = even(settings_.height * scale);
    p.fps = std::min(settings_.fps, intIn(request, "fps", settings_.fps, 1, 120));
    p.bitrate = intIn(request, "bitrate", 4000000, 50000, 20000000);
    const bool soundAsked = request.value("audio", json(false)).is_boolean() && request["audio"].get<bool>();
    if (soundAsked && settings_.sound && !soundRefused) p.audio = AudioFormat{};
    std::lock_guard control(mirrorControl_);
    cancelPendingStart();
    stream_.stop();
    std::vector<json> replies;
    int delay = std::max(0, settings_.mirrorDelayMs);
    if (settings_.approvalMs >= 0) {
        say("espelhamento aguardando aprovação no celular");
        replies.push_back(
            {{"t", "mirror.error"}, {"code", "permission_pending"}, {"message", "aguardando aprovação"}});
        delay += settings_.approvalMs;
    }
    // After "mirror.started", so the notice finds the window open.
    std::optional<json> notice;
    if (soundAsked && soundRefused)
        notice = json{{"t", "mirror.error"}, {"code", "audio_unavailable"}, {"message", "som indisponível"}};
    startStreamLater(link, p, delay, notice);
    return replies;
}

void CompanionPhone::startStreamLater(std::shared_ptr<PhoneLink> link, MirrorParams p, int delayMs,
                                      std::optional<json> notice) {
    std::lock_guard lock(startMutex_);
    cancelStart_ = false;
    pendingStart_ = std::thread([this, link = std::move(link), p, delayMs, notice = std::move(notice)] {
        {
            std::unique_lock wait(startMutex_);
            if (startCancelled_.wait_for(wait, std::chrono::milliseconds(delayMs),
                                         [&] { return cancelStart_; }))
                return;
        }
        json started = {{"t", "mirror.started"}, {"width", p.width}, {"height", p.height}};
        if (p.audio) started["audio"] = {{"rate", p.audio->rate}, {"channels", p.audio->channels}};
        try {
            stream_.start(link, p);
        } catch (const std::exception& e) {
            say(std::string("codificador indisponível: ") + e.what());
            link->sendControl({{"t", "mirror.error"}, {"code", "encoder"}, {"message", e.what()}});
            return;
        }
        // The announcement goes before the first picture can: the stream's first tick is one period away.
        link->sendControl(started);
        if (notice) link->sendControl(*notice);
        say("espelhamento: " + std::to_string(p.width) + "x" + std::to_string(p.height) + " a " +
            std::to_string(p.fps) + " q/s com " + stream_.stats().encoder +
            (p.audio ? ", com som" : ", sem som"));
    });
}

void CompanionPhone::cancelPendingStart() {
    std::thread ending;
    {
        std::lock_guard lock(startMutex_);
        cancelStart_ = true;
        ending = std::move(pendingStart_);
    }
    startCancelled_.notify_all();
    if (ending.joinable() && ending.get_id() != std::this_thread::get_id()) ending.join();
    if (ending.joinable()) ending.detach();
}

bool CompanionPhone::startMirrorFromPhone() {
    const auto link = this->link();
    if (!link) return false;
    MirrorParams p;
    p.width = settings_.width;
    p.height = settings_.height;
    p.fps = settings_.fps;
    if (settings_.sound) p.audio = AudioFormat{};
    std::lock_guard control(mirrorControl_);
    cancelPendingStart();
    stream_.stop();
    startStreamLater(link, p, 0);
    return true;
}

bool CompanionPhone::stopMirrorFromPhone() {
    std::lock_guard control(mirrorControl_);
    cancelPendingStart();
    const bool was = stream_.running();
    stream_.stop();
    say("espelhamento parado no celular");
    return was && sendControl({{"t", "mirror.stopped"}});
}

}  // namespace velmora::companion

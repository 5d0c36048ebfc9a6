// The session's side of the companion app: what it answers to each control message and record.
#include "support/companion/companion_phone.h"

#include <algorithm>

#include "core/crypto/base64.h"
#include "core/crypto/cxp_crypto.h"
#include "core/protocol/control_json.h"

namespace velmora::companion {
namespace {

using nlohmann::json;

constexpr std::size_t kBenchPiece = 3072;             // 4096 Base64 characters, the most one chunk carries
constexpr std::int64_t kBenchMax = 64 * 1024 * 1024;  // a computer asking for more gets this much

std::string text(const json& m, const char* key) {
    const auto it = m.find(key);
    return it != m.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// The speed test: "bytes" of data as Base64 text in "bench.chunk" messages, then "bench.end".
std::vector<json> benchAnswer(const json& request) {
    const auto it = request.find("bytes");
    std::int64_t bytes = it != request.end() && it->is_number_integer() ? it->get<std::int64_t>() : 0;
    bytes = std::clamp<std::int64_t>(bytes, 0, kBenchMax);
    std::vector<json> out;
    const Bytes piece = CXPCrypto::randomBytes(kBenchPiece);
    for (std::int64_t sent = 0; sent < bytes; sent += static_cast<std::int64_t>(kBenchPiece)) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(bytes - sent, kBenchPiece));
        out.push_back({{"t", "bench.chunk"}, {"d", Base64::encode(ByteView(piece.data(), n))}});
    }
    out.push_back({{"t", "bench.end"}});
    return out;
}

}  // namespace

CompanionPhone::CompanionPhone(CompanionSettings settings, P256PrivateKey key)
    : settings_(std::move(settings)),
      phone_(PhoneConfig{.name = settings_.name}, std::move(key)),
      files_(FileExchange::Settings{
          .refuse = settings_.refuseFiles, .saveDir = settings_.saveDir, .say = settings_.say}),
      status_(settings_.status) {
    // Ready to serve as it stands, also through phone().serve() (the session fixtures take a SimulatedPhone).
    phone_.setConfig(config());
}

CompanionPhone::~CompanionPhone() {
    cancelPendingStart();
    stream_.stop();
}

void CompanionPhone::say(const std::string& line) const {
    if (settings_.say) settings_.say(line);
}

PhoneOutcome CompanionPhone::serve(std::shared_ptr<Transport> transport) {
    return phone_.serve(std::move(transport));
}

PhoneConfig CompanionPhone::config() {
    PhoneConfig c;
    c.name = settings_.name;
    c.readyToPair = !settings_.noPairing;
    c.accept = [this](const std::string& code) {
        say("código de pareamento: " + code);
        return !settings_.refusePairing;
    };
    c.onPaired = [this](const std::string& id) {
        say("pareado com o computador " + id + ": as próximas conexões dele vão direto à sessão; numa " +
            "próxima execução use --paired " + id + " e a mesma --key-file");
    };
    c.onReady = [this](std::shared_ptr<PhoneLink> link) {
        // What a phone says first once the session stands: what it is and how it is.
        json status;
        {
            std::lock_guard lock(mutex_);
            link_ = link;
            status = statusMessage();
        }
        link->sendControl(capsMessage());
        link->sendControl(status);
        sessionChanged_.notify_all();
        say("sessão pronta");
        inbox_.poke();
    };
    c.onEnd = [this] { sessionEnded(); };
    // A message is in the inbox once the phone has acted on it, so whoever waits for it sees its effect.
    c.answer = [this](const json& m) {
        std::vector<json> replies = answer(m);
        if (text(m, "t") != "ping") inbox_.addControl(m);
        return replies;
    };
    c.onRecord = [this](const Frame& f) { return onRecord(f); };
    c.keepRecords = false;  // inputs and files are kept by the inbox and the file table instead
    return c;
}

void CompanionPhone::sessionEnded() {
    {
        std::lock_guard lock(mutex_);
        link_.reset();
    }
    {
        std::lock_guard control(mirrorControl_);
        cancelPendingStart();
        stream_.stop();
    }
    files_.sessionEnded();
    sessionChanged_.notify_all();
    inbox_.poke();
}

std::shared_ptr<PhoneLink> CompanionPhone::link() const {
    std::lock_guard lock(mutex_);
    return link_ && link_->open() ? link_ : nullptr;
}

bool CompanionPhone::sessionLive() const {
    return link() != nullptr;
}

bool CompanionPhone::waitForSession(double seconds) const {
    std::unique_lock lock(mutex_);
    return sessionChanged_.wait_for(lock, std::chrono::duration<double>(seconds),
                                    [&] { return link_ && link_->open(); });
}

void CompanionPhone::hangUp() {
    if (const auto l = link()) l->hangUp();
}

json CompanionPhone::capsMessage() const {
    return {{"t", "caps"},
            {"v", 2},
            {"name", settings_.name},
            {"model", "Android"},
            {"appVersion", settings_.appVersion},
            {"appBuild", settings_.appBuild},
            {"features", {"clip", "files", "notif", "mirror", "input", "net.offer"}}};
}

json CompanionPhone::appsMessage() const {
    json list = json::array();
    for (const auto& a : settings_.apps)
        list.push_back({{"pkg", a.pkg}, {"name", a.name}});
    return {{"t", "apps"}, {"apps", list}};
}

json CompanionPhone::statusMessage() const {
    const PhoneStatus& s = status_;
    json m = {{"t", "status"}, {"battery", s.battery}, {"charging", s.charging}, {"fast", s.fast}};
    if (s.screen) m["screen"] = *s.screen;
    if (s.locks) m["locks"] = *s.locks;
    return m;
}

std::vector<json> CompanionPhone::answer(const json& m) {
    const std::string t = text(m, "t");
    if (t == "ping") return {};
    if (t == "ring") {
        const bool on = m.value("on", json(false)).is_boolean() && m["on"].get<bool>();
        {
            std::lock_guard lock(mutex_);
            ringing_ = on;
        }
        say(on ? "TOCANDO: o computador pediu para o celular tocar" : "parou de tocar");
        return {};
    }
    if (t == "bench.start") {
        say("medição de velocidade: enviando " +
            std::to_string(m.value("bytes", json(0)).is_number() ? m["bytes"].get<std::int64_t>() : 0) +
            " bytes");
        return benchAnswer(m);
    }
    if (t == "notif.action") {
        say("notificação " + text(m, "key") + ": resposta \"" + text(m, "reply") + "\" (ação " +
            (m.contains("index") ? m["index"].dump() : "?") + ")");
        return {};
    }
    if (t == "notif.dismiss") {
        say("notificação " + text(m, "key") + " dispensada no computador");
        return {};
    }
    if (t == "notif.filter") {
        say("filtro de notificações: " + m.dump());
        return {};
    }
    if (t == "clip.set") {
        {
            std::lock_guard lock(mutex_);
            clipboard_ = text(m, "text");
        }
        say("área de transferência do celular: \"" + text(m, "text") + "\"");
        return {};
    }
    if (t == "status.get") {
        std::lock_guard lock(mutex_);
        return {statusMessage()};
    }
    if (t == "apps.get") return {appsMessage()};
    if (t == "diag.get")
        return {{{"t", "diag"},
                 {"info", "aparelho: " + settings_.name + "\nandroid: 14\napp: " + settings_.appVersion},
                 {"log", "sessão aberta\nnenhum erro"}}};
    if (t == "mirror.start") return startMirror(m);
    if (t == "mirror.keyframe") {
        stream_.requestKeyFrame();
        return {};
    }
    if (t == "mirror.stop") {
        std::lock_guard control(mirrorControl_);
        cancelPendingStart();
        stream_.stop();
        say("espelhamento parado pelo computador");
        return {{{"t", "mirror.stopped"}}};
    }
    if (t == "file.offer") return files_.onOffer(m);
    if (t == "file.accept" || t == "file.reject" || t == "file.done") {
        files_.onAnswer(m);
        return {};
    }
    if (t == "caps") {
        say("computador: " + text(m, "name") + " " + text(m, "appVersion"));
        return {};
    }
    say("recebido: " + m.dump());
    return {};
}

std::vector<json> CompanionPhone::onRecord(const Frame& frame) {
    if (frame.channel == Ch::files) return files_.onRecord(frame.payload);
    if (frame.channel == Ch::input) {
        try {
            json input = decodeJSON(frame.payload, frame.payload.size());
            say("entrada: " + input.dump());
            inbox_.addInput(std::move(input));
        } catch (const std::exception& e) {
            say(std::string("entrada ilegível: ") + e.what());
        }
        return {};
    }
    say("registro no canal " + std::to_string(frame.channel) + " (" + std::to_string(frame.payload.size()) +
        " bytes)");
    return {};
}

bool CompanionPhone::ringing() const {
    std::lock_guard lock(mutex_);
    return ringing_;
}

PhoneStatus CompanionPhone::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

std::optional<std::string> CompanionPhone::clipboard() const {
    std::lock_guard lock(mutex_);
    return clipboard_;
}

std::string CompanionPhone::lastNotificationKey() const {
    std::lock_guard lock(mutex_);
    return lastKey_;
}

}  // namespace velmora::companion

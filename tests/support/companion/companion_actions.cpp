// What the companion app does on its own initiative: each action is one control message (or a file
// transfer) on the live session.
#include "support/companion/companion_phone.h"

namespace velmora::companion {

using nlohmann::json;

bool CompanionPhone::sendControl(const json& message) {
    const auto l = link();
    return l && l->sendControl(message);
}

bool CompanionPhone::notify(Notification n) {
    {
        std::lock_guard lock(mutex_);
        if (n.key.empty()) n.key = "0|" + n.pkg + "|" + std::to_string(++notifCounter_);
        lastKey_ = n.key;
    }
    json actions = json::array();
    if (n.reply) actions.push_back({{"index", 0}, {"title", "Responder"}, {"reply", true}});
    actions.push_back({{"index", 1}, {"title", "Marcar como lida"}});
    const bool sent = sendControl({{"t", "notif.post"},
                                   {"key", n.key},
                                   {"pkg", n.pkg},
                                   {"app", n.app},
                                   {"title", n.title},
                                   {"text", n.text},
                                   {"ongoing", false},
                                   {"group", false},
                                   {"actions", actions}});
    if (sent) say("notificação postada: " + n.key + " \"" + n.title + "\"");
    return sent;
}

bool CompanionPhone::removeNotification(const std::string& key) {
    return sendControl({{"t", "notif.remove"}, {"key", key}});
}

bool CompanionPhone::sendClipboard(const std::string& text) {
    return sendControl({{"t", "clip.set"}, {"text", text}});
}

bool CompanionPhone::sendStatus(const PhoneStatus& status) {
    json message;
    {
        std::lock_guard lock(mutex_);
        status_ = status;
        message = statusMessage();
    }
    const bool sent = sendControl(message);
    if (sent) say("estado enviado: " + message.dump());
    return sent;
}

bool CompanionPhone::sendCaps() {
    return sendControl(capsMessage());
}

bool CompanionPhone::sendApps() {
    return sendControl(appsMessage());
}

bool CompanionPhone::sendNetOffer(int port, const std::vector<std::string>& ips) {
    json addrs = json::array();
    for (const auto& ip : ips)
        addrs.push_back({{"ip", ip}});
    return sendControl({{"t", "net.offer"}, {"port", port}, {"addrs", addrs}});
}

bool CompanionPhone::sendError(const std::string& code, const std::string& message) {
    json m = {{"t", "error"}, {"code", code}};
    if (!message.empty()) m["message"] = message;
    return sendControl(m);
}

bool CompanionPhone::pauseInput(bool paused) {
    return sendControl({{"t", paused ? "input.paused" : "input.resumed"}});
}

std::vector<SentFile> CompanionPhone::sendFiles(const std::vector<std::filesystem::path>& files) {
    return files_.send(link(), files);
}

}  // namespace velmora::companion

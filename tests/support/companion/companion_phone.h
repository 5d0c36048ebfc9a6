#pragma once

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/companion/file_exchange.h"
#include "support/companion/inbox.h"
#include "support/companion/mirror_stream.h"
#include "support/simulated_phone.h"

namespace velmora::companion {

struct Notification {
    std::string pkg = "com.example.chat";
    std::string app = "Conversa";
    std::string title = {}, text = {};
    std::string key = {};  // empty: one is made from the package and a counter
    bool reply = true;     // offers a reply action (index 0)
};

struct PhoneStatus {
    int battery = 87;
    bool charging = false;
    std::optional<bool> screen = true;  // absent: the phone does not report its screen
    bool fast = false;                  // a fast activity (a call, a game) runs
    std::optional<bool> locks = {};
};

struct PhoneAppEntry {
    std::string pkg, name;
};

struct CompanionSettings {
    std::string name = "Celular Simulado";
    bool refusePairing = false;  // the user on the phone presses "no"
    bool noPairing = false;      // "not_paired" to computers it does not know
    // Mirroring: the screen's size before the computer's maxSize applies, the highest frame rate.
    int width = 720, height = 1600, fps = 30;
    bool sound = true;              // sends sound when the computer asks for it
    int mirrorDelayMs = 0;          // "mirror.started" that much later
    std::string mirrorRefuse = {};  // a "mirror.error" code ("denied", "encoder", ...) instead of starting
    int approvalMs = -1;            // >= 0: "permission_pending" first, the picture after that many ms
    // Files
    bool refuseFiles = false;
    std::optional<std::filesystem::path> saveDir = {};  // received files go there; else kept in memory
    PhoneStatus status = {};
    std::vector<PhoneAppEntry> apps = {
        {"com.example.chat", "Conversa"}, {"com.example.mail", "Correio"}, {"com.example.bank", "Banco"}};
    std::string appVersion = "2.4.0";
    int appBuild = 240;
    // Each event as one line (the program prints them); called on the thread where the event happens.
    std::function<void(const std::string&)> say = {};
};

// The companion app as the computer meets it, over SimulatedPhone: it answers every control message of a
// session (mirroring with a real H.264 picture and sound, files both ways, the speed test, ring,
// notification replies, clipboard, status, apps, diagnostics) and does what a phone does on its own when told
// (post a notification, copy text, send files, report its battery and screen, pause input...). Threads:
// serve() on one thread at a time (the phone's receive thread); every action, reader and wait from any
// thread. `mutex_` guards the link, the status, the ring state and the clipboard.
//
// Beside the real program: `CompanionPhone phone({.saveDir = dir}); PhoneServer server(phone);` then start it
// with VELMORA_DEV_CONNECT=127.0.0.1:<server.port()>, `phone.waitForSession(60)`, act (`phone.notify(...)`,
// `phone.sendFiles(...)`) and wait for the answers (`phone.inbox().waitControl("notif.action", 0, 60)`).
class CompanionPhone {
  public:
    explicit CompanionPhone(CompanionSettings settings = {}, P256PrivateKey key = P256PrivateKey::generate());
    ~CompanionPhone();
    CompanionPhone(const CompanionPhone&) = delete;
    CompanionPhone& operator=(const CompanionPhone&) = delete;

    SimulatedPhone& phone() { return phone_; }
    std::string id() const { return phone_.id(); }
    // Answers one connection until it ends; the outcome as SimulatedPhone gives it.
    PhoneOutcome serve(std::shared_ptr<Transport> transport);

    bool sessionLive() const;
    bool waitForSession(double seconds) const;
    // Ends the live session from the phone's side.
    void hangUp();

    // What the phone does on its own; each is false when no session stands.
    bool notify(Notification notification);  // fills in the key when empty
    bool removeNotification(const std::string& key);
    bool sendClipboard(const std::string& text);
    bool sendStatus(const PhoneStatus& status);  // and keeps it as the phone's status
    bool sendCaps();
    bool sendApps();
    bool sendNetOffer(int port, const std::vector<std::string>& ips);
    bool sendError(const std::string& code, const std::string& message);
    bool pauseInput(bool paused);
    bool sendControl(const nlohmann::json& message);
    std::vector<SentFile> sendFiles(const std::vector<std::filesystem::path>& files);
    void stallMirror(bool stalled) { stream_.setStalled(stalled); }
    // A phone gone out of reach without closing the link: no "pong", no picture, no sound.
    void setSilent(bool silent) {
        phone_.setSilent(silent);
        stream_.setStalled(silent);
    }
    bool startMirrorFromPhone();  // the user starts the capture on the phone: the stream without a request
    bool stopMirrorFromPhone();   // the user ends the capture on the phone
    void setRefuseFiles(bool refuse) { files_.setRefuse(refuse); }

    // What the phone received.
    const Inbox& inbox() const { return inbox_; }
    std::vector<ReceivedFile> receivedFiles() const { return files_.received(); }
    MirrorStats mirrorStats() const { return stream_.stats(); }
    bool ringing() const;
    PhoneStatus status() const;                    // as last reported
    std::optional<std::string> clipboard() const;  // the computer's last "clip.set"
    std::string lastNotificationKey() const;

  private:
    PhoneConfig config();
    std::vector<nlohmann::json> answer(const nlohmann::json& message);
    std::vector<nlohmann::json> onRecord(const Frame& frame);
    std::vector<nlohmann::json> startMirror(const nlohmann::json& request);
    // Starts the stream `delayMs` later, announces it, then sends `notice` if any.
    void startStreamLater(std::shared_ptr<PhoneLink> link, MirrorParams params, int delayMs,
                          std::optional<nlohmann::json> notice = std::nullopt);
    void cancelPendingStart();
    void sessionEnded();
    nlohmann::json capsMessage() const;
    nlohmann::json appsMessage() const;
    nlohmann::json statusMessage() const;  // with `mutex_` held
    std::shared_ptr<PhoneLink> link() const;
    void say(const std::string& line) const;

    CompanionSettings settings_;
    SimulatedPhone phone_;
    Inbox inbox_;
    FileExchange files_;
    MirrorStream stream_;

    mutable std::mutex mutex_;  // guards link_, status_, ringing_, clipboard_, lastKey_, notifCounter_
    mutable std::condition_variable sessionChanged_;
    std::shared_ptr<PhoneLink> link_;
    PhoneStatus status_;
    bool ringing_ = false;
    std::optional<std::string> clipboard_;
    std::string lastKey_;
    int notifCounter_ = 0;

    std::mutex mirrorControl_;  // one start or stop of mirroring at a time (the computer's, the phone's own)
    std::mutex startMutex_;     // guards pendingStart_ and cancelStart_
    std::condition_variable startCancelled_;
    std::thread pendingStart_;
    bool cancelStart_ = false;
};

}  // namespace velmora::companion

#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/model/connection/attempt_context.h"
#include "app/model/connection/attempt_workers.h"
#include "app/model/connection/connection_planner.h"
#include "app/model/connection/error_text.h"
#include "app/model/connection/failure_book.h"
#include "app/model/connection/planner_types.h"
#include "app/model/features/clipboard/clipboard_watch.h"
#include "app/model/features/dispatch/control_event.h"
#include "app/model/features/files/transfer_tables.h"
#include "app/model/features/mirroring/mirror_control.h"
#include "app/model/features/notifications/notification_mirror.h"
#include "app/model/features/notifications/phone_post.h"
#include "app/model/features/phone_app.h"
#include "app/model/features/prefs/preferences.h"
#include "app/model/features/session_tools/speed_test.h"
#include "app/model/model_ports.h"
#include "app/model/observers.h"
#include "app/model/published_state.h"
#include "core/bytes.h"
#include "core/discovery/stale_pairing.h"
#include "core/exec/serial_queue.h"
#include "core/log/log_throttle.h"
#include "core/log/rate_limiter.h"
#include "core/protocol/inbound.h"
#include "core/session/link_session.h"

namespace velmora {

// One connection attempt for the one connect path: what the planner chose, or what the user picked.
struct ConnectRequest {
    std::string label;                     // shown while connecting
    std::string key;                       // candidate key: books failures, names the link kind
    std::optional<std::string> usbSerial;  // the adb serial of a cable phone
    std::string kind = "tcp";              // "tcp" or "ble"
    std::optional<std::string> expected;   // the phone id (or its prefix) that must answer
    bool userInitiated = false;            // only then may pairing start
    double connectTimeout = 0;             // seconds
    std::function<std::shared_ptr<ConnectableTransport>()> make;  // called once, on the attempt's thread
};

// The application model's connection half: start-up and shutdown, the published connection state,
// automatic connecting with its failure book, the one connect path with its handshake watchdog, the
// session's opening and pairing prompt, the heartbeat, loss and reconnect.
//
// Threads: every public member, every published field and every private field without a note belongs to
// the main executor. Each attempt runs on a thread of `workers_`, which then runs its session's receive loop
// and reports through SessionReports, which hops to main. Sends started by the model go through `sendQueue_`
// ("tessel.send"). Every closure posted or scheduled holds the model weakly; every timer is a handle that
// shutdown() cancels.
class AppModel : public std::enable_shared_from_this<AppModel> {
  public:
    static constexpr std::uint16_t phonePort = 47625;
    static constexpr double heartbeatInterval = 3.0;
    static constexpr double watchInterval = 2.0;
    static constexpr double lostDelay = 45.0;
    static constexpr double reconnectDelay = 4.0;
    static constexpr const char* fallbackDeviceName = "Computador";

    // Builds the model and, unless `preview`, brings it to life. Absent when the identity could not be
    // loaded: the user was alerted and the process told to end with status 1.
    static std::shared_ptr<AppModel> create(ModelPorts ports, bool preview);
    // Shuts down if that has not happened yet. Main thread.
    ~AppModel();
    AppModel(const AppModel&) = delete;
    AppModel& operator=(const AppModel&) = delete;

    const PublishedState& state() const { return state_; }
    // `callback` runs on main after the state changed, until the subscription is dropped.
    Subscription observe(std::function<void()> callback) { return observers_.add(std::move(callback)); }
    bool live() const { return live_; }
    // A preview model's whole published state, as discovery and a session would have set it (the snapshot
    // tool's pictures); the observers hear of it on the next turn, as of any change. A model that is not a
    // preview refuses: nothing changes, a line is logged, and the result is false.
    bool setPreviewState(PublishedState state);
    const Identity& identity() const { return *context_->identity; }
    // The session standing now, if any (sends, its phone, its last sign of life).
    std::shared_ptr<LinkSession> liveSession() const { return session_; }
    // Whether the session of that serial (LinkSession::serial) is the one standing now. Main thread.
    bool isLive(std::uint64_t serial) const { return session_ && session_->serial() == serial; }

    // The user's connection order: saved, then the discovery sources follow it, the live link is
    // reconsidered, and an automatic connection may start.
    void setLinkPrefs(std::vector<LinkPref> prefs);
    void applyLinkPrefs();
    void reconsiderConnection();
    // The one connect path; does nothing unless idle. Part of the connection half's seam: the planner's
    // attempts and the user's choices both come here.
    void connect(ConnectRequest request);
    // The user's disconnect: ends the session and connects no more on its own.
    void disconnect();
    // The user's switch away from a slow link: automatic connection on again (a cancel may have turned it
    // off), then the session closes and the connection manager picks the next link itself.
    void switchLink();
    // Stops every source, removes the adb forwards this program created, ends every attempt and session and
    // joins their threads. Idempotent.
    void shutdown();

    // The panel's clipboard and diagnostics actions (features/clipboard, features/diagnostics).
    void setSyncClipboard(bool on);
    void sendClipboardNow();
    void copyDiagnostics();
    // Shows the log file selected in the file manager; checks nothing (the file may not exist yet) and
    // reports nothing.
    void revealLog();
    // The computer's part of the diagnostics report.
    std::string diagnosticReport() const;

    // The live session for the receive threads and the send queue (any thread); the same as liveSession()
    // once main has run what was posted before.
    std::shared_ptr<LinkSession> currentSession() const;

    // Panel notices: shows one at once, replacing the one shown, and clears it `seconds` later.
    void showNotice(const std::string& title, double seconds);
    void showNotice(const std::string& title, std::optional<std::string> text, double seconds);
    // Asks the phone to ring or to stop (flips `ringing`; without a session nothing is sent).
    void toggleRing();
    // Starts a speed test of the live link, unless one runs or no session stands.
    void runBench();

    // The delegate a session's receive loop reports to; also for sessions opened in the background (link
    // upgrades, idle descent), whose close is only logged unless they became the live one.
    std::unique_ptr<SessionDelegate> reportsFor(std::shared_ptr<LinkSession> session);

    // Entry points of the session features.
    // Receive thread (the session's receive loop), called directly by the dispatcher:
    void postNotification(LinkSession& session, const nlohmann::json& message);  // notifications
    void removeNotification(const std::string& key);                             // notifications
    void receiveOffer(LinkSession& session, const nlohmann::json& message);      // files (replies itself)
    void fileAccepted(std::uint32_t tid);                                        // files
    void fileRejected(std::uint32_t tid);       // files: wakes the sender, then the "transfer.rejected" text
    void fileDone(std::uint32_t tid, bool ok);  // files
    void receiveFileChunk(LinkSession& session, ByteView chunk);  // files (file channel)
    // Main executor, after the dispatcher hopped there:
    void mergePhoneApps(std::vector<PhoneApp> apps);  // notifications
    void writeClipboard(std::string text);            // clipboard: size and rate checks already passed
    void finishDiagnostics(std::string phoneBlock);   // diagnostics
    void mirrorStarted(MirrorStart start);            // mirroring
    void mirrorStopped();                             // mirroring
    void mirrorError(std::string text, std::optional<std::string> code);  // mirroring
    void showMirrorNotice(const std::string& text, double seconds);       // mirroring
    void setMirrorControlPaused(bool paused);                             // mirroring

    // ---- Mirroring (features/mirroring/) ----
    // The panel's start and stop of the phone's screen; main thread. Without a session start does nothing.
    void startMirror();
    void stopMirror();
    // The persisted mirroring settings; each is written to the settings file at once.
    void setPlayAudio(bool on);
    void setMuteDevice(bool on);
    void setKeepCapture(bool on);
    void setAllowMirrorCapture(bool on);
    // The phone's picture and sound, on the session's receive thread.
    void mirrorVideo(ByteView packet);
    void mirrorAudio(ByteView packet);
    // ---- end of mirroring ----

    // Notifications and their filter (features/notifications/). notifOn may be called from any thread,
    // notifyLocal too (it hops to main); the rest on main.
    bool notifOn(const std::string& pkg) const;
    void setNotif(const std::string& pkg, bool on);
    void setAllNotif(bool on);
    // A notice of this computer's own: the phone was lost, a file arrived (`revealPath`: clicking it shows
    // that file).
    void notifyLocal(std::string title, std::string body, std::optional<std::string> revealPath = {});
    // The panel asks each time it opens and from its "check again": a notification server missing at start
    // may be running now. Nothing once one answered, nor in preview.
    void refreshPermissions();

    // ---- Discovery and user connections (discovery/) ----
    // The user's choices: a listed phone, a typed address ("host" or "host:port"), and "try again". Each
    // switches automatic connection on and forgets the booked failures; main thread, returns at once.
    void connectTo(const DiscoveredPhone& phone);
    void connectManual(const std::string& text);
    void retryNow();
    // The panel's "search again": a new browse of a new generation, the list emptied at once.
    void restartBrowsing();
    // The installer's candidates (cable phones without the companion app), by adb serial: hidden from the
    // cable list until the app is there.
    void setInstallerCandidates(std::vector<std::string> serials);
    bool isPaired(const DiscoveredPhone& phone) const;
    // Whether the phone asks to be paired, merged over its network and Bluetooth sightings.
    std::optional<bool> pairFlag(const DiscoveredPhone& phone) const;
    // Pairings whose phone now shows up under a new id; forgetting one asks the user first.
    std::vector<StalePair> stalePairs() const;
    void confirmForgetStale(const Peer& peer);
    // The stored gateway -> phone id map of the phones' hotspots (valid entries only).
    std::map<std::string, std::string> hotspotPeers();
    void learnHotspot(const std::string& gateway, const std::string& peer);
    void rememberAddrs(const std::string& peer, const std::vector<std::string>& ips);
    // The phone's "net.offer": its addresses and port; only the live session's (by serial) counts.
    void handleOffer(std::uint64_t from, const std::vector<std::string>& ips, std::uint16_t port);
    // Where a network phone is reached: its advertised address on the phone port, else its endpoint.
    static std::optional<TcpEndpoint> netEndpoint(const DiscoveredPhone& phone);
    // ---- end of discovery and user connections ----

    // Files (features/files/): what the panel and the tray call, on main.
    // Sends each file (folders skipped) on the session standing now, one worker per file, all at once.
    void sendFiles(std::vector<std::filesystem::path> files);
    void pickAndSendFiles();
    // Show or open a received file; anything outside the received-files folder, or gone, opens the folder.
    void revealReceived(const std::filesystem::path& file);
    void openReceived(const std::filesystem::path& file);
    // True while a file is being received, offered, sent or waited for; no link upgrade starts then. Any
    // thread.
    bool hasTransferWork() const;
    // The received-files folder.
    std::filesystem::path downloadsDir() const;

    // ---- Link upgrades, idle descent and wake (upgrade/) ----
    // True when the live link is Bluetooth and a cable phone or a paired phone on the local network is in
    // sight: the panel offers the fast link then. Main thread.
    bool fastLinkAvailable() const;
    // Runs `work` now, or, while the link rests on Bluetooth, once the climb back to the fast link has
    // finished (at most SessionSwap::wakeWaitSeconds later). Should the session end first, the work is
    // dropped and `dropped` runs instead. Main thread; for sending files and mirroring.
    void afterWake(std::function<void()> work, std::function<void()> dropped = {});
    // ---- end of link upgrades, idle descent and wake ----

    // ---- Inline preferences (features/prefs/) ----
    // The five switches, kept in the settings file under their own names. Main thread.
    bool preference(Preference which) const;
    void setPreference(Preference which, bool on);
    // The connection order as the preferences change it: each call assigns the new list and goes through
    // setLinkPrefs, then logs the change; a call that changes nothing (a kind not listed, a move past
    // either end, a drop onto itself) logs nothing. A preset replaces the whole list and logs `logLine`,
    // even when the list already held it. Main thread.
    void setLinkEnabled(ConnKind kind, bool on);
    void moveLink(ConnKind kind, std::int64_t by);
    void reorderLink(ConnKind kind, ConnKind before);
    void applyLinkPreset(std::vector<LinkPref> prefs, const std::string& logLine);
    // Forgets a paired phone: out of the peer store and of `paired`; a live session with it goes on. When
    // "peers.json" could not be written the phone is gone for this run only and would pair itself again after
    // a restart, so the user is told by a panel notice and the failure is logged; false then. Main thread.
    bool forgetPaired(const std::string& id);
    // ---- end of inline preferences ----

  private:
    friend class SessionReports;
    struct Token {};

  public:
    AppModel(Token, ModelPorts ports, bool preview);

  private:
    // Start-up (app_model.cpp).
    bool loadIdentity();
    void comeAlive();
    void armClipboardPoll();
    PublishedState& edit();
    void publish();
    void post(std::function<void(AppModel&)> work);
    TimerHandle after(double seconds, std::function<void(AppModel&)> work);
    double now() const { return ports_.main->now(); }
    bool enabled(ConnKind kind) const;

    // Seams of the discovery, upgrade and idle issues (discovery_seams.cpp).
    void startBrowsing();
    void stopBrowsing();
    void applyUsbPhones();
    void applyBlePhones(std::vector<BlePhone> phones);
    void refreshGateway();

    // Automatic connection (connection/auto_connect.cpp).
    PlannerInput plannerInput();
    void maybeAutoConnect();
    void markFailure(const std::string& key);
    void start(const Attempt& attempt);
    // The TCP transport of one attempt, its every state change written to the log ("conexão de rede: ..."),
    // so the log a user sends tells why a connection failed. Any thread.
    static std::shared_ptr<ConnectableTransport> makeNW(TransportFactory& transports,
                                                        const TcpEndpoint& endpoint);

    // The connect path (connection/connect_path.cpp).
    static void runAttempt(std::weak_ptr<AppModel> model, std::shared_ptr<AttemptContext> context,
                           AttemptWorkers& workers, ConnectRequest request,
                           std::shared_ptr<AttemptWatch> watch, std::shared_ptr<TransportFactory> transports);
    void watchHandshake(const std::shared_ptr<AttemptWatch>& watch);
    void sessionOpened(const std::shared_ptr<LinkSession>& session, const ConnectRequest& request,
                       const std::string& label);
    void attemptFailed(const Failure& failure, const ConnectRequest& request);

    // Opening (connection/session_opening.cpp); on the attempt's thread.
    static std::shared_ptr<LinkSession> openSession(AttemptContext& context,
                                                    std::shared_ptr<Transport> transport, bool userInitiated,
                                                    const std::optional<std::string>& expected,
                                                    const std::string& kind);

    // Session life (connection/heartbeat.cpp, connection/session_close.cpp).
    void startHeartbeat();
    void heartbeatTick();
    void send(nlohmann::json message);
    void pushNotifFilter();
    void sessionClosed(const std::shared_ptr<LinkSession>& session, const std::optional<Failure>& error);
    void armLostTimer();
    void scheduleReconnect();
    void setSession(std::shared_ptr<LinkSession> session, std::string linkKind = "tcp");

    // The phone's control messages, on the receive thread (features/dispatch/), and what they do on main.
    void dispatchControl(LinkSession& session, const nlohmann::json& message);
    void onMainLive(std::function<void(AppModel&)> work);
    void phoneControl(std::uint64_t from, PhoneControlNotice notice);
    void phoneError(std::string text);
    void benchTimedOut(std::uint64_t run);

    // Notifications (features/notifications/).
    void loadNotifSettings();
    void setUpNotifications();
    void learnApp(const std::string& pkg, const std::string& name);
    void setPhoneApps(std::vector<PhoneApp> apps);
    void setNotifOverrides(std::map<std::string, bool> overrides);
    void setNotifDefault(bool on);
    void showPhonePost(const PhonePost& post);
    void noticeEvent(const NoticeEvent& event);

    // The phone's messages the connection half reads (connection/control_dispatch.cpp).
    void phoneStatus(std::uint64_t from, const Inbound::Status& status);
    void applyPhoneStatus(std::optional<bool> screen, bool fast, std::optional<bool> locks);

    // Clipboard sync (features/clipboard/clipboard_sync.cpp).
    void loadClipboardSync();
    void pollClipboard();
    // Diagnostics (features/diagnostics/diagnostics.cpp).
    void completeDiagnostics(std::optional<std::string> phoneBlock);
    // Files (features/files/receiving.cpp, features/files/sending.cpp).
    // A failure's text is also kept as the failure, so the panel draws it as one.
    enum class TransferTone { progress, failure };
    void setTransfer(std::optional<std::string> text, TransferTone tone = TransferTone::progress);
    void replyFile(LinkSession& session, const nlohmann::json& message) const;
    void completeIncoming(LinkSession& session, IncomingFile& file);
    void failIncoming(LinkSession& session, IncomingFile& file);
    void watchStall(std::uint32_t tid, std::weak_ptr<IncomingFile> file, double delay);
    void sendFile(const std::filesystem::path& path, LinkSession& session);
    bool streamFile(int fd, std::int64_t size, std::uint32_t tid, LinkSession& session,
                    const std::string& name);
    void endTransfers();

    ModelPorts ports_;
    const bool preview_;
    std::shared_ptr<AttemptContext> context_;
    PublishedState state_;
    PublishedState published_;  // as the observers last saw it
    bool publishPosted_ = false;
    ObserverList observers_;

    std::vector<DiscoveredPhone> rawUsbPhones_;
    FailureBook failures_;
    std::unique_ptr<SerialQueue> sendQueue_;
    AttemptWorkers workers_;
    bool live_ = false;
    bool shutDown_ = false;
    bool browsing_ = false;
    std::optional<std::string> gatewayIP_;
    std::optional<std::string> connectingViaUsb_;
    std::optional<double> sessionOpenedAt_;
    std::string sessionKindLabel_;
    std::optional<bool> phoneScreenOn_;
    std::optional<double> phoneScreenOffSince_;
    bool phoneFast_ = false;
    std::optional<bool> phoneLocks_;
    bool descending_ = false;
    double preferBleUntil_ = 0;
    std::optional<std::string> idleNote_;
    struct WakeWaiter {
        std::function<void()> work;
        std::function<void()> dropped;  // may be empty
    };
    std::vector<WakeWaiter> wakeWaiters_;
    std::optional<std::string> activeUsbSerial_;
    double lastPingAt_ = 0;
    bool switchingLink_ = false;
    std::shared_ptr<LinkSession> session_;
    mutable std::mutex liveLock_;  // guards liveForReceive_ and liveLinkKind_, read on any thread
    std::shared_ptr<LinkSession> liveForReceive_;
    std::string liveLinkKind_ = "tcp";  // "tcp" or "ble", as `linkKind`
    bool autoConnect_ = true;
    std::uint16_t knownPort_ = phonePort;
    bool upgrading_ = false;
    std::int64_t upgradeTick_ = 0;
    // The transfer tables, under their own mutex; the received-files folder is fixed at construction.
    std::unique_ptr<FileTransfers> files_;
    std::unique_ptr<NotificationMirror> notifications_;  // never null
    std::uint64_t localNotices_ = 0;                     // names the next local notice
    std::unique_ptr<ClipboardWatch> clipWatch_;          // absent without a clipboard port
    std::optional<TimerHandle> diagWait_;  // present exactly while the phone's report is awaited

    // Control dispatch, ring and speed test. Receive threads: pongCount_ (atomic), speedTest_ (its own
    // mutex), clipLimiter_ and clipLog_ (their own locks).
    ControlPauseState controlPause_;
    std::atomic<std::int64_t> pongCount_{0};
    SpeedTest speedTest_;
    RateLimiter clipLimiter_;
    LogThrottle clipLog_;

    // Timers: every one is cancelled by shutdown().
    TimerHandle heartbeat_;
    std::optional<TimerHandle> lostWork_;  // present once armed; it stays armed until cancelled
    TimerHandle reconnectWork_;
    TimerHandle watchdog_;
    TimerHandle clipTimer_;
    TimerHandle panelNoticeWork_;
    TimerHandle benchTimeout_;
    std::vector<std::pair<double, TimerHandle>> replans_;  // due time and handle, of the pending re-plans

    // ---- Mirroring (features/mirroring/) ----
    friend class MirrorEvents;
    void loadMirrorSettings();
    std::shared_ptr<MirrorScreen> ensureMirrorWindow();
    void showMirror(std::int64_t width, std::int64_t height);
    void mirrorWindowClosed(const MirrorScreen* window);
    void setMirrorWindow(std::shared_ptr<MirrorScreen> window);
    void watchConnectionForMirror();
    void retryMirror(const MirrorScreen* window);
    MirrorLinkStatus mirrorLinkStatus() const;
    void requestKeyframe();
    void sendMirror(std::shared_ptr<LinkSession> session, nlohmann::json message);
    // The session ended (connection half): the run ends; the window waits for the reconnect or closes.
    void mirrorSessionEnded(bool waitForReconnect);
    void setMirrorStalled(bool stalled);
    void mirrorShutdown();     // the window goes and the sound stops, nothing is sent
    void awaitMirrorAnswer();  // bounds the wait for the phone's first answer to "mirror.start"
    void mirrorAnswered();
    std::unique_ptr<MirrorControl> mirror_ = std::make_unique<MirrorControl>();
    // ---- end of mirroring ----

    // ---- Discovery and user connections (discovery/) ----
    void browseResults(std::uint64_t generation, const std::vector<DnsSdService>& services);
    void browseState(std::uint64_t generation, DnsSdBrowser::State browserState, const std::string& error);
    void logPairFlags();
    void setHotspotPeers(const std::map<std::string, std::string>& peers, const std::string& keep);
    // Counts browser starts and stops; a browser's report of another generation is dropped on main. Written
    // on main; atomic so that any thread may read it.
    std::atomic<std::uint64_t> browserGeneration_{0};
    std::vector<std::string> installerSerials_;
    std::map<std::string, std::string> lastPairLog_;  // pairing-flag texts logged last, by log key
    LogThrottle discoveryLog_{30.0, [main = ports_.main] { return main->now(); }};
    TimerHandle retryWork_;
    TimerHandle browseRestart_;
    std::optional<std::string> browseError_;  // the text a failed browse showed in lastError
    std::int64_t browseFailures_ = 0;         // failed browses in a row, across restarts
    // ---- end of discovery and user connections ----

    // ---- Link upgrades, idle descent and wake (upgrade/) ----
    // A try of an upgrade: its candidate key and where it connects.
    struct LinkTry {
        std::string key;
        TcpEndpoint endpoint;
    };
    // What a session opened beside the live one brings back to main.
    struct BesideSession {
        std::shared_ptr<LinkSession> session;             // absent when the open failed
        std::string key;                                  // the winning try's candidate key (upgrades)
        std::string kind;                                 // its transport kind: "tcp", "ble" or "l2cap"
        std::shared_ptr<ConnectableTransport> transport;  // tracked by the workers until the loop ends
    };
    void handleWake();
    void considerUpgrade();
    std::vector<LinkTry> upgradeTries(const std::vector<ConnectionPlanner::UpgradeTry>& planned) const;
    void upgradeFinished(BesideSession opened, std::shared_ptr<LinkSession> replaced, ConnKind kind);
    void evaluateIdle();
    void runDescend(const std::string& bleID, std::shared_ptr<LinkSession> replaced);
    void descentFinished(BesideSession opened, std::shared_ptr<LinkSession> replaced);
    void wakeFromIdle(const std::string& reason);
    void flushWake();
    void dropWakeWaiters();  // the session ended: each waiter's `dropped`, in order
    // Puts `fresh` in the place of the live session and closes the old one, whose close report then takes
    // the quiet road; the link fields are the caller's.
    void swapIn(const std::shared_ptr<LinkSession>& fresh, const std::shared_ptr<LinkSession>& replaced);
    // A delayed task of this part; shutdown() cancels the ones still pending.
    void linkAfter(double seconds, std::function<void(AppModel&)> work);
    // On a worker: the session beside the live one, over `transport`, cut by closing the transport once
    // `guardSeconds` have passed. Throws what connecting or opening threw.
    static BesideSession openBeside(AttemptContext& context, AttemptWorkers& workers,
                                    const TransportFactory& transports,
                                    const std::shared_ptr<ConnectableTransport>& transport,
                                    double connectTimeout, double guardSeconds, const std::string& expected,
                                    const std::string& kind);
    // On a worker: runs a won session's receive loop until it ends, then lets its transport go.
    static void runBeside(std::weak_ptr<AppModel> model, const std::shared_ptr<AttemptContext>& context,
                          AttemptWorkers& workers, const BesideSession& opened);
    static void runUpgrade(std::weak_ptr<AppModel> model, std::shared_ptr<AttemptContext> context,
                           AttemptWorkers& workers, std::shared_ptr<TransportFactory> transports,
                           ConnKind kind, std::vector<LinkTry> tries, std::shared_ptr<LinkSession> replaced);
    static void descendOnWorker(std::weak_ptr<AppModel> model, std::shared_ptr<AttemptContext> context,
                                AttemptWorkers& workers, std::shared_ptr<TransportFactory> transports,
                                std::string bleID, std::shared_ptr<LinkSession> replaced);

    // Candidate key -> the time until which it is not offered as an upgrade again.
    std::map<std::string, double, std::less<>> upgradeCooldown_;
    double descendCooldownUntil_ = 0;  // no descent before this
    std::vector<TimerHandle> linkTimers_;
    // ---- end of link upgrades, idle descent and wake ----

    // ---- The panel's phone list: cancel and the lost phone (connection/cancel_connecting.cpp) ----
  public:
    // The user's cancel of the connection in progress: no automatic attempt follows, and the attempt's
    // transport is closed (or never opens, when it does not exist yet); the attempt's own failure handling
    // then publishes idle. With no attempt running it only turns automatic connecting off. Main thread.
    void cancelConnecting();

  private:
    // The running attempt, for cancelConnecting(); set by connect(), expired once the attempt is gone.
    std::weak_ptr<AttemptWatch> connectingWatch_;
    // Keeps the name of the phone whose live session ended, for the lost body.
    void rememberLostPeer(const LinkSession& closed);
    // ---- end of the panel's phone list ----

    // ---- Companion-app installer (discovery/installer_link.cpp) ----
  public:
    // The model's installer, made on first use with the adb path the cable port located and kept for the
    // model's life. A live model starts its polling with discovery, hides its candidates from the cable
    // list and tells the observers of each change; a preview model never starts it. Main thread.
    CompanionInstaller& installer();

  private:
    void installerChanged();
    std::unique_ptr<CompanionInstaller> installer_;  // declared last: it goes first, its queue with it
    bool installerNews_ = false;  // the next publish() tells the observers even if state_ is same
    // ---- end of the companion-app installer ----
};

}  // namespace velmora

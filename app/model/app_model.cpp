#include "app/model/app_model.h"

#include "app/model/features/clipboard/clipboard_policy.h"
#include "app/model/features/files/received_folder.h"
#include "app/model/preview_identity.h"
#include "core/errors/crypto_error.h"
#include "core/errors/friendly_errors.h"
#include "core/l10n/l10n.h"
#include "core/log/velmora_log.h"

namespace velmora {

namespace {

struct AlertWords {
    std::string title, text;
};

// The alert for an identity that could not be loaded, in the texts' current language.
AlertWords identityAlert(const std::exception& error) {
    // Stored bytes that are no P-256 key: trying again cannot help, so the generic text would mislead.
    const bool damaged = dynamic_cast<const CryptoError*>(&error) != nullptr;
    return {L10n::string("err.identity_alert.title"),
            damaged ? FriendlyErrors::identityDamaged() : FriendlyErrors::text(error)};
}

// The clipboard poll of the session features.
constexpr double kClipboardPeriod = 0.6;
// The phone's clipboard writes beyond their limit are logged at most every 30 s.
constexpr double kClipLogInterval = 30.0;
}  // namespace

std::shared_ptr<AppModel> AppModel::create(ModelPorts ports, bool preview) {
    auto model = std::make_shared<AppModel>(Token{}, std::move(ports), preview);
    if (!model->loadIdentity()) return nullptr;
    if (!preview) model->comeAlive();
    return model;
}

AppModel::AppModel(Token, ModelPorts ports, bool preview)
    : ports_(std::move(ports)),
      preview_(preview),
      context_(std::make_shared<AttemptContext>()),
      clipLimiter_(ClipboardPolicy::makePhoneWriteLimiter([main = ports_.main] { return main->now(); })),
      clipLog_(kClipLogInterval, [main = ports_.main] { return main->now(); }) {
    std::filesystem::path received;
    if (ports_.workspace) {
        const std::filesystem::path downloads = ports_.workspace->downloadsFolder();
        if (!downloads.empty()) received = downloads / ReceivedFolder::subfolder;
    }
    files_ = std::make_unique<FileTransfers>(received);
    state_.linkPrefs = LinkPrefs::load(*ports_.settings);
    loadClipboardSync();
    loadMirrorSettings();
    published_ = state_;
    context_->main = ports_.main;
    context_->prompt = ports_.pairing;
    context_->features = ports_.features;
    loadNotifSettings();
}

AppModel::~AppModel() {
    shutdown();
}

// The identity and the peer store; false after the fatal alert.
bool AppModel::loadIdentity() {
    if (preview_) {
        context_->identity = std::make_shared<PreviewIdentity>();
        context_->store = std::make_shared<FilePeerStore>(std::filesystem::temp_directory_path() /
                                                          "corvix-preview-peers.json");
        return true;
    }
    std::string name = ports_.hostName->computerName();
    if (name.empty()) name = fallbackDeviceName;
    try {
        context_->identity = ports_.loadIdentity(name);
    } catch (const std::exception& e) {
        // The alert's text is the user's; the log keeps the cause (an errno, a secret-store status), and the
        // alert's own words in Portuguese.
        VelmoraLog::write(std::string("identidade não carregada: ") + e.what());
        const AlertWords logged = L10n::forLog([&e] { return identityAlert(e); });
        VelmoraLog::write("alerta: " + logged.title + " | " + logged.text);
        const AlertWords shown = identityAlert(e);
        ports_.alerts->showFatal(shown.title, shown.text);
        ports_.alerts->exitProcess(1);
        return false;
    }
    const auto store = std::make_shared<FilePeerStore>(ports_.supportDir / "peers.json");
    if (store->ignoredUnsafeFile()) {
        VelmoraLog::write(
            "peers.json ignorado: não é um arquivo comum só deste usuário, ou outros podem gravá-lo; "
            "vai para peers.json.bad (ou o próximo nome livre) na próxima gravação");
    }
    context_->store = store;
    return true;
}

// Start-up in real mode, in this order; every handler holds the model weakly.
void AppModel::comeAlive() {
    const std::weak_ptr<AppModel> weak = weak_from_this();
    sendQueue_ = std::make_unique<SerialQueue>("tessel.send");
    edit().paired = context_->store->all();
    if (!files_->folder().empty()) ReceivedFolder::setUp(files_->folder());
    ports_.usb->setOnChange([weak, main = ports_.main](std::vector<DiscoveredPhone> phones) {
        main->post([weak, phones = std::move(phones)]() mutable {
            const auto model = weak.lock();
            if (!model || model->shutDown_) return;
            model->rawUsbPhones_ = std::move(phones);
            model->applyUsbPhones();
            model->maybeAutoConnect();
        });
    });
    ports_.bluetooth->setHandlers({
        [weak](int bluetoothState) {
            const auto model = weak.lock();
            if (!model || model->shutDown_) return;
            VelmoraLog::write("estado do Bluetooth do computador: " + std::to_string(bluetoothState) +
                              " (5 = ligado)");
            model->edit().bluetoothState = bluetoothState;
        },
        [weak](std::vector<BlePhone> phones) {
            const auto model = weak.lock();
            if (model && !model->shutDown_) model->applyBlePhones(std::move(phones));
        },
    });
    ports_.network->start([weak, main = ports_.main] {
        main->post([weak] {
            const auto model = weak.lock();
            if (model && !model->shutDown_) model->refreshGateway();
        });
    });
    ports_.wake->start([weak, main = ports_.main] {
        main->post([weak] {
            const auto model = weak.lock();
            if (model && !model->shutDown_) model->handleWake();
        });
    });
    refreshGateway();
    live_ = true;
    installer().start();
    applyLinkPrefs();
    setUpNotifications();
    armClipboardPoll();
}

// A repeating timer: each tick arms the next.
void AppModel::armClipboardPoll() {
    clipTimer_ = after(kClipboardPeriod, [](AppModel& model) {
        model.pollClipboard();
        model.armClipboardPoll();
    });
}

void AppModel::setLinkPrefs(std::vector<LinkPref> prefs) {
    edit().linkPrefs = std::move(prefs);
    LinkPrefs::save(*ports_.settings, state_.linkPrefs);
    applyLinkPrefs();
    reconsiderConnection();
    maybeAutoConnect();
}

bool AppModel::enabled(ConnKind kind) const {
    return LinkPrefs::isEnabled(state_.linkPrefs, kind);
}

void AppModel::applyLinkPrefs() {
    if (!live_) return;
    if (enabled(ConnKind::wifi) && !browsing_) startBrowsing();
    if (!enabled(ConnKind::wifi) && browsing_) stopBrowsing();
    if (enabled(ConnKind::usb)) {
        ports_.usb->start();
    } else {
        ports_.usb->stop();
        rawUsbPhones_.clear();
        if (!state_.usbPhones.empty()) edit().usbPhones.clear();
    }
    if (enabled(ConnKind::ble)) {
        ports_.bluetooth->start();
    } else {
        ports_.bluetooth->pause();
        if (!state_.blePhones.empty()) edit().blePhones.clear();
    }
}

void AppModel::reconsiderConnection() {
    if (!live_ || !autoConnect_) return;
    if (state_.state.kind() != ConnState::Kind::connected) return;
    if (!state_.activeKind || context_->pairingPrompted.load()) return;
    if (enabled(*state_.activeKind)) {
        considerUpgrade();
        return;
    }
    VelmoraLog::write("trocando de conexão: " + std::string(rawValue(*state_.activeKind)) + " foi desligado");
    switchingLink_ = true;
    if (session_) session_->close();
}

void AppModel::shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    const bool wasLive = live_;
    live_ = false;
    autoConnect_ = false;
    for (const TimerHandle* timer :
         {&heartbeat_, &reconnectWork_, &watchdog_, &clipTimer_, &panelNoticeWork_, &benchTimeout_})
        timer->cancel();
    if (diagWait_) diagWait_->cancel();
    if (lostWork_) lostWork_->cancel();
    for (const auto& [due, replan] : replans_)
        replan.cancel();
    for (const TimerHandle& timer : linkTimers_)
        timer.cancel();
    if (wasLive) {
        ports_.network->stop();
        ports_.wake->stop();
        if (browsing_) stopBrowsing();
        ports_.usb->stop();
        // Also with the cable kind switched off: forwards made while it was on are still there.
        ports_.usb->removeCreatedForwards();
    }
    // An install in flight ends with the program: its adb child and its staged copy go now.
    if (installer_) installer_->stop();
    // Refuse a prompt that is showing, end every attempt and session, and join their threads.
    if (ports_.pairing) ports_.pairing->dismissAll();
    if (session_) session_->close();
    workers_.stop();
    files_->stop();
    mirrorShutdown();
    sendQueue_.reset();
    session_.reset();
}

PublishedState& AppModel::edit() {
    if (!publishPosted_) {
        publishPosted_ = true;
        post([](AppModel& model) { model.publish(); });
    }
    return state_;
}

bool AppModel::setPreviewState(PublishedState state) {
    if (!preview_) {
        VelmoraLog::write("estado de pré-visualização recusado: o modelo não é de pré-visualização");
        return false;
    }
    edit() = std::move(state);
    return true;
}

// Observers hear of a change once per turn of the main executor, and only when something differs.
void AppModel::publish() {
    publishPosted_ = false;
    if (state_ == published_ && !installerNews_) return;
    installerNews_ = false;
    published_ = state_;
    observers_.notify();
}

void AppModel::post(std::function<void(AppModel&)> work) {
    ports_.main->post([weak = weak_from_this(), work = std::move(work)] {
        if (const auto model = weak.lock()) work(*model);
    });
}

TimerHandle AppModel::after(double seconds, std::function<void(AppModel&)> work) {
    return ports_.main->postAfter(seconds, [weak = weak_from_this(), work = std::move(work)] {
        const auto model = weak.lock();
        if (model && !model->shutDown_) work(*model);
    });
}

}  // namespace velmora

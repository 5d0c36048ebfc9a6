#include "app/entry/app_ports.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <cstdlib>

#include "app/entry/quit_signals.h"
#include "app/links/ble/ble_central_port.h"
#include "app/links/ble/ble_transport.h"
#include "app/links/installer/phone_installer.h"
#include "app/links/usb_bridge_link.h"
#include "app/mirror/control/qt_mirror_screens.h"
#include "app/mirror/control/qt_mirror_sound.h"
#include "app/shell/pairing/qt_pairing_prompt.h"
#include "core/identity/keychain_identity.h"
#include "core/log/velmora_log.h"
#include "core/net/net_info.h"
#include "core/settings/json_file_settings.h"
#include "core/storage/app_paths.h"
#include "core/transport/tcp_transport.h"
#include "platform/clipboard/qt_clipboard.h"
#include "platform/dnssd/avahi_browser.h"
#include "platform/hostname/system_host_name.h"
#include "platform/netmon/rtnetlink_monitor.h"
#include "platform/notifications/freedesktop_notifications.h"
#include "platform/notifications/reply_dialog.h"
#include "platform/secret/libsecret_store.h"
#include "platform/wake/logind_wake_source.h"
#include "platform/workspace/desktop_workspace.h"

#if VELMORA_WITH_BLE
#include "app/links/ble/qt/qt_ble_stack.h"
#endif

namespace velmora {
namespace {

// TCP, and Bluetooth LE through `central` (none: this build has no Bluetooth link). The model joins its
// attempts and drops its session before its ports go, so no transport outlives the central.
class SystemTransports final : public TransportFactory {
  public:
    explicit SystemTransports(std::shared_ptr<BleCentral> central) : central_(std::move(central)) {}

    std::shared_ptr<ConnectableTransport> tcp(const TcpEndpoint& endpoint) override {
        return std::make_shared<TcpTransport>(endpoint.host, endpoint.port);
    }
    std::shared_ptr<ConnectableTransport> ble(const std::string& id) override {
        if (!central_) return nullptr;
        return std::make_shared<BleTransport>(*central_, id);
    }
    std::string label(const ConnectableTransport& transport, const std::string& kind) const override {
        if (const auto* ble = dynamic_cast<const BleTransport*>(&transport))
            return ble->mode() == "l2cap" ? "l2cap" : "ble";
        return kind;
    }

  private:
    const std::shared_ptr<BleCentral> central_;
};

#if !VELMORA_WITH_BLE
// This build has no Bluetooth link: the central finds nothing.
class NoBluetooth final : public BluetoothCentral {
  public:
    void setHandlers(Handlers) override {}
    void start() override {}
    void pause() override {}
};
#endif

class DialogAlerts final : public Alerts {
  public:
    explicit DialogAlerts(EntryLinks* entry) : entry_(entry) {}

    // A quit signal closes the alert as the user's button would: the main loop, which quit() ends, has not
    // started yet, so only the dialog's own loop hears it. The model has logged the alert's words.
    void showFatal(const std::string& title, const std::string& text) override {
        const QuitSignals* quit = entry_ ? entry_->quit : nullptr;
        if (quit && quit->requested()) return;  // told to end before the alert could show
        // The title is the message's first line, not only the window's: without a window manager, and on
        // desktops that hide dialog titles, it would not be seen at all.
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Velmora"), QString::fromStdString(title),
                        QMessageBox::Ok);
        box.setInformativeText(QString::fromStdString(text));
        if (quit) {
            QObject::connect(quit, &QuitSignals::quitRequested, &box, [&box] {
                VelmoraLog::write("alerta fechado pelo sinal de encerramento");
                box.reject();
            });
        }
        box.exec();
    }
    // The model calls this only where its start-up gives up; the entry then returns the status.
    void exitProcess(int status) override {
        VelmoraLog::flush();
        if (!entry_) std::exit(status);
        entry_->exitStatus = status;
    }
    std::size_t choose(const std::string& message, const std::string& text,
                       const std::vector<std::string>& buttons) override {
        QMessageBox box;
        box.setText(QString::fromStdString(message));
        box.setInformativeText(QString::fromStdString(text));
        std::vector<QAbstractButton*> added;
        for (const std::string& title : buttons)
            added.push_back(box.addButton(QString::fromStdString(title), QMessageBox::AcceptRole));
        if (!added.empty()) {
            box.setDefaultButton(qobject_cast<QPushButton*>(added.front()));
            box.setEscapeButton(added.front());
        }
        box.exec();
        for (std::size_t i = 0; i < added.size(); ++i)
            if (box.clickedButton() == added[i]) return i;
        return 0;
    }

  private:
    EntryLinks* const entry_;
};

}  // namespace

ModelPorts applicationPorts(std::shared_ptr<Executor> main, std::shared_ptr<QtPairingPrompt> prompt,
                            EntryLinks* entry) {
    ModelPorts ports;
    ports.main = std::move(main);
    ports.settings = std::make_shared<JsonFileSettings>(
        JsonFileSettings::defaultPath(), [](const std::string& line) { VelmoraLog::write(line); });
    ports.loadIdentity = [entry](const std::string& name) -> std::unique_ptr<Identity> {
        // A keyring that does not exist yet, or is locked, asks for its password in a prompt of its own and
        // holds this thread until answered; Ctrl+C or SIGTERM must still end the program meanwhile.
        const QuitSignals::EndAtOnce waitForKeyring(entry ? entry->quit : nullptr);
        LibsecretStore store;
        return std::make_unique<KeychainIdentity>(name, store);
    };
    ports.supportDir = AppPaths::supportDir();
#if VELMORA_WITH_BLE
    const auto stack = std::make_shared<QtBleStack>(ports.main);
    const std::shared_ptr<BleCentral> central(stack, &stack->central());
    ports.transports = std::make_shared<SystemTransports>(central);
    ports.bluetooth = std::make_shared<BleCentralPort>(central);
#else
    ports.transports = std::make_shared<SystemTransports>(nullptr);
    ports.bluetooth = std::make_shared<NoBluetooth>();
#endif
    ports.browser = std::make_shared<AvahiBrowser>();
    ports.usb = std::make_shared<UsbBridgeLink>(std::make_unique<UsbBridge>());
    // The installer runs the adb the cable port located, on its own queue with the installed package.
    ports.makeInstaller = [main = ports.main](std::optional<std::string> adbPath) {
        return std::make_unique<PhoneInstaller>(std::move(adbPath), main);
    };
    ports.pairing = std::move(prompt);
    ports.alerts = std::make_shared<DialogAlerts>(entry);
    ports.network = std::make_shared<RtnetlinkMonitor>();
    ports.wake = std::make_shared<LogindWakeSource>();
    ports.hostName = std::make_shared<SystemHostName>();
    ports.notifications = std::make_shared<FreedesktopNotifications>(&ReplyDialog::ask);
    auto workspace = std::make_shared<DesktopWorkspace>();
    ports.workspace = workspace;
    ports.revealFile = [workspace](const std::string& path) { workspace->reveal(path); };
    ports.clipboard =
        std::make_shared<QtClipboard>(QGuiApplication::clipboard(), QtClipboard::currentSession(),
                                      [] { return QGuiApplication::focusWindow() != nullptr; });
    ports.mirrorScreens = std::make_shared<QtMirrorScreens>(*ports.main, ports.settings.get());
    ports.mirrorSound = std::make_shared<QtMirrorSound>();
    ports.sameSubnet = [](const std::string& address) { return NetInfo::sameSubnet(address); };
    return ports;
}

}  // namespace velmora

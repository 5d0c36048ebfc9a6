#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/model/features/feature_half.h"
#include "app/model/ports/alerts.h"
#include "app/model/ports/bluetooth_central.h"
#include "app/model/ports/clipboard.h"
#include "app/model/ports/companion_installer.h"
#include "app/model/ports/dns_sd_browser.h"
#include "app/model/ports/host_name.h"
#include "app/model/ports/mirror_screen.h"
#include "app/model/ports/mirror_sound.h"
#include "app/model/ports/network_monitor.h"
#include "app/model/ports/notification_server.h"
#include "app/model/ports/pairing_prompt.h"
#include "app/model/ports/transport_factory.h"
#include "app/model/ports/usb_link.h"
#include "app/model/ports/wake_source.h"
#include "app/model/ports/workspace.h"
#include "core/exec/executor.h"
#include "core/identity/identity.h"
#include "core/settings/settings.h"

namespace velmora {

// Everything the model reaches outside itself. The application wires the real things, the tests fakes.
struct ModelPorts {
    std::shared_ptr<Executor> main;  // the main executor; its clock is the model's clock
    std::shared_ptr<Settings> settings;
    // Loads or creates the computer's identity under `deviceName`; throws when it cannot.
    std::function<std::unique_ptr<Identity>(const std::string& deviceName)> loadIdentity;
    std::filesystem::path supportDir;  // holds "peers.json"
    std::shared_ptr<TransportFactory> transports;
    std::shared_ptr<DnsSdBrowser> browser;
    std::shared_ptr<BluetoothCentral> bluetooth;
    std::shared_ptr<UsbLink> usb;
    std::shared_ptr<PairingPrompt> pairing;
    std::shared_ptr<Alerts> alerts;
    std::shared_ptr<NetworkMonitor> network;
    std::shared_ptr<WakeSource> wake;
    std::shared_ptr<HostName> hostName;
    std::shared_ptr<FeatureHalf> features = std::make_shared<FeatureHalf>();
    // Whether an IPv4 address lies on one of the computer's subnets (NetInfo::sameSubnet in the application).
    std::function<bool(const std::string& address)> sameSubnet;
    // ---- Discovery (discovery/) ----
    // The default gateway now (blocking, called off main); DefaultGateway::read when not set.
    std::function<std::optional<std::string>()> defaultGateway;
    // The computer's "name addr/prefix" IPv4 entries; NetInfo::ipv4Interfaces when not set.
    std::function<std::vector<std::string>()> interfaces;
    std::shared_ptr<NotificationServer> notifications;  // none: nothing is shown on the desktop
    // Shows a file in the file manager (a click on the notice of a received file).
    std::function<void(const std::string& path)> revealFile;
    std::shared_ptr<Clipboard> clipboard;  // none: no clipboard sync, the report is not placed
    // The downloads folder, reveal and open, the file picker; without one no file is received.
    std::shared_ptr<Workspace> workspace;
    // ---- Mirroring (features/mirroring/) ----
    // The mirror windows and the sound player; without them mirroring asks the phone but shows and plays
    // nothing.
    std::shared_ptr<MirrorScreens> mirrorScreens;
    std::shared_ptr<MirrorSound> mirrorSound;
    // ---- end of mirroring ----
    // ---- Companion-app installer (discovery/installer_link.cpp) ----
    // Makes the model's installer on first use, given the adb path the cable port located (absent: none).
    // Unset: one that never finds a phone.
    std::function<std::unique_ptr<CompanionInstaller>(std::optional<std::string> adbPath)> makeInstaller;
};

}  // namespace velmora

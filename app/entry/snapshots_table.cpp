#include "app/entry/snapshots_table.h"

#include "app/model/app_model.h"
#include "app/shell/panel/menu_panel.h"
#include "core/l10n/l10n.h"
#include "core/settings/memory_settings.h"

namespace velmora::Snapshots {
namespace {

// Made-up phones and places, the same in every run.
constexpr const char* kPhoneId = "26fc3c40652e497a5152052f2bec1b40";
constexpr const char* kPhoneName = "Nimbo 7";
constexpr const char* kOtherPhone = "Lume 8";
constexpr std::uint16_t kPort = 47625;
constexpr std::int64_t kBattery = 79;
constexpr std::int64_t kReceivedAtMs = 1'792'500'000'000;  // no clock: two runs draw the same

Peer samplePeer(std::string id = kPhoneId) {
    return {std::move(id), {}, kPhoneName, "android"};
}

DiscoveredPhone phone(std::string id, std::string name, std::string host = "192.168.0.35",
                      std::optional<bool> pairFlag = std::nullopt) {
    DiscoveredPhone p;
    p.id = std::move(id);
    p.name = std::move(name);
    p.endpoint = TcpEndpoint{std::move(host), kPort};
    p.pairFlag = pairFlag;
    return p;
}

void connected(PublishedState& s) {
    s.state = ConnState::connected(kPhoneName);
    s.battery = kBattery;
}

// The model's own installer, showing `status` with `candidates` on the cable and no phone unauthorised.
PanelSetup installer(std::vector<InstallCandidate> candidates, InstallStatus status) {
    return [candidates, status](PanelPreview& p) { p.model.installer().setPreview(candidates, 0, status); };
}

}  // namespace

ShotScope::ShotScope(const PanelShot& shot, MemorySettings& settings)
    : prefsOpen_(shot.prefsOpen), settings_(settings) {
    MenuPanel::maxHeightOverride = shot.maxHeight;
    if (prefsOpen_) settings_.setValue("prefsOpen", true);
}

ShotScope::~ShotScope() {
    MenuPanel::maxHeightOverride.reset();
    if (prefsOpen_) settings_.setValue("prefsOpen", false);
}

InstallCandidate sampleCablePhone() {
    return {"TESTSERIAL123", "NB-7X"};
}

std::vector<PanelShot> panelShots() {
    const auto permissionDenied = [](PanelPreview& p) {
        p.state.localNetworkDenied = true;
        p.state.browserReady = false;
        p.state.notifStatus = PublishedState::NotifStatus::unavailable;
    };
    return {
        {"menu-sem-celular", false, [](PanelPreview&) {}},
        {"menu-com-celulares", false,
         [](PanelPreview& p) {
             p.state.phones = {phone(kPhoneId, kPhoneName), phone("novo", kOtherPhone)};
             p.state.usbPhones = {phone("usb:ABC", kPhoneName + L10n::string("phone.suffix.usb"))};
             DiscoveredPhone ble;
             ble.id = "ble:1";
             ble.name = kPhoneName + L10n::string("phone.suffix.ble");
             ble.bleID = "7D3A91C4-2E5B-4F08-9A61-3C0B5E2D8F17";
             ble.devicePrefix = "26fc3c40652e4971";
             p.state.blePhones = {ble};
             p.state.paired = {samplePeer()};
         }},
        {"menu-pareamento", false,
         [](PanelPreview& p) {
             p.state.phones = {phone("a0000000000000000000000000000001", kOtherPhone, "192.168.0.40", false),
                               phone("b0000000000000000000000000000002", "Nimbo S2", "192.168.0.40", true),
                               phone("c0000000000000000000000000000003", "Tablet Lume", "192.168.0.40")};
         }},
        {"menu-usb-novo", false,
         [](PanelPreview& p) {
             p.state.usbPhones = {phone("usb:NOVO", kOtherPhone + L10n::string("phone.suffix.usb"))};
         }},
        {"menu-conectado", false,
         [](PanelPreview& p) {
             connected(p.state);
             p.state.charging = true;
             p.state.transferText = L10n::format("transfer.sent", {"foto.jpg"});
         }},
        {"menu-celular-reinstalado", false,
         [](PanelPreview& p) {
             p.state.paired = {samplePeer("a0000000000000000000000000000001")};
             p.state.phones = {phone("b0000000000000000000000000000002", kPhoneName, "192.168.0.35", true)};
         }},
        {"menu-recebidos", false,
         [](PanelPreview& p) {
             connected(p.state);
             p.state.transferText = L10n::format("transfer.received", {"20261020_143928.jpg"});
             p.state.recentFiles = {
                 {"3f6d2a1e-8c47-4b9e-a0d5-71e2c9b4f608", "/tmp/20261020_143928.jpg", kReceivedAtMs},
                 {"b81c5e07-4d2a-4f93-8e6b-0a9d3c7f1e25", "/tmp/contrato-assinado-final-v2.pdf",
                  kReceivedAtMs}};
         }},
        {"menu-atualizar-celular", false,
         [](PanelPreview& p) {
             connected(p.state);
             p.state.phoneAppVersion = "0.1.5";
             p.state.phoneAppBuild = -1;
             installer({}, InstallStatus::idle())(p);
         }},
        {"menu-so-bluetooth", false,
         [](PanelPreview& p) {
             p.model.applyLinkPreset({{ConnKind::ble, true},
                                      {ConnKind::usb, false},
                                      {ConnKind::wifi, false},
                                      {ConnKind::hotspot, false}},
                                     "conexões: só Bluetooth");
         }},
        {"menu-bluetooth", false,
         [](PanelPreview& p) {
             connected(p.state);
             p.state.linkKind = "ble";
             p.state.phones = {phone(kPhoneId, kPhoneName)};
             p.state.paired = {samplePeer()};
         }},
        {"menu-conectado-escuro", true,
         [](PanelPreview& p) {
             connected(p.state);
             p.state.rttMs = 12;
             p.state.linkKind = "tcp";
         }},
        {"menu-sem-celular-escuro", true, [](PanelPreview&) {}},
        {"menu-permissao-negada", false, permissionDenied},
        {"menu-alto-limitado", false, permissionDenied, 520},
        {"menu-instalar", false, installer({sampleCablePhone()}, InstallStatus::idle())},
        {"menu-instalando", false, installer({}, InstallStatus::installing(sampleCablePhone()))},
        {"menu-instalado", false, installer({}, InstallStatus::success(sampleCablePhone()))},
        {"menu-instalar-erro", false,
         installer({}, InstallStatus::failed(sampleCablePhone(),
                                             {InstallFailure::Kind::userRestricted, std::nullopt}))},
        // The installer's section alone goes here.
        {"menu-celular-perdido", false,
         [](PanelPreview& p) {
             p.state.phoneLost = true;
             p.state.lastError = L10n::string("err.phone_stopped_responding");
         }},
        {"menu-conectando", false,
         [](PanelPreview& p) { p.state.state = ConnState::connecting(kPhoneName); }},
        {"menu-bluetooth-desligado", false, [](PanelPreview& p) { p.state.bluetoothState = 4; }},
        {"menu-preferencias", false,
         [](PanelPreview& p) {
             connected(p.state);
             p.state.rttMs = 12;
             p.state.paired = {samplePeer()};
             std::vector<PhoneApp> apps;
             for (const char* name : {"Mensagens", "Correio", "Fotos", "Conversa", "Banco Azul", "Agenda",
                                      "Música", "Transporte"})
                 apps.push_back({std::string("app.") + name, name});
             p.model.mergePhoneApps(apps);          // stores "phoneApps"
             p.model.setNotif("app.Fotos", false);  // stores "notifOverrides"
             p.model.setNotif("app.Música", false);
         },
         1200, true},
    };
}

}  // namespace velmora::Snapshots

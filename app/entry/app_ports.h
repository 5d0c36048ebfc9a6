#pragma once

#include <memory>

#include "app/model/model_ports.h"

namespace velmora {

class QtPairingPrompt;
class QuitSignals;

// The composition root: the model's ports wired to this computer. Settings in
// $XDG_CONFIG_HOME/Velmora/settings.json, the identity in the keyring (or its key file), TCP transports,
// the DNS-SD browser over Avahi, the adb cable bridge, the network-change, wake and host-name layers, the
// pairing dialog, and Bluetooth LE over the adapter (where the computer has none, its state reads
// "unsupported" and it finds nothing). GUI thread; the ports are dropped there too. `quit`, when given,
// outlives the ports: SIGTERM and SIGINT then also end the alert of a start that cannot go on.
ModelPorts applicationPorts(std::shared_ptr<Executor> main, std::shared_ptr<QtPairingPrompt> prompt,
                            const QuitSignals* quit = nullptr);

}  // namespace velmora

#pragma once

#include <memory>
#include <optional>

#include "app/model/model_ports.h"

namespace velmora {

class QtPairingPrompt;
class QuitSignals;

// What the program's entry shares with the ports it builds: the quit signals, which also end the alert of a
// start that cannot go on, and the status that alert asked the process to end with. The entry returns that
// status once the start-up has unwound, so Qt and everything else are torn down as at any other end.
struct EntryLinks {
    const QuitSignals* quit = nullptr;
    std::optional<int> exitStatus;
};

// The composition root: the model's ports wired to this computer. Settings in
// $XDG_CONFIG_HOME/Velmora/settings.json, the identity in the keyring (or its key file), TCP transports,
// the DNS-SD browser over Avahi, the adb cable bridge, the network-change, wake and host-name layers, the
// pairing dialog, and Bluetooth LE over the adapter (where the computer has none, its state reads
// "unsupported" and it finds nothing). GUI thread; the ports are dropped there too. `entry`, when given,
// outlives the ports; without it, the alerts' end of the process is std::exit.
ModelPorts applicationPorts(std::shared_ptr<Executor> main, std::shared_ptr<QtPairingPrompt> prompt,
                            EntryLinks* entry = nullptr);

}  // namespace velmora

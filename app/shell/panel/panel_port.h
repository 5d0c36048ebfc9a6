#pragma once

#include <functional>
#include <string>

#include "app/shell/logic/panel_inputs.h"

namespace velmora {

// What the panel calls: each control runs one operation of the model (or of the shell) and returns at once;
// results come back through the state the panel reads. An action left empty does nothing.
struct PanelActions {
    std::function<void()> retryNow;
    std::function<void()> copyDiagnostics;
    std::function<void()> restartBrowsing;
    std::function<void()> refreshPermissions;
    std::function<void(const Peer&)> confirmForgetStale;
    std::function<void(const std::string& path)> sendFile;  // one dropped file
    std::function<void()> showGuide;
    std::function<void()> revealLog;
    // Ends the application (after the quit rule's confirmation).
    std::function<void()> terminate;
    // Asks whether to quit while mirroring; a message box unless a test sets it.
    std::function<bool()> confirmQuit;
};

// Where the panel reads its state: called on every refresh, on the main thread.
using PanelReader = std::function<PanelInputs()>;

}  // namespace velmora

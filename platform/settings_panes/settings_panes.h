#pragma once

namespace velmora {

enum class SettingsPane { bluetooth, network };

// Opens the desktop's settings at `pane` with the first settings tool found on PATH (GNOME's, Blueman or
// the network connection editor, KDE's), detached from this program. Linux desktops share no settings
// address, so this is a best effort: false, with a line in the log, when no known tool is installed or it
// would not start. Main thread.
bool openSettingsPane(SettingsPane pane);

}  // namespace velmora

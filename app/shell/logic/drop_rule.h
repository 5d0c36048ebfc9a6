#pragma once

#include <string>
#include <vector>

namespace velmora {

// One item of a drag, as the desktop handed it over.
struct DroppedItem {
    std::string path;          // empty for anything that is not a local file (a web address, text)
    bool regularFile = false;  // a file, not a folder, a device or a broken link
};

// The files a drop sends to the phone: every regular file, in order, and only while a session stands. An
// empty result means the drop is refused, so a drag of nothing but folders is handed back rather than
// accepted and silently dropped.
std::vector<std::string> filesToSend(bool connected, const std::vector<DroppedItem>& items);

}  // namespace velmora

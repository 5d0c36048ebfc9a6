#pragma once

#include "app/model/ports/workspace.h"

namespace velmora {

// The Workspace port on a Linux desktop. The downloads folder is the XDG one (user-dirs.dirs, else
// ~/Downloads); revealing asks the file manager over the session bus (org.freedesktop.FileManager1
// ShowItems) and opens the file's folder when no file manager answers there; opening goes to the desktop's
// default application. Main thread, except downloadsFolder(). Never blocks on the file manager.
class DesktopWorkspace final : public Workspace {
  public:
    std::filesystem::path downloadsFolder() const override;
    void reveal(const std::filesystem::path& file) override;
    void open(const std::filesystem::path& path) override;
    std::vector<std::filesystem::path> pickFiles() override;
};

}  // namespace velmora

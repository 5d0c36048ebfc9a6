#pragma once

#include <QDBusConnection>

#include "app/model/ports/workspace.h"

namespace velmora {

// The Workspace port on a Linux desktop. The downloads folder is the XDG one (user-dirs.dirs, else
// ~/Downloads); revealing asks the file manager over `bus` (org.freedesktop.FileManager1 ShowItems, which
// the bus may start on demand) and opens the file's folder when no file manager answers there or it
// refuses; opening goes to the desktop's default application. Main thread, except downloadsFolder(). Never
// blocks on the file manager: its answer comes back through the main thread's event loop.
class DesktopWorkspace final : public Workspace {
  public:
    explicit DesktopWorkspace(QDBusConnection bus = QDBusConnection::sessionBus());

    std::filesystem::path downloadsFolder() const override;
    void reveal(const std::filesystem::path& file) override;
    void open(const std::filesystem::path& path) override;
    std::vector<std::filesystem::path> pickFiles() override;

  private:
    QDBusConnection bus_;
};

}  // namespace velmora

#pragma once

#include <QFile>
#include <QProcessEnvironment>
#include <QString>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace velmora::test {

// A private home for the built program: a home folder and runtime (0700), state, data, config and cache
// folders of its own under one temporary folder, removed with it, and the log the program writes there.
class ProgramHome {
  public:
    explicit ProgramHome(const std::string& prefix) : dir_(prefix) {
        for (const char* sub : {"home", "run", "state", "data", "config", "cache"})
            std::filesystem::create_directories(dir_.path() / sub);
        std::filesystem::permissions(dir_.path() / "run", std::filesystem::perms::owner_all);
    }

    const std::filesystem::path& root() const { return dir_.path(); }
    QString path(const char* sub) const { return QString::fromStdString((dir_.path() / sub).string()); }

    // The caller's environment with every folder the program uses in this home, no session bus and the
    // offscreen platform; a test changes what its story needs from there.
    QProcessEnvironment env() const {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("HOME", path("home"));
        e.insert("XDG_RUNTIME_DIR", path("run"));
        e.insert("XDG_STATE_HOME", path("state"));
        e.insert("XDG_DATA_HOME", path("data"));
        e.insert("XDG_CONFIG_HOME", path("config"));
        e.insert("XDG_CACHE_HOME", path("cache"));
        e.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        e.insert("QT_QPA_PLATFORM", "offscreen");
        return e;
    }

    // The program's log so far; empty before it wrote one.
    QString log() const {
        QFile f(path("state") + "/Velmora/velmora.log");
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

  private:
    TempDir dir_;
};

}  // namespace velmora::test

#include "live/live_desktop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "core/log/velmora_log.h"

extern char** environ;

namespace velmora::live {
namespace {

Desktop* current = nullptr;

void write(const std::filesystem::path& file, const std::string& text, std::filesystem::perms mode = {}) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::trunc) << text;
    if (mode != std::filesystem::perms{}) std::filesystem::permissions(file, mode);
}

std::vector<std::string> lines(const std::filesystem::path& file) {
    std::vector<std::string> out;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) out.push_back(line);
    return out;
}

// The stand-in adb. "devices -l" lists $HOME/adb/devices; a forward for a listed phone leads to the port in
// $HOME/adb/port and is kept in $HOME/adb/forwards until removed; every call is appended to $HOME/adb/calls.
// The companion app counts as installed on every listed phone unless $HOME/adb/app-missing exists; an install
// writes its process id to $HOME/adb/install.pid and then succeeds, or, while $HOME/adb/install-blocks
// exists, runs on until it is ended. Anything else succeeds saying nothing.
constexpr const char* kFakeAdb = R"(#!/bin/sh
dir=$(dirname "$0")
echo "$*" >> "$dir/calls"
if [ "$1" = "-s" ]; then serial=$2; shift 2; fi
case "$*" in
"devices -l")
    echo "List of devices attached"
    [ -f "$dir/devices" ] && cat "$dir/devices"
    ;;
"forward --list")
    [ -f "$dir/forwards" ] && cat "$dir/forwards"
    ;;
"forward tcp:0 tcp:47625")
    grep -q "^$serial[[:space:]]" "$dir/devices" 2>/dev/null || exit 1
    port=$(cat "$dir/port")
    echo "$serial tcp:$port tcp:47625" >> "$dir/forwards"
    echo "$port"
    ;;
"shell pm list packages "*)
    [ -f "$dir/app-missing" ] || echo "package:$5"
    ;;
"install -r "*)
    echo $$ > "$dir/install.pid"
    [ -f "$dir/install-blocks" ] && exec sleep 600
    echo Success
    ;;
"forward --remove tcp:"*)
    local_port=${3#tcp:}
    [ -f "$dir/forwards" ] || exit 1
    grep -v " tcp:$local_port " "$dir/forwards" > "$dir/forwards.new"
    mv "$dir/forwards.new" "$dir/forwards"
    ;;
esac
exit 0
)";

// A session bus with no service folders: nothing is started on demand (a keyring daemon activated for the
// secret store would outlive the test and, wanting a password prompt nobody answers, hold the program).
constexpr const char* kBusConfig =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=@RUNDIR@</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

}  // namespace

Child::Child(std::vector<std::string> argv) {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        // Dies with the test program, even when a sanitizer aborts it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        ::dup2(pipe[1], 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        std::vector<char*> args;
        for (auto& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipe[1]);
    out_ = pipe[0];
}

Child::~Child() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
}

std::string Child::firstLine(double seconds) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char c;
        if (::read(out_, &c, 1) != 1) break;
        if (c == '\n') return line;
        line += c;
    }
    return {};
}

const std::vector<std::string>& Child::linesSoFar() {
    for (pollfd p{out_, POLLIN, 0}; ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);) {
        char chunk[256];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i) {
            if (chunk[i] != '\n') {
                partial_ += chunk[i];
                continue;
            }
            lines_.push_back(std::move(partial_));
            partial_.clear();
        }
    }
    return lines_;
}

Desktop::Desktop() {
    current = this;
    const auto& h = home();
    for (const char* sub : {"run", "state", "data", "config", "cache", "Downloads", "adb"})
        std::filesystem::create_directories(h / sub);
    std::filesystem::permissions(h / "run", std::filesystem::perms::owner_all);
    const auto set = [](const char* name, const std::filesystem::path& value) {
        ::setenv(name, value.c_str(), 1);
    };
    set("HOME", h);
    set("XDG_RUNTIME_DIR", h / "run");
    set("XDG_STATE_HOME", h / "state");
    set("XDG_DATA_HOME", h / "data");
    set("XDG_CONFIG_HOME", h / "config");
    set("XDG_CACHE_HOME", h / "cache");
    write(h / "config" / "user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n");
    write(adb(), kFakeAdb, std::filesystem::perms::owner_all);
    ::unsetenv("SESSION_MANAGER");
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::setenv("XDG_SESSION_TYPE", "x11", 1);  // the panel takes its X11 forms, whatever session runs the tests
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("QT_ACCESSIBILITY", "0", 1);

    auto& x = *children_.emplace_back(std::make_unique<Child>(std::vector<std::string>{
        "Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x900x24"}));
    const std::string display = x.firstLine(60);
    if (display.empty()) {
        problem_ = "Xvfb did not start (see deps/apt/app.txt)";
        return;
    }
    ::setenv("DISPLAY", (":" + display).c_str(), 1);
    std::string config = kBusConfig;
    config.replace(config.find("@RUNDIR@"), 8, (h / "run").string());
    write(h / "bus.conf", config);
    auto& bus = *children_.emplace_back(std::make_unique<Child>(std::vector<std::string>{
        "dbus-daemon", "--config-file=" + (h / "bus.conf").string(), "--nofork", "--print-address=1"}));
    bus_ = bus.firstLine(60);
    if (bus_.empty()) {
        problem_ = "dbus-daemon did not start (see deps/apt/notifications.txt)";
        return;
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus_.c_str(), 1);
}

Desktop::~Desktop() {
    // The stories' last lines (a link that closed as its story ended) reach this home's log before the home
    // goes, and later ones go to the program's own private home, which outlives every other object: a log
    // still pointing here would make the removed folder again.
    VelmoraLog::flush();
    if (const char* own = std::getenv("VELMORA_TEST_HOME"))
        VelmoraLog::setFolder(std::filesystem::path(own) / ".local" / "state" / "Velmora");
    children_.clear();
    current = nullptr;
}

Desktop& Desktop::instance() {
    return *current;
}

void Desktop::plugCable(const std::string& serial, const std::string& model, std::uint16_t phonePort) const {
    write(adb().parent_path() / "port", std::to_string(phonePort) + "\n");
    write(adb().parent_path() / "devices", serial + "               device usb:1-1 product:sim model:" +
                                               model + " device:sim transport_id:1\n");
}

void Desktop::unplugCable() const {
    std::filesystem::remove(adb().parent_path() / "devices");
}

std::vector<std::string> Desktop::adbCalls() const {
    return lines(adb().parent_path() / "calls");
}

std::vector<std::string> Desktop::adbForwards() const {
    return lines(adb().parent_path() / "forwards");
}

std::vector<pid_t> Desktop::strayChildren() const {
    std::vector<pid_t> stray;
    const pid_t self = ::getpid();
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream in(entry.path() / "stat");
        std::string stat;
        std::getline(in, stat);
        // "pid (comm) state ppid ...": the command may hold spaces and brackets, so read after the last ')'.
        const auto close = stat.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) != 2 || ppid != self) continue;
        const pid_t pid = std::stoi(name);
        bool ours = false;
        for (const auto& child : children_)
            ours = ours || child->pid() == pid;
        if (!ours) stray.push_back(pid);
    }
    return stray;
}

}  // namespace velmora::live

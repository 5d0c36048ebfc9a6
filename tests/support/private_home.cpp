// Linked into every test program: before anything else runs, the program gets a home of its own (HOME and
// every XDG folder, the runtime one with mode 0700) in a fresh folder under the system's temporary folder,
// removed with everything in it when the program ends, and no session bus. So no test, now or later, writes
// into the caller's home or settings, finds the caller's files there, or talks to the caller's desktop; and
// what the children it starts leave in their home (adb's key, a keyring) goes too. A test that needs a home
// of another shape, or a bus, still sets its own.
//
// VELMORA_TEST_HOME names the home so made. A program that finds it set keeps the home it was given: a peer
// that a test program starts of itself (the home's maker removes it), or a test run by a script that made a
// throwaway home of its own and says so.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr const char* kMarker = "VELMORA_TEST_HOME";

class PrivateHome {
  public:
    PrivateHome() {
        if (::getenv(kMarker) != nullptr) return;
        std::error_code error;
        const fs::path temp = fs::temp_directory_path(error);
        std::string pattern = ((error ? fs::path("/tmp") : temp) / "velmora-home-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror(("no private home for the tests in " + pattern).c_str());
            ::_exit(1);  // running on in the caller's home is what this file is here to prevent
        }
        root_ = pattern;
        const auto set = [&](const char* name, const fs::path& folder) {
            fs::create_directories(folder);
            ::setenv(name, folder.c_str(), 1);
        };
        set("HOME", root_);
        set("XDG_CONFIG_HOME", root_ / ".config");
        set("XDG_DATA_HOME", root_ / ".local" / "share");
        set("XDG_STATE_HOME", root_ / ".local" / "state");
        set("XDG_CACHE_HOME", root_ / ".cache");
        set("XDG_RUNTIME_DIR", root_ / "run");
        fs::permissions(root_ / "run", fs::perms::owner_all);
        // A path where no bus listens: unset, the bus library would look for one, and might start one.
        ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (root_ / "run" / "no-bus").string()).c_str(), 1);
        ::setenv(kMarker, root_.c_str(), 1);
    }
    ~PrivateHome() {
        // Only in the program that made it: a forked child that exits through here must not take it away.
        if (root_.empty() || ::getpid() != maker_) return;
        std::error_code ignored;
        fs::permissions(root_, fs::perms::owner_all, ignored);
        fs::remove_all(root_, ignored);
    }
    PrivateHome(const PrivateHome&) = delete;
    PrivateHome& operator=(const PrivateHome&) = delete;

  private:
    fs::path root_;
    pid_t maker_ = ::getpid();
};

// Made before the program's other static objects, which may read HOME, and so destroyed after them.
__attribute__((init_priority(101))) PrivateHome home;

}  // namespace

#pragma once

// The desktop a whole-application test runs on, made once per test program before Qt starts: a private home
// (HOME and every XDG folder, so the user's own files are never touched), an X server of its own (Xvfb, with
// no tray and no window manager unless a story brings them: the panel shows as a window), a private session
// bus, and a stand-in adb that records its calls and lists the cable phones a test plugs in. Every child
// dies with the program.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace velmora::live {

// A child program with its standard output on a pipe; killed and reaped when dropped.
class Child {
  public:
    explicit Child(std::vector<std::string> argv);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Its first output line, waiting at most `seconds`; empty when none came.
    std::string firstLine(double seconds);
    // The whole lines it printed so far, without waiting (for a child that talks while the story's event
    // loop runs); not mixed with firstLine.
    const std::vector<std::string>& linesSoFar();
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string partial_;
    std::vector<std::string> lines_;
};

class Desktop {
  public:
    // Sets up the environment of this process; empty `problem()` when the display and the bus stand.
    Desktop();
    ~Desktop();

    static Desktop& instance();  // after main made it

    const std::string& problem() const { return problem_; }
    const std::filesystem::path& home() const { return home_.path(); }
    std::filesystem::path downloads() const { return home() / "Downloads"; }
    std::string busAddress() const { return bus_; }

    // The stand-in adb: its path, the cable phones it lists ("serial model" each) and the local port its
    // forwards lead to; what it was asked, one call per line.
    std::filesystem::path adb() const { return home() / "adb" / "adb"; }
    void plugCable(const std::string& serial, const std::string& model, std::uint16_t phonePort) const;
    void unplugCable() const;
    std::vector<std::string> adbCalls() const;
    std::vector<std::string> adbForwards() const;  // as "adb forward --list" prints them

    // The processes whose parent is this program, other than the desktop's own.
    std::vector<pid_t> strayChildren() const;

  private:
    test::TempDir home_{"velmora-live"};
    std::string problem_, bus_;
    std::vector<std::unique_ptr<Child>> children_;
};

}  // namespace velmora::live

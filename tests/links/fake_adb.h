#pragma once

#include <cerrno>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/process/posix_process_runner.h"
#include "core/process/process_runner.h"

namespace velmora::test {

inline ProcessResult printed(const std::string& text, int status = 0) {
    return {.started = true, .status = status, .output = Bytes(text.begin(), text.end())};
}

// adb in memory. Each command line ("devices -l", "-s SER1 forward --list", ...) gets its set answer; a
// command without one fails as adb does for an unknown device. `rename` may give a call the line it is
// recorded and answered under (a staged copy's name is new each time); `holdAt` keeps that command waiting
// until `go` is set; `hangs` runs that command as a real child that never ends, under the request's
// watchdog; `throwsAt` makes the runner itself fail on that command, as when no process can be made.
class FakeAdb final : public ProcessRunner {
  public:
    ProcessResult run(const ProcessRequest& request) override {
        std::string line;
        for (const auto& argument : request.arguments)
            line += (line.empty() ? "" : " ") + argument;
        if (rename) line = rename(request, line);
        {
            std::lock_guard lock(mutex);
            requests.push_back(request);
            calls.push_back(line);
        }
        if (line == throwsAt) throw std::system_error(EAGAIN, std::generic_category(), "fork");
        if (line == holdAt) held.set_value(), go.get_future().wait();
        if (line != hangs) return answers.contains(line) ? answers[line] : printed("", 1);
        ProcessRequest child = request;
        child.executable = "/bin/sleep";
        child.arguments = {"600"};
        const auto result = PosixProcessRunner().run(child);
        cut = result.timedOut;
        return result;
    }
    std::vector<std::string> take() {
        std::lock_guard lock(mutex);
        return std::exchange(calls, {});
    }

    std::mutex mutex;  // guards requests and calls
    std::vector<ProcessRequest> requests;
    std::vector<std::string> calls;
    std::map<std::string, ProcessResult> answers;  // set before polls run on another thread
    std::function<std::string(const ProcessRequest&, const std::string&)> rename;
    std::string holdAt, hangs, throwsAt;
    std::promise<void> held, go;
    bool cut = false;
};

}  // namespace velmora::test

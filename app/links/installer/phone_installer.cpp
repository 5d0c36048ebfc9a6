#include "app/links/installer/phone_installer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "app/links/adb_output.h"
#include "app/links/installer/adb_text.h"
#include "app/links/installer/apk_integrity.h"
#include "core/exec/serial_queue.h"
#include "core/log/velmora_log.h"
#include "core/process/posix_process_runner.h"
#include "core/text/split.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// What one poll found, handed to the main executor.
struct PollFindings {
    std::vector<InstallCandidate> candidates;
    std::vector<InstallCandidate> cableDevices;
    int unauthorized = 0;
    std::set<std::string> serials;  // every cable phone, whatever its state
};

const char* refusalReason(ApkIntegrity::Failure failure) {
    return failure == ApkIntegrity::Failure::mismatch ? "o SHA-256 do APK não confere"
                                                      : "sem hash esperado ou APK ilegível";
}

}  // namespace

struct PhoneInstaller::State {
    State(std::optional<std::string> path, Package pkg, Executor& executor,
          std::shared_ptr<Executor> mainExecutor, std::shared_ptr<ProcessRunner> processRunner)
        : adbPath(std::move(path)),
          package(std::move(pkg)),
          queue(executor),
          main(std::move(mainExecutor)),
          runner(std::move(processRunner)) {}

    std::optional<AdbResult> run(std::vector<std::string> arguments, double timeout, bool mergeStderr) const;
    void poll();
    void publish(const PollFindings& found);
    void installWork(const Candidate& candidate);
    InstallOutcome installOutcome(const Candidate& candidate) const;
    void finish(const Candidate& candidate, const InstallOutcome& outcome);
    void changed() const {
        if (onChange) onChange();
    }
    void scheduleTick(double due);

    const std::optional<std::string> adbPath;
    const Package package;
    Executor& queue;
    const std::shared_ptr<Executor> main;
    const std::shared_ptr<ProcessRunner> runner;
    std::weak_ptr<State> self;

    // The main executor's own: the published values and their observer.
    std::vector<Candidate> candidates;
    std::vector<Candidate> cableDevices;
    int unauthorized = 0;
    Status status;
    std::function<void()> onChange;

    std::mutex workMutex;  // guards installing, installedAt and working (main executor and queue)
    bool installing = false;
    std::map<std::string, double> installedAt;  // serial -> when the app was found on it or installed
    int working = 0;                            // polls and installs running on the queue now
    std::condition_variable workDone;           // working went down

    // Stopped: nothing more is started or published, and every adb run of this installer ends its child.
    std::atomic<bool> closed{false};
    const std::shared_ptr<ProcessCancel> cancel = std::make_shared<ProcessCancel>();

    std::mutex timerMutex;  // guards polling, generation and timer
    bool polling = false;
    std::uint64_t generation = 0;  // a tick of an older generation neither polls nor reschedules
    TimerHandle timer;
};

namespace {

// One task of the queue at work, counted while it runs, so that stop() knows when the queue is idle.
class Working {
  public:
    Working(std::mutex& mutex, int& count, std::condition_variable& done)
        : mutex_(mutex), count_(count), done_(done) {
        std::lock_guard lock(mutex_);
        ++count_;
    }
    ~Working() {
        {
            std::lock_guard lock(mutex_);
            --count_;
        }
        done_.notify_all();
    }
    Working(const Working&) = delete;
    Working& operator=(const Working&) = delete;

  private:
    std::mutex& mutex_;
    int& count_;
    std::condition_variable& done_;
};

}  // namespace

// Nothing when adb could not be run, whether it would not start or the runner itself failed.
std::optional<AdbResult> PhoneInstaller::State::run(std::vector<std::string> arguments, double timeout,
                                                    bool mergeStderr) const {
    ProcessResult result;
    try {
        result = runner->run(ProcessRequest{
            *adbPath, std::move(arguments), timeout, ProcessOutput::adbMax,
            mergeStderr ? ProcessRequest::StandardError::merge : ProcessRequest::StandardError::discard,
            cancel});
    } catch (const std::exception& error) {
        VelmoraLog::write(std::string("adb não pôde ser executado: ") + error.what());
        return std::nullopt;
    }
    if (!result.started) return std::nullopt;
    return AdbResult{result.status, AdbText::decode(result.output), result.timedOut, result.truncated};
}

void PhoneInstaller::State::poll() {
    {
        std::lock_guard lock(workMutex);
        if (installing) return;
    }
    const auto list = run({"devices", "-l"}, listTimeout, false);
    if (!list || list->exitStatus != 0) return;
    std::vector<Device> cable;
    for (auto& device : parseDevices(list->output))
        if (device.usb) cable.push_back(std::move(device));

    PollFindings found;
    for (const auto& device : cable)
        found.serials.insert(device.serial);
    std::map<std::string, double> seen;
    {
        std::lock_guard lock(workMutex);
        std::erase_if(installedAt, [&](const auto& entry) { return !found.serials.contains(entry.first); });
        seen = installedAt;
    }
    for (const auto& device : cable) {
        found.unauthorized += device.state == "unauthorized";
        if (device.state != "device") continue;
        const Candidate phone{device.serial, device.model};
        found.cableDevices.push_back(phone);
        const double now = queue.now();
        if (const auto at = seen.find(device.serial); at != seen.end() && now - at->second < recheckAfter)
            continue;
        const auto packages =
            run({"-s", device.serial, "shell", "pm", "list", "packages", std::string(packageId)},
                queryTimeout, false);
        if (!packages || packages->exitStatus != 0) continue;
        if (!hasPackage(packages->output, packageId)) {
            found.candidates.push_back(phone);
            continue;
        }
        std::lock_guard lock(workMutex);
        installedAt[device.serial] = now;
    }
    if (closed) return;
    main->post([weak = self, found = std::move(found)] {
        if (const auto state = weak.lock()) state->publish(found);
    });
}

void PhoneInstaller::State::publish(const PollFindings& found) {
    if (closed) return;
    bool change = false;
    const auto update = [&change](auto& field, const auto& value) {
        if (field == value) return;
        field = value;
        change = true;
    };
    update(candidates, found.candidates);
    update(cableDevices, found.cableDevices);
    update(unauthorized, found.unauthorized);
    const bool finished = status.phase == Status::Phase::success || status.phase == Status::Phase::failed;
    if (finished && !found.serials.contains(status.candidate.serial)) update(status, Status::idle());
    if (change) changed();
}

// Every install that starts ends here with an outcome, whatever fails on the way, so the installer is free
// for the next poll and the next install.
void PhoneInstaller::State::installWork(const Candidate& candidate) {
    if (closed) return;
    InstallOutcome outcome;
    try {
        outcome = installOutcome(candidate);
    } catch (const std::exception& error) {
        VelmoraLog::write(std::string("instalação do APK interrompida: ") + error.what());
        outcome = {InstallFailure{InstallFailure::Kind::other, {}}};
    }
    if (closed) return;
    main->post([weak = self, candidate, outcome] {
        if (const auto state = weak.lock()) state->finish(candidate, outcome);
    });
}

InstallOutcome PhoneInstaller::State::installOutcome(const Candidate& candidate) const {
    const auto staged = ApkIntegrity::stage(*package.apk, package.expectedHash);
    if (const auto* failure = std::get_if<ApkIntegrity::Failure>(&staged)) {
        VelmoraLog::write(std::string("instalação do APK recusada: ") + refusalReason(*failure));
        return {InstallFailure{InstallFailure::Kind::apkIntegrity, {}}};
    }
    const auto& copy = std::get<ApkIntegrity::Staged>(staged);
    // The copy goes once adb has ended, or as soon as the install failed before.
    const ApkIntegrity::StagedFolder folder(copy.dir);
    return interpret(
        run({"-s", candidate.serial, "install", "-r", copy.file.string()}, installTimeout, true));
}

void PhoneInstaller::State::finish(const Candidate& candidate, const InstallOutcome& outcome) {
    if (closed) return;
    {
        std::lock_guard lock(workMutex);
        installing = false;
        if (outcome.succeeded()) installedAt[candidate.serial] = queue.now();
    }
    if (outcome.failure) {
        status = Status::failed(candidate, *outcome.failure);
    } else {
        std::erase_if(candidates, [&](const Candidate& c) { return c.serial == candidate.serial; });
        status = Status::success(candidate);
    }
    changed();
}

// One tick of the repeating poll; called with timerMutex held. Ticks are due at fixed steps from the
// first; a poll that overran its step (an install holds the queue for minutes) delays the next tick rather
// than stacking ticks up.
void PhoneInstaller::State::scheduleTick(double due) {
    const std::uint64_t tickGeneration = generation;
    timer = queue.postAfter(due - queue.now(), [weak = self, tickGeneration, due] {
        const auto state = weak.lock();
        if (!state) return;
        {
            std::lock_guard lock(state->timerMutex);
            if (state->generation != tickGeneration) return;
        }
        try {
            const Working atWork(state->workMutex, state->working, state->workDone);
            state->poll();
        } catch (const std::exception& error) {
            // One failed poll must not end the polling: the next tick is still due.
            VelmoraLog::write(std::string("verificação do instalador falhou: ") + error.what());
        }
        std::lock_guard lock(state->timerMutex);
        if (state->generation != tickGeneration) return;
        state->scheduleTick(std::max(due + pollInterval, state->queue.now()));
    });
}

PhoneInstaller::Package PhoneInstaller::Package::in(const fs::path& dir) {
    Package package;
    std::error_code error;
    if (fs::is_regular_file(dir / "Velmora.apk", error)) package.apk = dir / "Velmora.apk";
    std::ifstream digest(dir / "Velmora.apk.sha256", std::ios::binary);
    std::string text(4096, '\0');  // a digest line is short; a larger file is no digest file
    digest.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(digest.gcount()));
    if (!text.empty()) package.expectedHash = ApkIntegrity::parseExpectedHash(text);
    return package;
}

PhoneInstaller::Package PhoneInstaller::Package::installed() {
    const char* dir = std::getenv("VELMORA_COMPANION_DIR");
    return in(dir && *dir ? fs::path(dir) : fs::path(VELMORA_COMPANION_DIR));
}

PhoneInstaller::PhoneInstaller(std::optional<std::string> adbPath, std::shared_ptr<Executor> main)
    : PhoneInstaller(std::move(adbPath), Package::installed(),
                     std::make_shared<SerialQueue>("corvix.installer"), std::move(main),
                     std::make_shared<PosixProcessRunner>()) {}

PhoneInstaller::PhoneInstaller(std::optional<std::string> adbPath, Package package,
                               std::shared_ptr<Executor> queue, std::shared_ptr<Executor> main,
                               std::shared_ptr<ProcessRunner> runner)
    : state_(std::make_shared<State>(std::move(adbPath), std::move(package), *queue, std::move(main),
                                     std::move(runner))),
      queue_(std::move(queue)) {
    state_->self = state_;
}

PhoneInstaller::~PhoneInstaller() {
    stop();
}

void PhoneInstaller::stop() {
    if (!queue_) return;
    {
        std::lock_guard lock(state_->timerMutex);
        ++state_->generation;
        state_->timer.cancel();
    }
    state_->closed = true;
    state_->cancel->fire();
    // The task at work ends once its adb run has: the cancel ends that child within the runner's kill grace,
    // and the install then removes its staged copy. A task posted but not started returns at once, so the
    // queue joins promptly after that.
    bool idle = false;
    {
        std::unique_lock lock(state_->workMutex);
        idle = state_->workDone.wait_for(lock, std::chrono::duration<double>(stopWait),
                                         [this] { return state_->working == 0; });
    }
    if (idle) {
        queue_.reset();
        return;
    }
    // A child that outlives SIGKILL (stuck in the kernel on a dead USB link) is not worth hanging the quit
    // for: a thread of its own joins the queue when it ends; the task holds the state it uses.
    VelmoraLog::write("instalador: o adb não terminou a tempo; o encerramento segue sem esperar");
    std::thread([queue = std::move(queue_)]() mutable { queue.reset(); }).detach();
}

void PhoneInstaller::start() {
    if (!state_->adbPath || state_->closed) return;
    std::lock_guard lock(state_->timerMutex);
    if (state_->polling) return;
    state_->polling = true;
    state_->scheduleTick(queue_->now() + firstPollDelay);
}

void PhoneInstaller::install(const Candidate& candidate) {
    if (!state_->adbPath || state_->closed) return;
    {
        std::lock_guard lock(state_->workMutex);
        if (state_->installing) return;
        if (state_->package.apk) state_->installing = true;
    }
    state_->status = state_->package.apk ? Status::installing(candidate)
                                         : Status::failed(candidate, {InstallFailure::Kind::noInstaller, {}});
    state_->changed();
    if (!state_->package.apk) return;
    queue_->post([weak = std::weak_ptr<State>(state_), candidate] {
        const auto state = weak.lock();
        if (!state) return;
        const Working atWork(state->workMutex, state->working, state->workDone);
        state->installWork(candidate);
    });
}

const std::vector<PhoneInstaller::Candidate>& PhoneInstaller::candidates() const {
    return state_->candidates;
}

const std::vector<PhoneInstaller::Candidate>& PhoneInstaller::cableDevices() const {
    return state_->cableDevices;
}

int PhoneInstaller::unauthorized() const {
    return state_->unauthorized;
}

const PhoneInstaller::Status& PhoneInstaller::status() const {
    return state_->status;
}

const std::optional<std::string>& PhoneInstaller::adbPath() const {
    return state_->adbPath;
}

void PhoneInstaller::setStatus(Status status) {
    if (state_->status == status) return;
    state_->status = std::move(status);
    state_->changed();
}

void PhoneInstaller::setPreview(std::vector<Candidate> candidates, int unauthorized, Status status) {
    state_->candidates = std::move(candidates);
    state_->unauthorized = unauthorized;
    state_->status = std::move(status);
    state_->changed();
}

void PhoneInstaller::setOnChange(std::function<void()> handler) {
    state_->onChange = std::move(handler);
}

std::vector<PhoneInstaller::Device> PhoneInstaller::parseDevices(std::string_view text) {
    std::vector<Device> devices;
    for (const auto line : AdbOutput::readableLines(text)) {
        if (startsWith(line, "List of devices") || startsWith(line, "*")) continue;
        const auto parts = Split::pieces(line, ' ');
        if (parts.size() < 2) continue;
        Device device{std::string(parts[0]), std::string(parts[1]), std::string(parts[0]), false};
        if (const auto model =
                std::find_if(parts.begin(), parts.end(), [](auto p) { return startsWith(p, "model:"); });
            model != parts.end()) {
            device.model = std::string(model->substr(6));
            std::replace(device.model.begin(), device.model.end(), '_', '-');
        }
        device.usb = std::any_of(parts.begin(), parts.end(), [](auto p) { return startsWith(p, "usb:"); });
        devices.push_back(std::move(device));
    }
    return devices;
}

bool PhoneInstaller::hasPackage(std::string_view output, std::string_view name) {
    const std::string wanted = "package:" + std::string(name);
    const auto lines = AdbText::trimmedLines(output);
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

}  // namespace velmora

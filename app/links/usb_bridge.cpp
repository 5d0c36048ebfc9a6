#include "app/links/usb_bridge.h"

#include <algorithm>

#include "app/links/adb_output.h"
#include "core/discovery/candidate_key.h"
#include "core/exec/serial_queue.h"
#include "core/l10n/l10n.h"
#include "core/process/adb_locator.h"
#include "core/process/posix_process_runner.h"

namespace velmora {

struct UsbBridge::State {
    State(std::optional<std::string> path, Executor& executor, std::shared_ptr<ProcessRunner> processRunner,
          double watchdog)
        : adbPath(std::move(path)),
          queue(executor),
          runner(std::move(processRunner)),
          watchdogSeconds(watchdog) {}

    // adb's output as text, or absent for any failed run: not launched, non-zero exit, ended by the
    // watchdog or a signal, or more output than the cap.
    std::optional<std::string> run(std::vector<std::string> arguments) const;
    std::optional<std::uint16_t> forwardPort(const std::string& serial);
    void poll();
    void publish(const std::vector<DiscoveredPhone>& phones);
    void scheduleTick(double due);

    const std::optional<std::string> adbPath;
    Executor& queue;
    const std::shared_ptr<ProcessRunner> runner;
    const double watchdogSeconds;
    std::weak_ptr<State> self;

    // Held for a whole poll, so that removeCreatedForwards() after stop() also sees a forward that a poll
    // in flight was still creating. Taken before timerMutex and createdMutex.
    std::mutex pollMutex;

    std::mutex handlerMutex;  // guards onChange
    PhonesHandler onChange;

    std::mutex timerMutex;  // guards polling, generation and timer
    bool polling = false;
    std::uint64_t generation = 0;  // a tick of an older generation neither polls nor reschedules
    TimerHandle timer;

    std::mutex createdMutex;  // guards created
    std::map<std::uint16_t, std::string> created;

    std::vector<DiscoveredPhone> last;  // the queue's own; compared whole, order included
};

std::optional<std::string> UsbBridge::State::run(std::vector<std::string> arguments) const {
    if (!adbPath) return std::nullopt;
    const auto result =
        runner->run(ProcessRequest{*adbPath, std::move(arguments), watchdogSeconds, ProcessOutput::adbMax,
                                   ProcessRequest::StandardError::discard});
    if (!result.succeeded()) return std::nullopt;
    return std::string(result.output.begin(), result.output.end());
}

std::optional<std::uint16_t> UsbBridge::State::forwardPort(const std::string& serial) {
    if (const auto list = run({"-s", serial, "forward", "--list"})) {
        // Someone else's forward, or one we made earlier: used as it is and never removed by us here.
        if (const auto port = AdbOutput::existingForward(*list, serial, phonePort)) return port;
    } else {
        // The list cannot be read: a forward we made for this phone still stands, so a poll must not add
        // one more every 3 s for as long as listing fails.
        std::lock_guard lock(createdMutex);
        for (const auto& [port, owner] : created) {
            if (owner == serial) return port;
        }
    }
    const auto out = run({"-s", serial, "forward", "tcp:0", "tcp:" + std::to_string(phonePort)});
    if (!out) return std::nullopt;
    const auto port = AdbOutput::allocatedPort(*out);
    if (!port) return std::nullopt;
    std::lock_guard lock(createdMutex);
    created[*port] = serial;
    return port;
}

void UsbBridge::State::poll() {
    const auto list = run({"devices", "-l"});
    if (!list) {
        if (!last.empty()) {
            last.clear();
            publish(last);
        }
        return;
    }
    std::vector<DiscoveredPhone> phones;
    const std::string suffix = L10n::string("phone.suffix.usb");
    for (const auto& device : AdbOutput::cableDevices(*list)) {
        const auto port = forwardPort(device.serial);
        if (!port) continue;
        DiscoveredPhone phone;
        phone.id = CandidateKey::usb(device.serial).text();
        phone.name = device.model + suffix;
        phone.endpoint = TcpEndpoint{"127.0.0.1", *port};
        phones.push_back(std::move(phone));
    }
    if (phones == last) return;
    last = std::move(phones);
    publish(last);
}

void UsbBridge::State::publish(const std::vector<DiscoveredPhone>& phones) {
    PhonesHandler handler;
    {
        std::lock_guard lock(handlerMutex);
        handler = onChange;
    }
    if (handler) handler(phones);
}

// One tick of the repeating poll; called with timerMutex held. Ticks are due at fixed steps from the
// first; a poll that overran its step delays the next tick rather than stacking ticks up.
void UsbBridge::State::scheduleTick(double due) {
    const std::uint64_t tickGeneration = generation;
    timer = queue.postAfter(due - queue.now(), [weak = self, tickGeneration, due] {
        const auto state = weak.lock();
        if (!state) return;
        {
            std::lock_guard pollLock(state->pollMutex);
            {
                std::lock_guard lock(state->timerMutex);
                if (state->generation != tickGeneration) return;
            }
            state->poll();
        }
        std::lock_guard lock(state->timerMutex);
        if (state->generation != tickGeneration) return;
        state->scheduleTick(std::max(due + pollInterval, state->queue.now()));
    });
}

UsbBridge::UsbBridge()
    : UsbBridge(AdbLocator::find(AdbLocator::defaultCandidates(AdbLocator::userHome())),
                std::make_shared<SerialQueue>("corvix.usb"), std::make_shared<PosixProcessRunner>()) {}

UsbBridge::UsbBridge(std::optional<std::string> adbPath, std::shared_ptr<Executor> queue,
                     std::shared_ptr<ProcessRunner> runner, double watchdogSeconds)
    : state_(std::make_shared<State>(std::move(adbPath), *queue, std::move(runner), watchdogSeconds)),
      queue_(std::move(queue)) {
    state_->self = state_;
}

UsbBridge::~UsbBridge() {
    {
        std::lock_guard lock(state_->timerMutex);
        ++state_->generation;
        state_->polling = false;
        state_->timer.cancel();
    }
    // An owned queue joins here, after any poll in flight; the state outlives it.
    queue_.reset();
}

const std::optional<std::string>& UsbBridge::adbPath() const {
    return state_->adbPath;
}

void UsbBridge::setOnChange(PhonesHandler handler) {
    std::lock_guard lock(state_->handlerMutex);
    state_->onChange = std::move(handler);
}

void UsbBridge::start() {
    if (!state_->adbPath) return;
    std::lock_guard lock(state_->timerMutex);
    if (state_->polling) return;
    state_->polling = true;
    ++state_->generation;
    state_->scheduleTick(queue_->now() + firstPollDelay);
}

void UsbBridge::stop() {
    {
        std::lock_guard lock(state_->timerMutex);
        if (!state_->polling) return;
        state_->polling = false;
        ++state_->generation;
        state_->timer.cancel();
    }
    // On the queue, after any poll in flight, so that poll's result is forgotten too.
    queue_->post([weak = std::weak_ptr<State>(state_)] {
        if (const auto state = weak.lock()) state->last.clear();
    });
}

void UsbBridge::removeCreatedForwards() {
    std::map<std::uint16_t, std::string> taken;
    {
        std::lock_guard polling(state_->pollMutex);
        std::lock_guard lock(state_->createdMutex);
        taken.swap(state_->created);
    }
    for (const auto& [port, serial] : taken) {
        state_->run({"-s", serial, "forward", "--remove", "tcp:" + std::to_string(port)});
    }
}

}  // namespace velmora

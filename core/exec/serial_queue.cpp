#include "core/exec/serial_queue.h"

#include <pthread.h>

#include <chrono>
#include <future>
#include <stdexcept>

#include "core/exec/task_guard.h"
#include "core/log/velmora_log.h"

namespace velmora {

SerialQueue::SerialQueue(std::string label, Clock& clock) : label_(std::move(label)), clock_(clock) {
    thread_ = std::thread([this] { loop(); });
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void SerialQueue::post(Task task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.add(clock_.now(), std::move(task));
    }
    wake_.notify_all();
}

TimerHandle SerialQueue::postAfter(double delaySeconds, Task task) {
    TimerHandle handle;
    {
        std::lock_guard lock(mutex_);
        handle = tasks_.add(clock_.now() + std::max(0.0, delaySeconds), std::move(task));
    }
    wake_.notify_all();
    return handle;
}

void SerialQueue::sync(Task task) {
    if (isCurrent()) {
        // The queue would wait for itself for ever.
        const std::string message = "SerialQueue::sync chamado na própria fila " + label_;
        VelmoraLog::write(message);
        throw std::logic_error(message);
    }
    std::promise<void> done;
    post([&] {
        try {
            task();
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    done.get_future().get();
}

bool SerialQueue::isCurrent() const {
    return std::this_thread::get_id() == thread_.get_id();
}

void SerialQueue::loop() {
    // Linux thread names are limited to 15 bytes.
    pthread_setname_np(pthread_self(), label_.substr(0, 15).c_str());
    const std::string where = "fila " + label_;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (auto entry = tasks_.popDue(clock_.now())) {
            lock.unlock();
            if (!entry->cancelled->load()) runGuarded(entry->task, where);
            entry.reset();
            lock.lock();
            continue;
        }
        if (stopping_) return;
        if (auto due = tasks_.nextDue()) {
            const double wait = std::max(0.0, *due - clock_.now());
            wake_.wait_for(lock, std::chrono::duration<double>(std::min(wait, 3600.0)));
        } else {
            wake_.wait(lock);
        }
    }
}

}  // namespace velmora

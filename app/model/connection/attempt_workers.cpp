#include "app/model/connection/attempt_workers.h"

#include <algorithm>

namespace velmora {

AttemptWorkers::~AttemptWorkers() {
    stop();
}

bool AttemptWorkers::launch(std::function<void()> body) {
    std::list<Worker> ended;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return false;
        for (auto it = workers_.begin(); it != workers_.end();) {
            auto next = std::next(it);
            if (it->done->load()) ended.splice(ended.end(), workers_, it);
            it = next;
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        workers_.push_back({std::thread([body = std::move(body), done] {
                                body();
                                done->store(true);
                            }),
                            done});
    }
    for (Worker& worker : ended)
        worker.thread.join();
    return true;
}

bool AttemptWorkers::track(const std::shared_ptr<Transport>& transport) {
    std::lock_guard lock(mutex_);
    if (stopping_) {
        transport->close();
        return false;
    }
    transports_.push_back(transport);
    return true;
}

void AttemptWorkers::untrack(const Transport* transport) {
    std::lock_guard lock(mutex_);
    std::erase_if(transports_, [&](const auto& t) { return t.get() == transport; });
}

bool AttemptWorkers::stopping() const {
    std::lock_guard lock(mutex_);
    return stopping_;
}

void AttemptWorkers::stop() {
    std::list<Worker> all;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const auto& transport : transports_)
            transport->close();
        all.swap(workers_);
    }
    for (Worker& worker : all)
        worker.thread.join();
}

}  // namespace velmora

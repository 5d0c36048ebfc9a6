#include "support/companion/phone_server.h"

#include <chrono>

#include "core/transport/tcp_transport.h"

namespace velmora::companion {

PhoneServer::PhoneServer(CompanionPhone& phone, std::uint16_t port,
                         std::function<void(const PhoneOutcome&)> onOutcome)
    : phone_(phone),
      listener_(4, port),
      port_(listener_.port()),
      onOutcome_(std::move(onOutcome)),
      thread_([this] { serveLoop(); }) {}

PhoneServer::~PhoneServer() {
    std::shared_ptr<Transport> current;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        current = current_;
    }
    if (current) current->close();
    // accept() has no timeout: a connection of our own wakes it to find the stop flag.
    try {
        test::connectLoopback(port_);
    } catch (const std::exception&) {
    }
    thread_.join();
}

void PhoneServer::serveLoop() {
    for (;;) {
        UniqueFd connection;
        try {
            connection = listener_.accept();
        } catch (const std::system_error&) {  // a client that gave up before its turn
            continue;
        }
        auto transport = std::make_shared<TcpTransport>(std::move(connection));
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
            current_ = transport;
        }
        PhoneOutcome out = phone_.serve(transport);
        if (onOutcome_) onOutcome_(out);
        std::lock_guard lock(mutex_);
        current_.reset();
        outcomes_.push_back(std::move(out));
        ended_.notify_all();
        if (stopping_) return;
    }
}

std::vector<PhoneOutcome> PhoneServer::outcomes() const {
    std::lock_guard lock(mutex_);
    return outcomes_;
}

bool PhoneServer::waitForOutcomes(std::size_t count, double seconds) const {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, std::chrono::duration<double>(seconds),
                           [&] { return outcomes_.size() >= count; });
}

}  // namespace velmora::companion

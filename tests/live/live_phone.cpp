#include "live/live_phone.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <system_error>

#include "core/transport/tcp_transport.h"

namespace velmora::live {

using nlohmann::json;

LivePhone::LivePhone(PhoneConfig config)
    : phone_([&] {
          PhoneConfig c = config;
          c.onControl = [this, inner = config.onControl](const json& m) {
              {
                  std::lock_guard lock(mutex_);
                  received_.push_back(m);
              }
              if (inner) inner(m);
          };
          c.answer = [this, inner = config.answer](const json& m) {
              std::vector<json> out = inner ? inner(m) : std::vector<json>{};
              std::lock_guard lock(mutex_);
              out.insert(out.end(), outbox_.begin(), outbox_.end());
              outbox_.clear();
              return out;
          };
          c.onRecord = [this, inner = config.onRecord](const Frame& f) {
              {
                  std::lock_guard lock(mutex_);
                  records_.push_back(f);
              }
              return inner ? inner(f) : std::vector<json>{};
          };
          c.keepRecords = false;
          c.accept = [this, inner = config.accept](const std::string& code) {
              {
                  std::lock_guard lock(mutex_);
                  codes_.push_back(code);
              }
              return inner(code);
          };
          return c;
      }()),
      listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof a;
    if (::bind(listener_.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&a), &length) != 0 ||
        ::listen(listener_.get(), 4) != 0)
        throw std::system_error(errno, std::generic_category(), "phone listener");
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { serveAll(); });
}

LivePhone::~LivePhone() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        if (transport_) transport_->close();
    }
    ::shutdown(listener_.get(), SHUT_RDWR);  // ends the accept waiting now
    thread_.join();
}

void LivePhone::serveAll() {
    for (;;) {
        UniqueFd fd(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        auto transport = fd.valid() ? std::make_shared<TcpTransport>(std::move(fd)) : nullptr;
        {
            std::lock_guard lock(mutex_);
            if (stopping_ || !transport) return;
            ++connections_;
            transport_ = transport;
        }
        const PhoneOutcome out = phone_.serve(transport);
        std::lock_guard lock(mutex_);
        transport_.reset();
        if (out.sessionReady) ++sessions_;
    }
}

std::vector<json> LivePhone::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<json> LivePhone::received(const std::string& type) const {
    std::vector<json> out;
    for (const json& m : received())
        if (m.value("t", "") == type) out.push_back(m);
    return out;
}

std::vector<Frame> LivePhone::records() const {
    std::lock_guard lock(mutex_);
    return records_;
}

int LivePhone::connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

int LivePhone::sessions() const {
    std::lock_guard lock(mutex_);
    return sessions_;
}

std::vector<std::string> LivePhone::shownCodes() const {
    std::lock_guard lock(mutex_);
    return codes_;
}

void LivePhone::push(const json& message) {
    std::lock_guard lock(mutex_);
    outbox_.push_back(message);
}

void LivePhone::hangUp() {
    std::lock_guard lock(mutex_);
    if (transport_) transport_->close();
}

}  // namespace velmora::live

#include "support/adb_server_stand_in.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <cstdio>
#include <stdexcept>
#include <system_error>

#include "core/process/posix_process_runner.h"

namespace velmora::test {
namespace {

void check(bool ok, const char* what) {
    if (!ok) throw std::system_error(errno, std::generic_category(), what);
}

// Reads exactly `size` bytes, waiting a while for each: a client that stops halfway is dropped.
bool readAll(int fd, char* data, std::size_t size) {
    while (size > 0) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 30'000) != 1) return false;
        const ssize_t n = ::recv(fd, data, size, 0);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void sendAll(int fd, const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

// adb's framing: four hexadecimal digits of length, then the bytes.
std::string framed(const std::string& text) {
    char length[5];
    std::snprintf(length, sizeof length, "%04x", static_cast<unsigned>(text.size()));
    return length + text;
}

}  // namespace

AdbServerStandIn::AdbServerStandIn(const std::optional<std::string>& client)
    : listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), wake_(::eventfd(0, EFD_CLOEXEC)) {
    if (client) version_ = protocolVersion(*client).value_or(version_);
    check(listener_.valid() && wake_.valid(), "socket");
    sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof a;
    check(::bind(listener_.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0, "bind");
    check(::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&a), &length) == 0, "getsockname");
    check(::listen(listener_.get(), 16) == 0, "listen");
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { serve(); });
}

AdbServerStandIn::~AdbServerStandIn() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wake_.get(), &one, sizeof one);
    thread_.join();
}

std::vector<std::pair<std::string, std::optional<std::string>>> AdbServerStandIn::env() const {
    return {{"ANDROID_ADB_SERVER_PORT", std::to_string(port_)},
            {"ADB_SERVER_SOCKET", std::nullopt},  // would win over the port
            {"ANDROID_ADB_SERVER_ADDRESS", std::nullopt},
            {"ANDROID_SDK_HOME", std::nullopt},  // would hold the key folder in place of $HOME/.android
            {"ANDROID_USER_HOME", std::nullopt}};
}

std::vector<std::string> AdbServerStandIn::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::optional<int> AdbServerStandIn::protocolVersion(const std::string& client) {
    const ProcessResult result = PosixProcessRunner().run(ProcessRequest{client, {"version"}, 30});
    const std::string out(result.output.begin(), result.output.end());
    const std::string first = out.substr(0, out.find('\n'));  // "Android Debug Bridge version 1.0.41"
    const auto dot = first.rfind('.');
    if (!result.succeeded() || dot == std::string::npos) return std::nullopt;
    try {
        return std::stoi(first.substr(dot + 1));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void AdbServerStandIn::serve() {
    for (;;) {
        pollfd p[2] = {{listener_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 && errno != EINTR) return;
        if (p[1].revents != 0) return;
        if (p[0].revents == 0) continue;
        const UniqueFd connection(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (connection.valid()) answer(connection);
    }
}

void AdbServerStandIn::answer(const UniqueFd& connection) {
    char length[5] = {};
    if (!readAll(connection.get(), length, 4)) return;
    const unsigned long size = std::strtoul(length, nullptr, 16);
    std::string request(size, '\0');
    if (size == 0 || size > 1024 || !readAll(connection.get(), request.data(), size)) return;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    char version[5];
    std::snprintf(version, sizeof version, "%04x", static_cast<unsigned>(version_));
    if (request == "host:version") return sendAll(connection.get(), "OKAY" + framed(version));
    if (request == "host:devices" || request == "host:devices-l")
        return sendAll(connection.get(), "OKAY0000");
    sendAll(connection.get(), "FAIL" + framed("the test's stand-in adb server does not serve " + request));
}

}  // namespace velmora::test

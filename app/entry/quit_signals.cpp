#include "app/entry/quit_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>

#include "core/log/velmora_log.h"

namespace velmora {
namespace {

int pipeEnds[2] = {-1, -1};

void onSignal(int number) {
    const auto byte = static_cast<char>(number);
    const int saved = errno;
    [[maybe_unused]] const auto n = ::write(pipeEnds[1], &byte, 1);
    errno = saved;
}

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(pipeEnds[0], &byte, 1) == 1) {
        }
        VelmoraLog::write("sinal " + std::to_string(static_cast<int>(byte)) + " recebido: encerrando");
        requested_ = true;
        emit quitRequested();
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

QuitSignals::EndAtOnce::EndAtOnce(const QuitSignals* quit) : notifier_(quit ? quit->notifier_ : nullptr) {
    if (!notifier_) return;
    stop_ = ::eventfd(0, EFD_CLOEXEC);
    if (stop_ < 0) return;
    notifier_->setEnabled(false);  // one reader of the pipe at a time: the signal must not wait for a loop
    watcher_ = std::thread([this] { watch(); });
}

QuitSignals::EndAtOnce::~EndAtOnce() {
    if (stop_ < 0) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(stop_, &one, sizeof one);
    watcher_.join();
    ::close(stop_);
    notifier_->setEnabled(true);
}

// Nothing the process started needs its end yet, so it ends here: the blocked GUI thread cannot be unwound.
void QuitSignals::EndAtOnce::watch() const {
    pollfd fds[2] = {{pipeEnds[0], POLLIN, 0}, {stop_, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        char byte = 0;
        if (::read(pipeEnds[0], &byte, 1) != 1) continue;
        VelmoraLog::write("sinal " + std::to_string(static_cast<int>(byte)) +
                          " recebido enquanto a abertura esperava: encerrando");
        VelmoraLog::flush();
        std::_Exit(0);
    }
}

QuitSignals::~QuitSignals() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace velmora

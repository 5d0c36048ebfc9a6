// velmora_sim_phone as a program: a computer it refuses is told so and the next one is served.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "core/channel/secure_channel.h"
#include "core/session/link_session.h"
#include "core/transport/tcp_transport.h"
#include "support/session_harness.h"

namespace velmora::test {
namespace {

// The program on a free port, its standard output read on a thread of its own.
class PhoneProgram {
  public:
    // `input` is the program's standard input, whole, then closed.
    explicit PhoneProgram(std::vector<std::string> args, const std::string& input = "") {
        int pipeFds[2], inFds[2];
        EXPECT_EQ(::pipe(pipeFds), 0);
        EXPECT_EQ(::pipe(inFds), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(pipeFds[1], 1);
            ::dup2(inFds[0], 0);
            ::close(pipeFds[0]);
            ::close(inFds[1]);
            std::vector<char*> argv{const_cast<char*>(VELMORA_SIM_PHONE)};
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(VELMORA_SIM_PHONE, argv.data());
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        ::close(inFds[0]);
        EXPECT_EQ(::write(inFds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
        ::close(inFds[1]);
        reader_ = std::thread([this, fd = pipeFds[0]] {
            char buffer[4096];
            for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
                std::lock_guard lock(mutex_);
                output_.append(buffer, static_cast<std::size_t>(n));
                changed_.notify_all();
            }
            ::close(fd);
        });
    }
    ~PhoneProgram() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (reader_.joinable()) reader_.join();
    }
    // True once the output holds `text` `count` times.
    bool says(const std::string& text, std::size_t count = 1) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::minutes(2), [&] {
            std::size_t n = 0;
            for (auto at = output_.find(text); at != std::string::npos; at = output_.find(text, at + 1))
                ++n;
            return n >= count;
        });
    }
    std::string output() {
        std::lock_guard lock(mutex_);
        return output_;
    }
    std::uint16_t port() {
        EXPECT_TRUE(says("escutando em 127.0.0.1:"));
        const std::string out = output();
        return static_cast<std::uint16_t>(std::stoi(out.substr(out.find("127.0.0.1:") + 10)));
    }
    bool alive() { return ::waitpid(pid_, nullptr, WNOHANG) == 0; }
    // Waits for the program to end on its own; its exit code.
    int exitCode() {
        int status = 0;
        const pid_t ended = ::waitpid(pid_, &status, 0);
        pid_ = -1;
        reader_.join();  // everything it wrote is in `output_`
        return ended > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string output_;
};

// A computer whose signature does not hold: it signs other bytes than the ones the opening covers.
class ForgingIdentity final : public Identity {
  public:
    const Bytes& publicX963() const override { return real_.publicX963(); }
    const std::string& deviceName() const override { return real_.deviceName(); }
    const std::string& platform() const override { return real_.platform(); }
    Bytes sign(ByteView) const override { return real_.sign(Bytes{1, 2, 3}); }

  private:
    SoftwareIdentity real_{"Computador Forjado", "linux"};
};

// Opens a session with the program, runs `whileOpen`, and closes it; what failed, if anything.
std::exception_ptr openAgainst(std::uint16_t port, const Identity& computer, PeerStore& store,
                               const std::function<void()>& whileOpen = {}) {
    auto transport = std::make_shared<TcpTransport>("127.0.0.1", port);
    try {
        transport->connect(120.0);
        auto session =
            LinkSession::open(SecureChannel::connectAsClient(transport), computer, store, std::nullopt, true,
                              [](const Peer&, const std::string&) { return true; });
        if (whileOpen) whileOpen();
        session->close();
        return nullptr;
    } catch (...) {
        transport->close();
        return std::current_exception();
    }
}

TEST(PhoneProgram, ARefusedComputerIsToldAndTheNextOneIsServed) {
    PhoneProgram program({"--port", "0"});
    const std::uint16_t port = program.port();
    MemoryPeerStore store;
    const ForgingIdentity forger;
    for (int i = 1; i <= 2; ++i) {
        EXPECT_TRUE(openAgainst(port, forger, store));
        ASSERT_TRUE(program.says("computador recusado: assinatura do computador inválida", i))
            << program.output();
        EXPECT_TRUE(program.alive());
    }
    // The id to start it with next time comes as soon as the pairing stands, not when the session ends.
    const SoftwareIdentity honest("Computador Honesto", "linux");
    EXPECT_FALSE(openAgainst(port, honest, store, [&] {
        EXPECT_TRUE(program.says("pareado com o computador " + honest.id() + ": ")) << program.output();
        EXPECT_NE(program.output().find("use --paired " + honest.id() + " e a mesma --key-file"),
                  std::string::npos);
        EXPECT_EQ(program.output().find("sessão encerrada"), std::string::npos) << program.output();
    }));
    EXPECT_TRUE(program.says("sessão encerrada")) << program.output();
}

TEST(PhoneProgram, AScriptOnStandardInputSaysWhatIsWrongWithALineAndQuitEndsIt) {
    PhoneProgram program({"--port", "0", "--script", "-"}, "dance\nsleep 1\nquit\n");
    EXPECT_EQ(program.exitCode(), 0);
    const std::string out = program.output();
    EXPECT_NE(out.find("roteiro: linha 1 (dance): ação desconhecida"), std::string::npos) << out;
    EXPECT_NE(out.find("roteiro: sleep"), std::string::npos) << out;
}

TEST(PhoneProgram, ABadScriptStopsTheProgramBeforeItListens) {
    const std::string script =
        (std::filesystem::temp_directory_path() / "velmora-sim-phone-bad-script").string();
    { std::ofstream(script) << "wait-session\nsleep agora\n"; }
    PhoneProgram program({"--port", "0", "--script", script});
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_EQ(program.output().find("escutando"), std::string::npos) << "it never listened";
    std::filesystem::remove(script);
}

}  // namespace
}  // namespace velmora::test

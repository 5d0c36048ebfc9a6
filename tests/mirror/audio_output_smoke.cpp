// The sound output against a real sound server of the test's own: a private PulseAudio with one null sink on
// a socket in a temporary folder (never the machine's sound setup). Half a second of tone must drain
// through QAudioSink, and the output must read as stopped once the server goes away. Skipped, with the
// reason, where the server cannot start.

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAudioDevice>
#include <QCoreApplication>
#include <QMediaDevices>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstring>

#include "app/mirror/audio/qt_audio_output.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace velmora {
namespace {

// True once the server accepts connections there: the socket file appears before it listens.
bool accepts(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool ok = fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) close(fd);
    return ok;
}

TEST(QtAudioOutput, PlaysThroughARealSoundServerAndNoticesItGoing) {
    test::TempDir dir("velmora-pulse");
    const std::string d = dir.path().string(), socket = d + "/native";
    const std::string command = "HOME=" + d + " XDG_RUNTIME_DIR=" + d +
                                " exec pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no -L "
                                "'module-null-sink sink_name=velmora_null' -L 'module-native-protocol-unix "
                                "auth-anonymous=1 socket=" +
                                socket + "' >" + d + "/log 2>&1";
    const pid_t server = fork();
    if (server == 0)  // never outlives the test
        prctl(PR_SET_PDEATHSIG, SIGKILL), execl("/bin/sh", "sh", "-c", command.c_str(), nullptr), _exit(127);
    ASSERT_GT(server, 0);
    int status = 0;
    bool exited = false;
    test::waitUntil([&] {
        exited = exited || waitpid(server, &status, WNOHANG) == server;
        return exited || accepts(socket);
    });
    if (exited || !accepts(socket)) {
        if (!exited) kill(server, SIGKILL), waitpid(server, &status, 0);
        GTEST_SKIP() << "no sound server could start (status " << WEXITSTATUS(status)
                     << "): " << test::readFile(d + "/log");
    }
    setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    EXPECT_EQ(QMediaDevices::defaultAudioOutput().id(), "velmora_null");
    QtAudioOutput output;
    ASSERT_TRUE(output.open(48000, 2));
    // 25 buffers of 20 ms: far more than the sink's 60 ms buffer, so all pulled means the server played them.
    std::atomic<int> played = 0;
    for (int i = 0; i < 25; ++i) {
        AudioBuffer buffer{2, std::vector<float>(2 * 960)};
        for (std::size_t f = 0; f < buffer.samples.size(); ++f)
            buffer.samples[f] = 0.1f * static_cast<float>(std::sin(static_cast<double>(f) * 0.03));
        output.schedule(std::move(buffer), [&] { ++played; });
    }
    output.play();
    EXPECT_TRUE(test::waitUntil([&] { return played == 25; })) << played << " of 25 buffers played";
    EXPECT_TRUE(output.isRunning());
    kill(server, SIGTERM), waitpid(server, &status, 0);
    EXPECT_TRUE(test::waitUntil([&] { return !output.isRunning(); })) << "the output missed its server going";
    output.close();
}

}  // namespace
}  // namespace velmora

// The Qt clipboard layer under a private Xvfb, with the model and the simulated phone: what another program
// copies reaches the phone unless it is marked secret, and the phone's text lands in the clipboard for the
// other programs without coming back.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <cstdio>

#include "platform/clipboard/qt_clipboard.h"
#include "support/model_harness.h"
#include "support/wait_until.h"

extern char** environ;

namespace velmora {
namespace {

std::string skipReason = "Xvfb was not started";  // empty once the display stands

using test::ModelHarness;

// Qt's events and the model's executor turn until `done`.
bool settle(ModelHarness& h, const std::function<bool()>& done) {
    return test::waitUntil([&] {
        QCoreApplication::processEvents();
        h.exec->runPending();
        return done();
    });
}

// This program again, as another client of the display: it copies `content` (MIME type to bytes) and
// stays until another program takes the clipboard, or with "read" prints the clipboard's text.
std::unique_ptr<QProcess> otherProgram(const std::string& argument) {
    auto process = std::make_unique<QProcess>();
    process->start(QCoreApplication::applicationFilePath(),
                   {"--clip-peer", QString::fromStdString(argument)});
    return process;
}

TEST(QtClipboard, CopiesOfAnotherProgramReachThePhoneAndThePhonesTextDoesNotComeBack) {
    if (!skipReason.empty()) GTEST_SKIP() << skipReason;
    ModelHarness h;
    h.pairBothSides();
    auto clipboard = std::make_shared<QtClipboard>(QGuiApplication::clipboard());
    ModelPorts ports = h.ports();
    ports.clipboard = clipboard;
    h.model = AppModel::create(ports, false);
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    std::vector<std::unique_ptr<QProcess>> copiers;
    auto copyElsewhere = [&](const nlohmann::json& content) {
        const std::int64_t before = clipboard->changeCount();
        copiers.push_back(otherProgram(content.dump()));
        ASSERT_TRUE(settle(h, [&] { return clipboard->changeCount() != before; }));
        h.advance(0.6);
    };
    copyElsewhere({{"text/plain", "copiado em outro programa"}});
    copyElsewhere({{"text/plain", "hunter2"}, {"x-kde-passwordManagerHint", "secret"}});
    h.model->writeClipboard("do celular");
    auto reader = otherProgram("read");
    ASSERT_TRUE(settle(h, [&] { return reader->state() == QProcess::NotRunning; }));
    EXPECT_EQ(reader->readAllStandardOutput().toStdString(), "do celular");
    h.advance(1.2);
    copyElsewhere({{"text/plain", "fim"}});
    ASSERT_NE(h.journal->waitFor("phone {\"t\":\"clip.set\",\"text\":\"fim\"}"), "");
    std::vector<std::string> sent;
    for (const std::string& entry : h.journal->all())
        if (entry.starts_with("phone {\"t\":\"clip.set\"")) sent.push_back(entry);
    EXPECT_EQ(sent,
              (std::vector<std::string>{"phone {\"t\":\"clip.set\",\"text\":\"copiado em outro programa\"}",
                                        "phone {\"t\":\"clip.set\",\"text\":\"fim\"}"}));
    for (const auto& copier : copiers) {
        copier->kill();
        copier->waitForFinished();
    }
}

// The other program's side.
int otherProgramMain(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (std::string_view(argv[2]) == "read") {
        std::fputs(clipboard->text().toUtf8().constData(), stdout);
        return 0;
    }
    auto* mime = new QMimeData;
    const nlohmann::json content = nlohmann::json::parse(argv[2]);
    for (const auto& [type, value] : content.items())
        mime->setData(QString::fromStdString(type), QByteArray::fromStdString(value.get<std::string>()));
    clipboard->setMimeData(mime);
    QObject::connect(clipboard, &QClipboard::dataChanged, [&] {
        if (!clipboard->ownsClipboard()) app.quit();
    });
    return app.exec();
}

// A private X server on a free display, ended with the program.
struct Xvfb {
    void start() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        const std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb",    "-displayfd", fd.c_str(),   "-nolisten", "tcp",
                              "-screen", "0",          "640x480x24", nullptr};
        if (::posix_spawnp(&pid, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
            skipReason = "Xvfb is not installed (deps/apt/clipboard.txt)";
            pid = 0;
        }
        ::close(fds[1]);
        pollfd ready{fds[0], POLLIN, 0};
        char number[16] = {};
        if (pid && ::poll(&ready, 1, 60000) == 1 && ::read(fds[0], number, sizeof number - 1) > 0) {
            ::setenv("DISPLAY", (":" + std::string(number, std::strcspn(number, "\n"))).c_str(), 1);
            skipReason.clear();
        } else if (pid) {
            skipReason = "Xvfb did not start";
        }
        ::close(fds[0]);
    }
    ~Xvfb() {
        if (pid == 0) return;
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    pid_t pid = 0;
};

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
    if (argc == 3 && std::string_view(argv[1]) == "--clip-peer") return velmora::otherProgramMain(argc, argv);
    const bool listing = argc > 1 && std::string_view(argv[1]).starts_with("--gtest_list_tests");
    velmora::Xvfb server;
    if (!listing) server.start();
    ::setenv("QT_QPA_PLATFORM", velmora::skipReason.empty() ? "xcb" : "offscreen", 1);
    int status = 0;
    {
        QGuiApplication app(argc, argv);
        testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    return status;
}

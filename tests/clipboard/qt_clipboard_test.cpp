// The Qt clipboard layer under a private Xvfb, with the model and the simulated phone. The other program
// that copies and reads is this one again, started with "--clip-peer".

#include <gtest/gtest.h>
#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <optional>

#include "core/protocol/control_json.h"
#include "platform/clipboard/qt_clipboard.h"
#include "support/model_harness.h"
#include "support/private_xvfb.h"
#include "support/wait_until.h"

namespace velmora {
namespace {

std::string skipReason = "Xvfb did not start (see deps/apt/clipboard.txt)";  // empty once the display stands

TEST(QtClipboard, CopiesOfAnotherProgramReachThePhoneAndThePhonesTextDoesNotComeBack) {
    if (!skipReason.empty()) GTEST_SKIP() << skipReason;
    PhoneConfig config;  // the phone's copy arrives as soon as the session stands
    config.afterReady = {{Ch::control, encodeJSON({{"t", "clip.set"}, {"text", "do celular"}})}};
    test::ModelHarness h(config);
    h.pairBothSides();
    auto clipboard = std::make_shared<QtClipboard>(QGuiApplication::clipboard());
    ModelPorts ports = h.ports();
    ports.clipboard = clipboard;
    h.model = AppModel::create(ports, false);
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    std::vector<std::unique_ptr<QProcess>> others;
    auto settle = [&](auto done) {
        return test::waitUntil(
            [&] { return QCoreApplication::processEvents(), h.exec->runPending(), done(); });
    };
    auto other = [&](const std::string& argument) -> QProcess& {
        QProcess& process = *others.emplace_back(std::make_unique<QProcess>());
        return process.start(QCoreApplication::applicationFilePath(), {"--clip-peer", argument.c_str()}),
               process;
    };
    auto copyElsewhere = [&](const nlohmann::json& content) {
        const std::int64_t before = clipboard->changeCount();
        other(content.dump());
        ASSERT_TRUE(settle([&] { return clipboard->changeCount() != before; }));
        h.advance(0.6);
    };
    ASSERT_TRUE(settle([&] { return clipboard->text() == "do celular"; }));
    QProcess& reader = other("read");
    ASSERT_TRUE(settle([&] { return reader.state() == QProcess::NotRunning; }));
    EXPECT_EQ(reader.readAllStandardOutput().toStdString(), "do celular");
    h.advance(1.2);
    copyElsewhere({{"text/plain", "copiado em outro programa"}});
    copyElsewhere({{"text/plain", "hunter2"}, {"x-kde-passwordManagerHint", "secret"}});
    copyElsewhere({{"text/plain", "fim"}});
    ASSERT_NE(h.journal->waitFor("phone {\"t\":\"clip.set\",\"text\":\"fim\"}"), "");
    EXPECT_EQ(h.journal->after("phone {\"t\":\"clip.set\",\"text\":\""),
              (std::vector<std::string>{"copiado em outro programa\"}", "fim\"}"}));
    for (const auto& process : others)
        process->kill(), process->waitForFinished();
}

// Under Qt's Wayland plugin the compositor takes a client's clipboard only while it has the keyboard and
// announces the others' copy again at every focus: without focus no write is made (and none is reported),
// and the same copy announced again is no new change. The X clipboard stands in for the compositor's.
TEST(QtClipboard, InAWaylandSessionWritesOnlyWithFocusAndAReannouncedCopyCountsOnce) {
    if (!skipReason.empty()) GTEST_SKIP() << skipReason;
    bool focus = false;
    QtClipboard clipboard(QGuiApplication::clipboard(), QtClipboard::Session::wayland, [&] { return focus; });
    std::vector<std::unique_ptr<QProcess>> others;
    auto settle = [&](auto done) {
        return test::waitUntil([&] { return QCoreApplication::processEvents(), done(); });
    };
    // Each copy waits until the program that copied before has ended, which it does on losing the
    // clipboard: the copy announced again reads as it did before, so without that wait the next program
    // could take the clipboard first and the two copies arrive swapped.
    auto copyElsewhere = [&](const char* text, std::int64_t count) {
        QProcess* before = others.empty() ? nullptr : others.back().get();
        QProcess& process = *others.emplace_back(std::make_unique<QProcess>());
        process.start(QCoreApplication::applicationFilePath(),
                      {"--clip-peer", QString::fromStdString(nlohmann::json{{"text/plain", text}}.dump())});
        return settle([&] {
            return (!before || before->state() == QProcess::NotRunning) && clipboard.text() == text &&
                   clipboard.changeCount() == count;
        });
    };
    const std::int64_t start = clipboard.changeCount();
    ASSERT_TRUE(copyElsewhere("no computador", start + 1));
    EXPECT_EQ(clipboard.replaceText("do celular"), start + 1);  // no focus: nothing written, nothing counted
    EXPECT_EQ(clipboard.text(), "no computador");
    ASSERT_TRUE(copyElsewhere("no computador", start + 1));  // the same copy, announced again
    ASSERT_TRUE(copyElsewhere("outra cópia", start + 2));    // counted after it: the one before was not
    focus = true;
    EXPECT_EQ(clipboard.replaceText("do celular"), start + 3);
    EXPECT_EQ(clipboard.text(), "do celular");
    ASSERT_TRUE(copyElsewhere("fim", start + 4));
    for (const auto& process : others)
        process->kill(), process->waitForFinished();
}

// The other program: prints the clipboard's text, or copies the given MIME types and stays until another
// program takes the clipboard.
int otherProgram(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (std::string_view(argv[2]) == "read")
        return std::fputs(clipboard->text().toUtf8().constData(), stdout), 0;
    auto* mime = new QMimeData;
    const nlohmann::json content = nlohmann::json::parse(argv[2]);
    for (const auto& [type, value] : content.items())
        mime->setData(QString::fromStdString(type), QByteArray::fromStdString(value.get<std::string>()));
    clipboard->setMimeData(mime);
    QObject::connect(clipboard, &QClipboard::dataChanged,
                     [&] { clipboard->ownsClipboard() || (app.quit(), 0); });
    return app.exec();
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
    if (argc == 3 && std::string_view(argv[1]) == "--clip-peer") return velmora::otherProgram(argc, argv);
    std::optional<velmora::test::PrivateXvfb> xvfb;
    if (argc < 2 || !std::string_view(argv[1]).starts_with("--gtest_list_tests")) xvfb.emplace();
    if (xvfb && xvfb->running()) velmora::skipReason.clear();
    ::setenv("QT_QPA_PLATFORM", velmora::skipReason.empty() ? "xcb" : "offscreen", 1);
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The built application as a user starts it: the image tools' files and exit statuses, one instance at a
// time with a clean end on SIGTERM, and pairing with the simulated phone over loopback, then reconnecting
// without a prompt.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <optional>

#include "core/process/adb_locator.h"
#include "support/adb_server_stand_in.h"
#include "support/program_home.h"
#include "support/wait_until.h"

namespace velmora {
namespace {

constexpr int kBoundMs = 120'000;  // loaded machines are slow; a passing run waits far less

// A private home for the programs: a home folder and runtime, state, data, config and cache folders of their
// own, no session bus, and an adb server of the test's own for the adb the program finds, so that its cable
// polling never reaches this computer's adb server, nor starts one that would reach a phone on the cable.
struct Home : test::ProgramHome {
    Home() : ProgramHome("velmora-entry") {}

    std::optional<std::string> adbPath =
        AdbLocator::find(AdbLocator::defaultCandidates((root() / "home").string()));
    test::AdbServerStandIn adb{adbPath};

    QProcessEnvironment env() const {
        QProcessEnvironment e = ProgramHome::env();
        for (const auto& [name, value] : adb.env())
            value ? e.insert(QString::fromStdString(name), QString::fromStdString(*value))
                  : e.remove(QString::fromStdString(name));
        return e;
    }
    bool adbServed(const std::string& request) const {
        const auto served = adb.requests();
        return std::find(served.begin(), served.end(), request) != served.end();
    }
};

struct Program {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    Program(const QString& file, const QStringList& args, const QProcessEnvironment& env,
            const QString& cwd = {}) {
        process->setProcessEnvironment(env);
        // It goes with the test program even when that one is killed or aborts.
        process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        if (!cwd.isEmpty()) process->setWorkingDirectory(cwd);
        process->start(file, args);
        EXPECT_TRUE(process->waitForStarted(kBoundMs)) << file.toStdString();
    }
    // SIGTERM first: the program and an X server so ended take their sockets and lock files with them.
    ~Program() {
        if (process->state() == QProcess::NotRunning) return;
        process->terminate();
        if (process->waitForFinished(kBoundMs)) return;
        process->kill();
        process->waitForFinished(kBoundMs);
    }
    // Exit status after SIGTERM-free completion, or -1 when it did not end in time or crashed.
    int finish() {
        if (!process->waitForFinished(kBoundMs) || process->exitStatus() != QProcess::NormalExit) return -1;
        return process->exitCode();
    }
    int terminate() {
        ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
        return finish();
    }
};

bool waitFor(const std::function<bool()>& done) {
    return test::waitUntil(done, kBoundMs / 1000.0);
}

TEST(Tools, WriteTheirFilesAndSayWhenAnyFailed) {
    Home home;
    QProcessEnvironment env = home.env();
    env.remove("QT_QPA_PLATFORM");  // the tools draw off screen on their own
    QFile(home.path("file")).open(QIODevice::WriteOnly);
    const struct {
        QStringList args;
        int status;
        QString folder;
        int files;
    } rows[] = {
        {{"--make-iconset", home.path("icons")}, 0, home.path("icons"), 10},
        {{"--make-iconset", home.path("file") + "/icons"}, 1, {}, 0},
        {{"--make-iconset", "--snapshot"}, 0, home.path("run") + "/--snapshot", 10},  // relative to cwd
    };
    for (const auto& row : rows) {
        Program tool(VELMORA_APP, row.args, env, home.path("run"));
        const std::string what = row.args.join(' ').toStdString();
        EXPECT_EQ(tool.finish(), row.status) << what;
        const QString err = QString::fromUtf8(tool.process->readAllStandardError());
        const auto lines = err.split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(lines.size(), row.status == 0 ? 0 : 1) << what << ": " << err.toStdString();
        if (!row.folder.isEmpty()) {
            EXPECT_EQ(QDir(row.folder).entryList({"*.png"}, QDir::Files).size(), row.files) << what;
        }
    }
    EXPECT_TRUE(home.log().isEmpty()) << "the tools start no application";
}

// Table: a folder where every file can be written, or where some cannot (a folder stands where a picture
// would go), in both languages. The tool's stderr holds its one line with the count in the right number, and
// nothing else: no line of Qt's, on success neither, nor at Qt's start without a runtime folder.
TEST(Tools, SayOnlyTheirOneLineInTheRightNumberOrNothing) {
    Home home;
    const struct {
        const char* tool;
        QStringList blocked;  // names taken by folders in the tool's folder
        int status;
        const char* english;
        const char* portuguese;
        int written;
    } rows[] = {
        {"--snapshot", {}, 0, "", "", 54},
        {"--snapshot",
         {"dialogo-pareamento.png"},
         1,
         "velmora: 1 picture was not written to %1",
         "velmora: 1 imagem não foi gravada em %1",
         53},
        {"--make-iconset", {}, 0, "", "", 10},
        {"--make-iconset",
         {"icon_16x16.png"},
         1,
         "velmora: 1 of 10 icons was not written to %1",
         "velmora: 1 de 10 ícones não foi gravado em %1",
         9},
        {"--make-iconset",
         {"icon_16x16.png", "icon_32x32.png"},
         1,
         "velmora: 2 of 10 icons were not written to %1",
         "velmora: 2 de 10 ícones não foram gravados em %1",
         8},
    };
    int run = 0;
    for (const char* lang : {"en_US.UTF-8", "pt_BR.UTF-8"}) {
        QProcessEnvironment env = home.env();
        env.remove("QT_QPA_PLATFORM");  // the tools' own off-screen drawing, as a user runs them
        env.remove("XDG_RUNTIME_DIR");  // as in a shell under su, where Qt's start warns of it
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
            env.remove(name);
        env.insert("LANG", lang);
        const bool english = QByteArray(lang).startsWith("en");
        for (const auto& row : rows) {
            const QString folder = home.path("run") + "/pictures-" + QString::number(++run);
            for (const QString& name : row.blocked)
                ASSERT_TRUE(QDir().mkpath(folder + '/' + name));
            Program tool(VELMORA_APP, {row.tool, folder}, env);
            const std::string what =
                std::string(lang) + " " + row.tool + " " + row.blocked.join(' ').toStdString();
            EXPECT_EQ(tool.finish(), row.status) << what;
            const QString line = QString::fromUtf8(english ? row.english : row.portuguese);
            const std::string expected = line.isEmpty() ? "" : line.arg(folder).toStdString() + '\n';
            EXPECT_EQ(tool.process->readAllStandardError().toStdString(), expected) << what;
            EXPECT_EQ(QDir(folder).entryList({"*.png"}, QDir::Files).size(), row.written) << what;
        }
    }
    EXPECT_TRUE(home.log().isEmpty()) << "the tools start no application";
}

TEST(Application, OneInstanceAtATimeAndSigtermEndsItCleanly) {
    Home home;
    Program first(VELMORA_APP, {"--snapshot"}, home.env());  // an option without its folder: a normal start
    ASSERT_TRUE(waitFor([&] { return home.log().contains("Velmora iniciando"); }))
        << home.log().toStdString();
    Program second(VELMORA_APP, {}, home.env());
    EXPECT_EQ(second.finish(), 0);
    EXPECT_TRUE(home.log().contains("já está em execução"));
    EXPECT_EQ(home.log().count("Velmora iniciando"), 1);
    // Bluetooth is wired in: its radio reports a state, and a computer without an adapter runs on.
    EXPECT_TRUE(waitFor([&] { return home.log().contains("estado do Bluetooth do computador: "); }));
    EXPECT_LE(home.log().count("Bluetooth: nenhum adaptador"), 1);
    // The cable is polled through the adb server the environment names: the test's, which lists no phone.
    if (home.adbPath) {
        EXPECT_TRUE(waitFor([&] { return home.adbServed("host:devices-l"); }));
    }
    EXPECT_EQ(first.terminate(), 0);
    EXPECT_TRUE(home.log().contains("Velmora encerrado")) << home.log().toStdString();
    // No adb server started: one would have made its key in the home.
    EXPECT_FALSE(QFileInfo::exists(home.path("home") + "/.android"));
}

// Without a display Qt can use, Qt would abort the program (status 134): it ends with one line instead.
TEST(Application, WithoutAUsableDisplayEndsWithOneLine) {
    Home home;
    const struct {
        const char* what;
        std::vector<std::pair<const char*, const char*>> set;  // a null value removes the variable
    } rows[] = {
        {"neither X nor Wayland",
         {{"QT_QPA_PLATFORM", nullptr}, {"DISPLAY", nullptr}, {"WAYLAND_DISPLAY", "velmora-no-such-socket"}}},
        {"xcb asked, no X server", {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":7391"}}},
        {"wayland asked, no compositor",
         {{"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", "/nonexistent/wl"}}},
    };
    // The line is in the user's language.
    const struct {
        const char* lang;
        const char* noDisplay;
        const char* unusable;
    } languages[] = {{"pt_BR.UTF-8", "velmora: nenhuma tela utilizável", "não pode ser usada aqui"},
                     {"en_GB.UTF-8", "velmora: no usable display", "cannot be used here"}};
    for (const auto& language : languages) {
        for (const auto& row : rows) {
            QProcessEnvironment env = home.env();
            for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
                env.remove(name);
            env.insert("LANG", language.lang);
            for (const auto& [name, value] : row.set)
                value ? env.insert(name, value) : env.remove(name);
            Program app(VELMORA_APP, {}, env);
            EXPECT_EQ(app.finish(), 1) << row.what;
            const QStringList lines =
                QString::fromUtf8(app.process->readAllStandardError()).split('\n', Qt::SkipEmptyParts);
            ASSERT_EQ(lines.size(), 1) << row.what << ": " << lines.join('\n').toStdString();
            EXPECT_TRUE(lines.front().startsWith(language.noDisplay) ||
                        (lines.front().startsWith("velmora: ") && lines.front().contains(language.unusable)))
                << lines.front().toStdString();
        }
    }
    // The log has the same lines in Portuguese, the English sessions' too.
    const QString log = home.log();
    EXPECT_EQ(log.count("nenhuma tela utilizável"), static_cast<qsizetype>(2 * std::size(rows)))
        << log.toStdString();
    EXPECT_FALSE(log.contains("no usable display")) << log.toStdString();
    EXPECT_FALSE(home.log().contains("Velmora iniciando"));
}

// The simulated phone on a free loopback port; its first line names the port.
struct Phone : Program {
    explicit Phone(const QProcessEnvironment& env) : Program(VELMORA_SIM_PHONE, {"--port", "0"}, env) {
        EXPECT_TRUE(waitFor([&] {
            process->waitForReadyRead(100);  // QProcess reads its pipe only while waiting or in an event loop
            output += QString::fromUtf8(process->readAllStandardOutput());
            return output.contains("escutando em 127.0.0.1:");
        }));
        port = output.section("127.0.0.1:", 1).section('\n', 0, 0).trimmed();
    }
    bool says(const QString& text) {
        return waitFor([&] {
            process->waitForReadyRead(100);
            output += QString::fromUtf8(process->readAllStandardOutput());
            return output.contains(text);
        });
    }
    QString output, port;
};

TEST(Application, PairsWithTheSimulatedPhoneThroughTheDialogThenReconnectsWithoutIt) {
    Home home;
    Phone phone(home.env());
    QProcessEnvironment env = home.env();
    env.insert("VELMORA_DEV_CONNECT", "127.0.0.1:" + phone.port);
    env.insert("VELMORA_DEV_PAIRING_ANSWER", "yes");
    {
        Program app(VELMORA_APP, {}, env);
        ASSERT_TRUE(phone.says("código de pareamento:")) << phone.output.toStdString();
        ASSERT_TRUE(waitFor([&] { return home.log().contains("conectado a Celular Simulado"); }))
            << home.log().toStdString();
        EXPECT_TRUE(home.log().contains("resposta automática de desenvolvimento: sim"));
        EXPECT_TRUE(phone.says("pareado com o computador ")) << phone.output.toStdString();
        // The typed address's connection tells its states in the log.
        EXPECT_TRUE(home.log().contains("conexão de rede: ready")) << home.log().toStdString();
        EXPECT_EQ(app.terminate(), 0);
    }
    // Both sides remember each other: no dialog this time (an unanswered one would hold the connection). This
    // run is on an X server of its own, where no tray exists, so the panel shows as a window.
    env.remove("VELMORA_DEV_PAIRING_ANSWER");
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    std::optional<Program> server;
    if (!xvfb.isEmpty()) {
        server.emplace(
            xvfb, QStringList{"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x800x24"}, env);
        QString display;
        ASSERT_TRUE(waitFor([&] {
            server->process->waitForReadyRead(100);
            display += QString::fromUtf8(server->process->readAllStandardOutput());
            return display.endsWith('\n');
        }));
        env.insert("DISPLAY", ":" + display.trimmed());
        env.insert("QT_QPA_PLATFORM", "xcb");
    }
    Program again(VELMORA_APP, {}, env);
    ASSERT_TRUE(waitFor([&] { return home.log().count("conectado a Celular Simulado") == 2; }))
        << home.log().toStdString();
    EXPECT_EQ(phone.output.count("código de pareamento:"), 1);
    if (server) {
        EXPECT_TRUE(home.log().contains("bandeja do sistema indisponível"));
    }
    EXPECT_EQ(again.terminate(), 0);
}

}  // namespace
}  // namespace velmora

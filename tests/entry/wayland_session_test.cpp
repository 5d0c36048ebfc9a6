// The application in a Wayland session as a user has it: weston (its X11 back end drawing into a private
// Xvfb, whose input stands in for the user's mouse and keyboard) with Xwayland, a StatusNotifierItem host on
// a private session bus that reports clicks on the icon with the click's point, and the simulated phone on
// loopback. A click at the top and at the bottom of the screen opens the panel at its final size, on screen
// and next to the click, the first time; Escape and a click on another window close it. Copies made with
// wl-copy while no Velmora window has focus reach the phone once each, and wl-paste reads the phone's text.
// Pictures of the screen, as weston shows it, go to build/artifacts/wayland/ (panel-N open, closed-N just
// after).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <mutex>
#include <optional>
#include <thread>

#include "core/loopback.h"
#include "core/process/adb_locator.h"
#include "core/protocol/control_json.h"
#include "core/transport/tcp_transport.h"
#include "support/adb_server_stand_in.h"
#include "support/program_home.h"
#include "support/simulated_phone.h"
#include "support/wait_until.h"

namespace velmora {
namespace {

constexpr int kBoundMs = 120'000;  // loaded machines are slow; a passing run waits far less
constexpr int kWidth = 1280, kHeight = 800;

QString outerDisplay;  // the Xvfb weston draws into; set by main when it started

bool waitFor(const std::function<bool()>& done) {
    return test::waitUntil(
        [&] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            return done();
        },
        kBoundMs / 1000.0);
}

// A program of the session, ended (it and only it) when the test ends: asked first, so that weston takes
// Xwayland's lock files and sockets away and the bus its socket; killed if it will not go.
struct Program {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QString out;
    Program(const QString& file, const QStringList& args, const QProcessEnvironment& env) {
        process->setProcessEnvironment(env);
        // It goes with the test program even when that one is killed or aborts.
        process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        process->start(file, args);
        EXPECT_TRUE(process->waitForStarted(kBoundMs)) << file.toStdString();
    }
    ~Program() {
        if (process->state() == QProcess::NotRunning) return;
        process->terminate();
        if (process->waitForFinished(kBoundMs)) return;
        process->kill();
        process->waitForFinished(kBoundMs);
    }
    QString read() {
        process->waitForReadyRead(50);
        out += QString::fromUtf8(process->readAllStandardOutput());
        return out;
    }
};

// Runs a short command to its end; its standard output. One that hangs (a paste whose owner is busy) is
// ended and reads as nothing, so the wait around it asks again within its own bound.
QString run(const QString& file, const QStringList& args, const QProcessEnvironment& env) {
    constexpr int kCommandMs = 15'000;
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(file, args);
    if (!p.waitForFinished(kCommandMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The host side of the StatusNotifierItem protocol: the watcher items register with, which says a host is
// there, and later the host's click on the item, Activate(x, y) as desktop panels send it.
class Watcher final : public QDBusVirtualObject {
  public:
    explicit Watcher(QDBusConnection bus) : bus_(std::move(bus)) {}

    QString introspect(const QString&) const override {
        return QStringLiteral(
            "<interface name=\"org.kde.StatusNotifierWatcher\">"
            "<method name=\"RegisterStatusNotifierItem\"><arg type=\"s\" direction=\"in\"/></method>"
            "<method name=\"RegisterStatusNotifierHost\"><arg type=\"s\" direction=\"in\"/></method>"
            "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
            "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/>"
            "<property name=\"RegisteredStatusNotifierItems\" type=\"as\" access=\"read\"/>"
            "</interface>");
    }

    bool handleMessage(const QDBusMessage& m, const QDBusConnection& connection) override {
        const QString member = m.member();
        if (member == QLatin1String("RegisterStatusNotifierItem") && m.arguments().size() == 1) {
            const QString arg = m.arguments().front().toString();
            std::lock_guard lock(mutex_);
            // An item names its bus name (its path is then the usual one) or its path on the caller's name.
            item_ = arg.startsWith('/') ? std::pair(m.service(), arg)
                                        : std::pair(arg, QStringLiteral("/StatusNotifierItem"));
        } else if (member == QLatin1String("Get") && m.arguments().size() == 2) {
            connection.send(
                m.createReply(QVariant::fromValue(QDBusVariant(property(m.arguments()[1].toString())))));
            return true;
        } else if (member == QLatin1String("GetAll")) {
            QVariantMap all;
            for (const char* name :
                 {"IsStatusNotifierHostRegistered", "ProtocolVersion", "RegisteredStatusNotifierItems"})
                all.insert(name, property(name));
            connection.send(m.createReply(all));
            return true;
        } else if (member != QLatin1String("RegisterStatusNotifierHost")) {
            return false;
        }
        connection.send(m.createReply());
        return true;
    }

    std::optional<std::pair<QString, QString>> item() const {
        std::lock_guard lock(mutex_);
        return item_;
    }
    // The host's click on the item at (x, y) of the screen.
    void click(int x, int y) {
        const auto at = item();
        ASSERT_TRUE(at);
        QDBusMessage call =
            QDBusMessage::createMethodCall(at->first, at->second, "org.kde.StatusNotifierItem", "Activate");
        call << x << y;
        ASSERT_TRUE(bus_.send(call));
    }

  private:
    QVariant property(const QString& name) const {
        if (name == QLatin1String("IsStatusNotifierHostRegistered")) return true;
        if (name == QLatin1String("ProtocolVersion")) return 0;
        std::lock_guard lock(mutex_);
        return item_ ? QStringList{item_->first + item_->second} : QStringList{};
    }

    QDBusConnection bus_;
    mutable std::mutex mutex_;
    std::optional<std::pair<QString, QString>> item_;
};

// The simulated phone on a loopback port, on a thread of its own; it puts its text on the computer's
// clipboard as soon as the session stands and keeps every control message it receives.
struct Phone {
    static constexpr const char* text = "texto copiado no celular";
    test::LoopbackListener listener;
    SimulatedPhone phone;
    std::mutex mutex;
    std::vector<std::string> clips;  // "clip.set" texts received, in order
    std::thread thread;
    std::atomic<bool> accepting{true};

    Phone()
        : phone({.afterReady = {{Ch::control, encodeJSON({{"t", "clip.set"}, {"text", text}})}},
                 .onControl = [this](const nlohmann::json& m) {
                     if (m.value("t", "") != "clip.set") return;
                     std::lock_guard lock(mutex);
                     clips.push_back(m.value("text", ""));
                 }}) {
        thread = std::thread([this] {
            UniqueFd connection = listener.accept();
            accepting = false;
            phone.serve(std::make_shared<TcpTransport>(std::move(connection)));
        });
    }
    ~Phone() {
        if (accepting) {  // nobody came: a connection of our own ends the wait
            try {
                TcpTransport(std::string("127.0.0.1"), listener.port()).connect(kBoundMs / 1000.0);
            } catch (const std::exception&) {
            }
        }
        thread.join();
    }
    int count(const std::string& clip) {
        std::lock_guard lock(mutex);
        return static_cast<int>(std::count(clips.begin(), clips.end(), clip));
    }
};

QString found(const char* program) {
    return QStandardPaths::findExecutable(program);
}

// The panel's frame from a log line "painel aberto em X,Y WxH ...".
struct Frame {
    int x = 0, y = 0, w = 0, h = 0;
};
std::optional<Frame> openedAt(const QString& log, int nth) {
    static const QRegularExpression line(QStringLiteral("painel aberto em (-?\\d+),(-?\\d+) (\\d+)x(\\d+)"));
    auto it = line.globalMatch(log);
    for (int i = 0; it.hasNext(); ++i) {
        const auto m = it.next();
        if (i == nth)
            return Frame{m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                         m.captured(4).toInt()};
    }
    return std::nullopt;
}

struct WaylandSession : ::testing::Test {
    // A click on the icon that opens the panel: one that comes within the quarter second after a close is
    // the closing click itself to the program, which says so, and is made again.
    bool openBy(Watcher& watcher, int x, int y) {
        for (int tries = 0; tries < 20; ++tries) {
            const auto opened = appLog().count("painel aberto em");
            const auto ignored = appLog().count("clique no ícone ignorado");
            watcher.click(x, y);
            if (!waitFor([&] {
                    return appLog().count("painel aberto em") > opened ||
                           appLog().count("clique no ícone ignorado") > ignored;
                }))
                return false;
            if (appLog().count("painel aberto em") > opened) return true;
        }
        return false;
    }
    test::ProgramHome home{"velmora-wayland"};
    // The program's cable polling goes to an adb server of the test's own, never this computer's.
    test::AdbServerStandIn adb{
        AdbLocator::find(AdbLocator::defaultCandidates((home.root() / "home").string()))};
    QString path(const QString& sub) const {
        return QString::fromStdString(home.root().string()) + '/' + sub;
    }
    QProcessEnvironment env = home.env();
    std::optional<Program> bus, weston;
    std::optional<Phone> phone;  // before the program, which goes first and so ends the phone's session
    std::optional<Program> app;
    QString xwayland;  // the X display weston's Xwayland serves

    QString westonLog() const {
        QFile f(path("weston.log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QString appLog() const { return home.log(); }
    QProcessEnvironment on(const QString& display) const {
        QProcessEnvironment e = env;
        e.insert("DISPLAY", display);
        return e;
    }
    // The user's input, through weston's window on the outer X server.
    void user(const QStringList& xdotool) { run(found("xdotool"), xdotool, on(outerDisplay)); }
    // The Velmora windows Xwayland shows now, by their title.
    QStringList shown(const QString& title) {
        return run(found("xdotool"), {"search", "--onlyvisible", "--name", "^" + title + "$"}, on(xwayland))
            .split('\n', Qt::SkipEmptyParts);
    }
    // What weston shows now, from weston itself: a grab of the outer screen may still hold pixels of windows
    // weston has since taken away.
    QImage westonShows() {
        static int shots = 0;
        const QString folder = path(QStringLiteral("shots/%1").arg(++shots));
        QDir().mkpath(folder);
        QProcess shooter;
        shooter.setProcessEnvironment(env);
        shooter.setWorkingDirectory(folder);
        shooter.start(found("weston-screenshooter"), {});
        EXPECT_TRUE(shooter.waitForFinished(kBoundMs)) << "weston-screenshooter";
        const QStringList files = QDir(folder).entryList({"*.png"}, QDir::Files);
        EXPECT_EQ(files.size(), 1) << shooter.readAllStandardError().toStdString();
        return files.isEmpty() ? QImage() : QImage(folder + '/' + files.front());
    }
    void picture(const QString& name) {
        const QString folder = QStringLiteral(VELMORA_ARTIFACTS_DIR "/wayland");
        QDir().mkpath(folder);
        const QImage shown = westonShows();
        ASSERT_FALSE(shown.isNull()) << name.toStdString();
        EXPECT_TRUE(shown.save(folder + '/' + name)) << name.toStdString();
    }

    void SetUp() override {
        for (const char* program :
             {"weston", "weston-screenshooter", "Xwayland", "dbus-daemon", "xdotool", "wl-copy", "wl-paste"})
            if (found(program).isEmpty()) GTEST_SKIP() << program << " is not installed (deps/apt/shell.txt)";
        if (outerDisplay.isEmpty()) GTEST_SKIP() << "Xvfb did not start";
        for (const auto& [name, value] : adb.env())
            value ? env.insert(QString::fromStdString(name), QString::fromStdString(*value))
                  : env.remove(QString::fromStdString(name));
        env.insert("XDG_SESSION_TYPE", "wayland");
        env.remove("QT_QPA_PLATFORM");
        env.remove("WAYLAND_DISPLAY");

        // A bus that starts no service on demand: a keyring or portal of this machine would answer (or
        // prompt) in place of the stand-ins.
        QFile config(path("bus.conf"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(
            ("<busconfig><type>session</type><listen>unix:dir=" + path("run") +
             "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
             "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>")
                .toUtf8());
        config.close();
        bus.emplace(
            found("dbus-daemon"),
            QStringList{"--config-file=" + path("bus.conf"), "--nofork", "--nopidfile", "--print-address=1"},
            env);
        ASSERT_TRUE(waitFor([&] { return bus->read().contains('\n'); }));
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus->out.trimmed());

        // No panel of weston's own: the screen is the desktop's, top to bottom, as Qt is told over X.
        QFile ini(path("weston.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(
            "[core]\nxwayland=true\nidle-time=0\n[shell]\npanel-position=none\nclose-animation=none\n"
            "startup-animation=none\nbackground-color=0xff3a5070\n");
        ini.close();
        weston.emplace(found("weston"),
                       // --debug lets weston-screenshooter ask weston for what it shows.
                       QStringList{"--debug", "--backend=x11-backend.so", "--use-pixman", "--xwayland",
                                   "--socket=velmora-wayland", "--width=" + QString::number(kWidth),
                                   "--height=" + QString::number(kHeight), "--config=" + path("weston.ini"),
                                   "--log=" + path("weston.log")},
                       on(outerDisplay));
        static const QRegularExpression listening(QStringLiteral("xserver listening on display (:\\d+)"));
        ASSERT_TRUE(waitFor([&] { return listening.match(westonLog()).hasMatch(); }))
            << westonLog().toStdString();
        xwayland = listening.match(westonLog()).captured(1);
        env.insert("WAYLAND_DISPLAY", "velmora-wayland");
        // Weston's output window fills the outer screen from its corner; the pointer rests on it, in a corner
        // no panel covers (weston's pictures show the pointer).
        user({"mousemove", "1275", "795"});
    }
};

TEST_F(WaylandSession, ThePanelOpensByTheClickAndClosesAndTheClipboardFollowsWithoutFocus) {
    QDBusConnection host = QDBusConnection::connectToBus(env.value("DBUS_SESSION_BUS_ADDRESS"), "host");
    ASSERT_TRUE(host.isConnected());
    Watcher watcher(host);
    ASSERT_TRUE(host.registerVirtualObject("/StatusNotifierWatcher", &watcher));
    ASSERT_TRUE(host.registerService("org.kde.StatusNotifierWatcher"));

    phone.emplace();
    QProcessEnvironment appEnv = on(xwayland);
    appEnv.insert("VELMORA_DEV_CONNECT", "127.0.0.1:" + QString::number(phone->listener.port()));
    appEnv.insert("VELMORA_DEV_PAIRING_ANSWER", "yes");
    app.emplace(VELMORA_APP, QStringList{}, appEnv);
    ASSERT_TRUE(waitFor([&] { return watcher.item().has_value(); })) << appLog().toStdString();
    ASSERT_TRUE(waitFor([&] { return appLog().contains("conectado a Celular Simulado"); }))
        << appLog().toStdString();
    EXPECT_FALSE(appLog().contains("bandeja do sistema indisponível"));
    // The pairing dialog, answered, leaves: still mapped, it would take the first panel's focus back.
    const QString pid = QString::number(app->process->processId());
    ASSERT_TRUE(waitFor([&] {
        return run(found("xdotool"), {"search", "--onlyvisible", "--pid", pid}, on(xwayland))
            .trimmed()
            .isEmpty();
    }));
    if (QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                          "/platforms/libqwayland-generic.so")) {
        EXPECT_TRUE(appLog().contains("a interface usa o Xwayland (xcb)")) << appLog().toStdString();
    }

    // The phone's text reaches the compositor's clipboard though no Velmora window has the keyboard.
    ASSERT_TRUE(waitFor([&] { return run(found("wl-paste"), {"--no-newline"}, env) == Phone::text; }));

    const struct {
        const char* what;
        int x, y;
        bool below;
        const char* close;
    } clicks[] = {
        {"top", 640, 12, true, "escape"},
        {"bottom", 900, 788, false, "click elsewhere"},
        {"top again", 200, 12, true, "escape"},
    };
    std::optional<Program> other;
    for (int i = 0; i < int(std::size(clicks)); ++i) {
        const auto& c = clicks[i];
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(openBy(watcher, c.x, c.y)) << appLog().toStdString();
        ASSERT_TRUE(waitFor([&] { return shown("Velmora").size() == 1; }))
            << shown("Velmora").join(' ').toStdString() << " / "
            << run(found("xdotool"), {"search", "--name", "Velmora"}, on(xwayland)).toStdString()
            << appLog().toStdString();
        const Frame f = *openedAt(appLog(), i);
        EXPECT_EQ(f.w, 360);
        EXPECT_GE(f.x, 0);
        EXPECT_GE(f.y, 0);
        EXPECT_LE(f.x + f.w, kWidth);
        EXPECT_LE(f.y + f.h, kHeight);
        EXPECT_LE(f.x, c.x);
        EXPECT_GE(f.x + f.w, c.x);
        if (c.below) {
            EXPECT_GT(f.y, c.y);
        } else {
            EXPECT_LT(f.y + f.h, c.y);
        }
        picture(QStringLiteral("panel-%1.png").arg(i + 1));
        // Xwayland tells the size; its positions lie inside the frames the compositor draws around X windows,
        // so the place is the program's own account of it (and the pictures show it on screen).
        const QString id = shown("Velmora").front();
        const QString geometry = run(found("xdotool"), {"getwindowgeometry", id}, on(xwayland));
        EXPECT_TRUE(geometry.contains(QStringLiteral("Geometry: %1x%2").arg(f.w).arg(f.h)))
            << geometry.toStdString() << appLog().toStdString();
        if (QString(c.close) == "escape") {
            user({"key", "Escape"});
        } else {
            // Another program's window, away from the panel: the click activates it.
            other.emplace(found("xmessage"), QStringList{"-geometry", "+20+20", "outra janela"},
                          on(xwayland));
            ASSERT_TRUE(waitFor([&] { return !shown("xmessage").isEmpty(); }));
            user({"mousemove", "40", "30", "click", "1"});
        }
        ASSERT_TRUE(waitFor([&] { return shown("Velmora").isEmpty(); })) << c.close;
        // Xwayland keeps a closed window's last frame before weston for about a second more: the picture
        // shows what stays on the screen right after the window went.
        picture(QStringLiteral("closed-%1.png").arg(i + 1));
        // Its size never changed while it was open: it opened at its final size.
        EXPECT_FALSE(appLog().contains("painel reajustado")) << appLog().toStdString();
    }
    if (other) other.reset();

    // Copies made elsewhere reach the phone once each, with no Velmora window focused; the panel taking and
    // losing focus in between announces nothing again, and the phone's own text never comes back.
    for (const std::string copy : {"primeira cópia do computador", "segunda cópia do computador"}) {
        Program wlCopy(found("wl-copy"), {"--foreground", QString::fromStdString(copy)}, env);
        ASSERT_TRUE(waitFor([&] { return phone->count(copy) == 1; })) << copy;
        ASSERT_TRUE(openBy(watcher, 640, 12));
        ASSERT_TRUE(waitFor([&] { return shown("Velmora").size() == 1; }));
        user({"key", "Escape"});
        ASSERT_TRUE(waitFor([&] { return shown("Velmora").isEmpty(); }));
    }
    EXPECT_EQ(phone->count("primeira cópia do computador"), 1);
    EXPECT_EQ(phone->count("segunda cópia do computador"), 1);
    EXPECT_EQ(phone->count(Phone::text), 0);

    ::kill(static_cast<pid_t>(app->process->processId()), SIGTERM);
    ASSERT_TRUE(app->process->waitForFinished(kBoundMs));
    EXPECT_EQ(app->process->exitCode(), 0);
    EXPECT_TRUE(appLog().contains("Velmora encerrado"));
}

// Without a tray the panel is an ordinary window, which the compositor places itself (centred at the size it
// has when first mapped): it maps at no more than the screen's height less a title bar, and the phone's
// session arriving later makes the content scroll rather than the window grow off the screen.
TEST_F(WaylandSession, WithoutATrayThePanelWindowFitsTheScreen) {
    phone.emplace();
    QProcessEnvironment appEnv = on(xwayland);
    appEnv.insert("VELMORA_DEV_CONNECT", "127.0.0.1:" + QString::number(phone->listener.port()));
    appEnv.insert("VELMORA_DEV_PAIRING_ANSWER", "yes");
    app.emplace(VELMORA_APP, QStringList{}, appEnv);
    ASSERT_TRUE(waitFor([&] { return appLog().contains("conectado a Celular Simulado"); }))
        << appLog().toStdString();
    EXPECT_TRUE(appLog().contains("bandeja do sistema indisponível"));
    QStringList windows;
    ASSERT_TRUE(waitFor([&] {
        windows = run(found("xdotool"), {"search", "--onlyvisible", "--name", "^Velmora"}, on(xwayland))
                      .split('\n', Qt::SkipEmptyParts);
        return windows.size() == 1;
    }));
    for (int round = 0; round < 50; ++round)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const QString geometry = run(found("xdotool"), {"getwindowgeometry", windows.front()}, on(xwayland));
    // Xwayland's place of a framed window is not where the compositor shows it (the picture shows that), so
    // the size tells: the tallest the panel may be, a title bar's room short of the screen, kept since the
    // first mapping while the session's content arrived.
    static const QRegularExpression size(QStringLiteral("Geometry: (\\d+)x(\\d+)"));
    const auto m = size.match(geometry);
    ASSERT_TRUE(m.hasMatch()) << geometry.toStdString();
    EXPECT_EQ(m.captured(1).toInt(), 360);
    EXPECT_EQ(m.captured(2).toInt(), 640) << geometry.toStdString();
    EXPECT_LE(m.captured(2).toInt(), kHeight - 60);
    EXPECT_FALSE(appLog().contains("painel reajustado")) << appLog().toStdString();
    picture(QStringLiteral("panel-window.png"));
}

// The outer X server, started before Qt so that this program can take pictures of it.
pid_t startXvfb() {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // goes with the test program, however that one ends
        ::close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        const std::string size = std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24";
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", size.c_str(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string number;
    char c = 0;
    while (pid > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(fds[0]);
    if (pid > 0 && !number.empty()) outerDisplay = QString::fromStdString(":" + number);
    return pid;
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const bool listing = testing::GTEST_FLAG(list_tests);
    const pid_t xvfb = listing ? -1 : velmora::startXvfb();
    if (!velmora::outerDisplay.isEmpty()) {
        qputenv("DISPLAY", velmora::outerDisplay.toUtf8());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int status = 0;
    {
        QGuiApplication app(argc, argv);
        status = RUN_ALL_TESTS();
    }
    if (xvfb > 0) {
        ::kill(xvfb, SIGTERM);
        ::waitpid(xvfb, nullptr, 0);
    }
    return status;
}

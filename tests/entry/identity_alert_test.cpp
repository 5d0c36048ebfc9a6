// The built program started on a computer whose identity key cannot be used, on an X server of its own: the
// alert shows (its pictures go to build/artifacts/identity/), SIGTERM or SIGINT end the program while the
// alert waits for the user, and the key file is left byte for byte as it was, never replaced by a new key.
#include <gtest/gtest.h>

#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "support/private_xvfb.h"
#include "support/program_home.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

constexpr int kBoundMs = 120'000;  // loaded machines are slow; a passing run waits far less
constexpr uid_t kNobody = 65534;

QString display;  // the private X server's, set by main when it stands

// Run by root, the program runs as nobody.
bool runByRoot() {
    return ::geteuid() == 0;
}

bool waitFor(const std::function<bool()>& done) {
    return test::waitUntil(done, kBoundMs / 1000.0);
}

// A private home: HOME, runtime, state, data, config and cache folders, and no session bus, so there is no
// secret service and the key file is the identity's only place. Run by root, the program runs as nobody (for
// whom, as for any user, a file of mode 000 cannot be read) and the home is nobody's.
// XDG_DATA_HOME, which holds the key's folder, is beside the home folder or inside it.
struct Home : test::ProgramHome {
    const bool asNobody = runByRoot();
    const fs::path dataHome;

    explicit Home(bool dataInHome)
        : ProgramHome("velmora-identity"),
          dataHome(dataInHome ? root() / "home" / "dados" : root() / "data") {
        fs::create_directories(dataHome / "Corvix");
        fs::permissions(dataHome / "Corvix", fs::perms::owner_all);
    }
    fs::path keyFile() const { return dataHome / "Corvix" / "identity.key"; }

    void writeKey(const std::string& bytes, mode_t mode) const {
        std::ofstream(keyFile(), std::ios::binary) << bytes;
        ::chmod(keyFile().c_str(), mode);
        if (!asNobody) return;
        ::lchown(root().c_str(), kNobody, kNobody);
        for (const auto& entry : fs::recursive_directory_iterator(root()))
            ::lchown(entry.path().c_str(), kNobody, kNobody);
    }

    QProcessEnvironment env(const char* lang) const {
        QProcessEnvironment e = ProgramHome::env();
        e.insert("XDG_DATA_HOME", QString::fromStdString(dataHome.string()));
        e.insert("QT_QPA_PLATFORM", "xcb");
        e.insert("DISPLAY", display);
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
            e.remove(name);
        e.insert("LANG", lang);
        return e;
    }
};

// The program as nobody can start it. A checkout inside a folder only its owner may enter (a root home of
// mode 0700, as in most containers) keeps nobody from the built program, so a copy is started from a folder
// of its own that anyone may enter and read. The copy needs nothing else from the build tree: its texts and
// pictures are compiled in, and its shared libraries are the system's.
class ProgramCopy {
  public:
    ProgramCopy() : dir_("velmora-program") {
        const auto everyone = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec;
        fs::permissions(dir_.path(), everyone);
        fs::copy_file(VELMORA_APP, file());
        fs::permissions(file(), everyone);
    }
    fs::path folder() const { return dir_.path(); }
    fs::path file() const { return dir_.path() / "velmora"; }

  private:
    test::TempDir dir_;
};

// What the X server shows, the whole screen.
QImage screen() {
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

// The screen once it differs from `before` (a window was drawn on it) and two looks in a row agree.
QImage settledWindow(const QImage& before) {
    QImage last;
    QImage settled;
    const bool seen = waitFor([&] {
        const QImage now = screen();
        int changed = 0;
        for (int y = 0; y < now.height() && now.size() == before.size(); y += 4)
            for (int x = 0; x < now.width(); x += 4)
                changed += now.pixel(x, y) != before.pixel(x, y);
        const bool same = changed > 500 && now == last;
        last = now;
        if (same) settled = now;
        return same;
    });
    return seen ? settled : QImage();
}

// The alert's picture, under build/artifacts/identity/.
void keep(const QImage& shot, const QString& name) {
    const QString folder = QStringLiteral(VELMORA_ARTIFACTS_DIR "/identity");
    QDir().mkpath(folder);
    EXPECT_TRUE(shot.save(folder + '/' + name)) << name.toStdString();
}

// The entries of the private support folder, with their modes.
std::string supportFolder(const Home& home) {
    std::string out;
    for (const auto& entry : fs::directory_iterator(home.keyFile().parent_path())) {
        struct stat st {};
        ::lstat(entry.path().c_str(), &st);
        out += entry.path().filename().string() + " " + std::to_string(st.st_mode & 07777) + ";";
    }
    return out;
}

// Table: a key the program cannot use, where XDG_DATA_HOME keeps it, the signal that ends it while the alert
// is up, and the language the alert speaks. The alert names the key file where it is ("~/..." under the
// home), and the log has the alert's words in Portuguese whatever the language. The alert stays until the
// signal; the program then ends with the status of a start that failed (1), as when the user closes the
// alert, and leaves the key file as it was.
TEST(IdentityAlert, AQuitSignalEndsTheProgramWhileTheAlertIsUpAndTheKeyStaysAsItWas) {
    if (display.isEmpty()) GTEST_SKIP() << "Xvfb did not start (deps/apt/app.txt)";
    const struct {
        const char* what;
        std::string key;
        mode_t mode;
        bool dataInHome;
        int signal;
        const char* lang;
        const char* cause;  // in the log line that names why the identity was not loaded
        const char* alert;  // the alert's line in the log, before the key file's name
        const char* picture;
    } rows[] = {
        {"a damaged key", std::string(40, '\x07'), 0600, false, SIGTERM, "en_US.UTF-8", "tamanho inválido",
         "alerta: Não foi possível carregar a identidade deste computador | "
         "A chave de identidade deste computador está danificada (no chaveiro ou em ",
         "damaged-key-alert.png"},
        {"a key nobody may read", std::string(32, '\x11'), 0000, true, SIGINT, "pt_BR.UTF-8",
         "identityFileUnreadable: 13",
         "alerta: Não foi possível carregar a identidade deste computador | "
         "O arquivo de identidade deste computador existe, mas não pôde ser lido. O Velmora não o alterou, "
         "porque uma identidade nova obrigaria todos os celulares pareados a parear de novo. Torne ",
         "unreadable-key-alert.png"},
    };
    std::optional<ProgramCopy> copy;
    if (runByRoot()) copy.emplace();
    const fs::path programFile = copy ? copy->file() : fs::path(VELMORA_APP);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Home home(row.dataInHome);
        home.writeKey(row.key, row.mode);
        const std::string named = row.dataInHome ? "~/dados/Corvix/identity.key" : home.keyFile().string();
        const std::string folderBefore = supportFolder(home);
        const QImage before = screen();
        QProcess program;
        program.setProcessEnvironment(home.env(row.lang));
        if (home.asNobody) {
            program.setWorkingDirectory(QString::fromStdString(copy->folder().string()));
            program.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                    ::_exit(126);
            });
        }
        program.start(QString::fromStdString(programFile.string()), {});
        ASSERT_TRUE(program.waitForStarted(kBoundMs))
            << programFile << ": " << program.errorString().toStdString();
        ASSERT_TRUE(waitFor([&] { return home.log().contains("alerta: "); })) << home.log().toStdString();
        EXPECT_TRUE(home.log().contains(QString::fromUtf8(row.cause))) << home.log().toStdString();
        EXPECT_TRUE(home.log().contains(QString::fromUtf8(row.alert) + QString::fromStdString(named)))
            << home.log().toStdString();

        const QImage shown = settledWindow(before);
        ASSERT_FALSE(shown.isNull()) << "no alert on the screen";
        keep(shown, row.picture);
        EXPECT_EQ(program.state(), QProcess::Running) << "the alert waits for the user";

        const auto sent = std::chrono::steady_clock::now();
        ::kill(static_cast<pid_t>(program.processId()), row.signal);
        ASSERT_TRUE(program.waitForFinished(kBoundMs)) << "still running with the alert up";
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
        std::cout << "[ ended      ] " << row.what << ": " << seconds << " s after the signal\n";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 1);
        const QString log = home.log();
        EXPECT_TRUE(log.contains(QStringLiteral("sinal %1 recebido: encerrando").arg(row.signal)))
            << log.toStdString();
        EXPECT_TRUE(log.contains("alerta fechado pelo sinal de encerramento")) << log.toStdString();

        ::chmod(home.keyFile().c_str(), 0600);  // to look at it; the program saw it as it was
        EXPECT_EQ(test::readFile(home.keyFile()), row.key);
        ::chmod(home.keyFile().c_str(), row.mode);
        EXPECT_EQ(supportFolder(home), folderBefore);  // no new key, no temporary file
    }
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::optional<velmora::test::PrivateXvfb> xvfb;
    if (!testing::GTEST_FLAG(list_tests)) xvfb.emplace("1024x640x24");
    const bool onX = xvfb && xvfb->running();
    if (onX) velmora::display = qEnvironmentVariable("DISPLAY");
    qputenv("QT_QPA_PLATFORM", onX ? "xcb" : "offscreen");
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

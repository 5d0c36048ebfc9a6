// The snapshot tool as a user runs it: every picture in order at its size (kept in build/artifacts/snapshots/
// to look at), each its own state, a second run over a user's own files giving the same bytes, changing
// neither file and writing no log, and a folder that cannot be made giving status 1 and one line.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
constexpr int kBoundMs = 280'000;  // the whole run on a loaded machine; a passing run takes far less

// The pictures in the order written, each with its width and greatest height (width 0: the mirror
// window's, whose sizes its own tests check).
struct Picture {
    std::string name;
    int width = 0, maxHeight = 0;
};

std::vector<Picture> expectedPictures() {
    std::vector<Picture> out{{"icone-barra-de-menus", 1668, 1116}};
    for (std::string name : {"sem-celular",      "com-celulares",     "pareamento",
                             "usb-novo",         "conectado",         "celular-reinstalado",
                             "recebidos",        "atualizar-celular", "so-bluetooth",
                             "bluetooth",        "conectado-escuro",  "sem-celular-escuro",
                             "permissao-negada", "alto-limitado",     "instalar",
                             "instalando",       "instalado",         "instalar-erro",
                             "instalar-sem-adb", "instalar-passos",   "instalar-nao-autorizado",
                             "celular-perdido",  "conectando",        "bluetooth-desligado",
                             "preferencias"})
        out.push_back({"menu-" + name, 360,
                       name == "alto-limitado"  ? 520
                       : name == "preferencias" ? 1200
                                                : 640});
    out.insert(
        out.end(),
        {{"dialogo-pareamento", 380, 640}, {"dialogo-pareamento-expirado", 380, 640}, {"guia", 640, 4000}});
    for (const char* scene :
         {"carregando", "aguardando-aprovacao", "video", "conexao-lenta", "reconectando", "sem-resposta",
          "reconectado", "recusado", "controle-pausado", "aviso", "largura-220", "largura-500"})
        for (const char* dark : {"", "-escuro"})
            out.push_back({std::string("espelhamento-") + scene + dark});
    out.push_back({"janela-espelhamento"});
    for (Picture& p : out)
        p.name += ".png";
    return out;
}

struct ToolRun {
    QProcess process;
    ToolRun(const QStringList& args, const QProcessEnvironment& env, const QString& cwd) {
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(cwd);
        process.start(VELMORA_APP, args);
    }
    // The exit status, or -1 when the program did not end in time or crashed; then its stderr lines.
    std::pair<int, QStringList> finish() {
        const bool ended = process.waitForFinished(kBoundMs) && process.exitStatus() == QProcess::NormalExit;
        const QString err = QString::fromUtf8(process.readAllStandardError());
        return {ended ? process.exitCode() : -1, err.split('\n', Qt::SkipEmptyParts).filter("velmora: ")};
    }
};

// The files of `folder` in the order they were written; files written within one tick of the file clock
// count as written in the expected order.
std::vector<std::string> byWriteTime(const fs::path& folder, const std::vector<std::string>& expected) {
    std::vector<std::pair<fs::file_time_type, std::string>> files;
    for (const auto& e : fs::directory_iterator(folder))
        files.emplace_back(e.last_write_time(), e.path().filename().string());
    const auto rank = [&](const std::string& name) {
        return std::ranges::find(expected, name) - expected.begin();
    };
    std::ranges::sort(files, [&](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : rank(a.second) < rank(b.second);
    });
    std::vector<std::string> names;
    for (const auto& [time, name] : files)
        names.push_back(name);
    return names;
}

TEST(SnapshotTool, WritesEveryPictureTheSameEachTimeAndLeavesTheUsersFilesAlone) {
    test::TempDir home("velmora-snapshots");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    const fs::path artifacts = fs::path(VELMORA_ARTIFACTS_DIR);
    fs::remove_all(artifacts / "snapshots"), fs::create_directories(artifacts);
    // The first run into a folder given relative to its working folder; the icon set's option is ignored.
    ToolRun first({"--snapshot", "snapshots", "--make-iconset", "icons"}, env,
                  QString::fromStdString(artifacts));

    // The second over a user's own settings and a peer file left in the shared temporary folder; the third
    // below a regular file, where no folder can be made.
    for (const char* sub : {"config/Velmora", "tmp"})
        fs::create_directories(home.path() / sub);
    const fs::path settings = home.path() / "config/Velmora/settings.json";
    const std::string userSettings =
        R"({"linkPrefs":[{"enabled":true,"kind":"ble"},{"enabled":false,"kind":"usb"}],"prefsOpen":true,)"
        R"("phoneApps":[{"name":"Diário","pkg":"app.diario"}],"notifOverrides":{"app.diario":false}})";
    std::ofstream(settings) << userSettings;
    const fs::path stray = home.path() / "tmp/corvix-preview-peers.json";
    const std::string strayPeers = R"([{"id":"26fc3c40652e497a5152052f2bec1b40","name":"Nimbo 7"}])";
    std::ofstream(stray) << strayPeers;
    const auto strayMode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(stray, strayMode);
    QProcessEnvironment user = env;
    user.insert("XDG_CONFIG_HOME", QString::fromStdString((home.path() / "config").string()));
    user.insert("XDG_STATE_HOME", QString::fromStdString((home.path() / "state").string()));
    user.insert("XDG_DATA_HOME", QString::fromStdString((home.path() / "data").string()));
    user.insert("TMPDIR", QString::fromStdString((home.path() / "tmp").string()));
    const QString homePath = QString::fromStdString(home.path().string());
    ToolRun second({"--snapshot", homePath + "/again"}, user, homePath);
    std::ofstream(home.path() / "file") << "x";
    ToolRun third({"--snapshot", homePath + "/file/shots"}, env, homePath);

    const auto [status, errors] = first.finish();
    ASSERT_EQ(status, 0) << errors.join('\n').toStdString();
    EXPECT_TRUE(errors.isEmpty());
    const fs::path shots = artifacts / "snapshots";
    const std::vector<Picture> expected = expectedPictures();
    std::vector<std::string> names;
    for (const Picture& p : expected)
        names.push_back(p.name);
    EXPECT_EQ(byWriteTime(shots, names), names);
    EXPECT_FALSE(fs::exists(artifacts / "icons"));

    for (const Picture& p : expected) {
        if (p.width == 0) continue;
        const QImage image(QString::fromStdString((shots / p.name).string()));
        EXPECT_EQ(image.width(), p.width) << p.name;
        EXPECT_GE(image.height(), 40) << p.name;
        EXPECT_LE(image.height(), p.maxHeight) << p.name;
    }
    const QImage sheet(QString::fromStdString((shots / "icone-barra-de-menus.png").string()));
    ASSERT_EQ(sheet.size(), QSize(1668, 1116));
    // Four bands of 279 rows fill the sheet: no transparent strip anywhere, the top row included.
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(800, 0), QPoint(1667, 6), QPoint(0, 1115), QPoint(1667, 1115)})
        EXPECT_EQ(qAlpha(sheet.pixel(corner)), 255) << corner.x() << "," << corner.y();
    for (int band = 0; band < 4; ++band) {
        const int top = band * 279, ground = band < 2 ? 237 : 41;
        EXPECT_EQ(sheet.pixel(2, top), qRgb(ground, ground, ground)) << band;
        EXPECT_EQ(sheet.pixel(1665, top + 278), qRgb(ground, ground, ground)) << band;
        int inked = 0;  // the glyphs: every cell holds ink well away from the ground (unconnected at 0.6)
        for (int cell = 0; cell < 6; ++cell)
            for (int y = top; y < top + 279; y += 2)
                for (int x = 12 + cell * 276; x < 12 + cell * 276 + 264; x += 2)
                    inked += std::abs(qGray(sheet.pixel(x, y)) - ground) > 100 ? 1 : 0;
        EXPECT_GT(inked, 6 * 100) << band;
    }
    // Each file shows a state of its own: no two pictures of the run are alike.
    std::vector<std::pair<std::string, QImage>> pictures;
    for (const Picture& p : expected)
        pictures.emplace_back(p.name, QImage(QString::fromStdString((shots / p.name).string())));
    for (std::size_t i = 0; i < pictures.size(); ++i)
        for (std::size_t j = i + 1; j < pictures.size(); ++j)
            EXPECT_FALSE(pictures[i].second == pictures[j].second)
                << pictures[i].first << " and " << pictures[j].first << " are the same picture";
    const QImage light(QString::fromStdString((shots / "menu-sem-celular.png").string()));
    const QImage dark(QString::fromStdString((shots / "menu-sem-celular-escuro.png").string()));
    EXPECT_EQ(light.size(), dark.size());
    EXPECT_LT(QColor(dark.pixel(2, 2)).lightnessF() + 0.5, QColor(light.pixel(2, 2)).lightnessF());

    const auto [again, againErrors] = second.finish();
    ASSERT_EQ(again, 0) << againErrors.join('\n').toStdString();
    for (const std::string& name : names)
        EXPECT_TRUE(test::readFile(shots / name) == test::readFile(home.path() / "again" / name)) << name;
    EXPECT_EQ(test::readFile(settings), userSettings);
    EXPECT_EQ(test::readFile(stray), strayPeers);
    EXPECT_EQ(fs::status(stray).permissions(), strayMode);  // not even tightened: the run never opened it
    // No log, no data: the run's own lines stayed in its private folder.
    EXPECT_FALSE(fs::exists(home.path() / "state")) << "the run wrote to the user's log";
    EXPECT_FALSE(fs::exists(home.path() / "data"));

    const auto [failed, failedErrors] = third.finish();
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(failedErrors.size(), 1) << failedErrors.join('\n').toStdString();
}

}  // namespace
}  // namespace velmora

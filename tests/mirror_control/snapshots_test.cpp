// The mirror snapshots: every state light and dark, the two extra widths and the window, as files a person
// looks at (build/artifacts/mirror-snapshots/).
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "app/mirror/snapshots/mirror_snapshots.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> expectedFiles() {
    std::vector<std::string> names;
    for (const char* token : {"carregando", "aguardando-aprovacao", "video", "conexao-lenta", "reconectando",
                              "sem-resposta", "reconectado", "recusado", "controle-pausado", "aviso"}) {
        names.push_back(std::string("espelhamento-") + token + ".png");
        names.push_back(std::string("espelhamento-") + token + "-escuro.png");
    }
    for (const char* width : {"220", "500"}) {
        names.push_back(std::string("espelhamento-largura-") + width + ".png");
        names.push_back(std::string("espelhamento-largura-") + width + "-escuro.png");
    }
    names.push_back("janela-espelhamento.png");
    return names;
}

TEST(MirrorSnapshots, WritesTwentyFiveStatesAtTheirWidths) {
    const fs::path folder = fs::path(VELMORA_ARTIFACTS_DIR) / "mirror-snapshots";
    fs::remove_all(folder);
    fs::create_directories(folder);
    MirrorSnapshots::run(folder);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++files;
    EXPECT_EQ(files, 25u);
    for (const std::string& name : expectedFiles()) {
        const QImage image(QString::fromStdString((folder / name).string()));
        ASSERT_FALSE(image.isNull()) << name;
        const int width = name.find("220") != std::string::npos   ? 220
                          : name.find("500") != std::string::npos ? 500
                                                                  : 300;
        EXPECT_EQ(image.width(), width) << name;
        EXPECT_GT(image.height(), image.width() * 2) << name << ": the phone's tall picture under the bar";
    }
    // Light and dark differ; two states differ.
    EXPECT_NE(QImage(QString::fromStdString((folder / "espelhamento-video.png").string())),
              QImage(QString::fromStdString((folder / "espelhamento-video-escuro.png").string())));
    EXPECT_NE(QImage(QString::fromStdString((folder / "espelhamento-video.png").string())),
              QImage(QString::fromStdString((folder / "espelhamento-carregando.png").string())));
}

TEST(MirrorSnapshots, AFolderThatCannotBeWrittenGetsNothingAndNoError) {
    const fs::path missing = fs::path(VELMORA_ARTIFACTS_DIR) / "no-such-folder" / "deeper";
    fs::remove_all(missing.parent_path());
    MirrorSnapshots::run(missing);
    EXPECT_FALSE(fs::exists(missing));
}

}  // namespace
}  // namespace velmora

// The mirror snapshots, written to build/artifacts/mirror-snapshots/ for a person to look at.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "app/mirror/snapshots/mirror_snapshots.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

TEST(MirrorSnapshots, EveryStateLightAndDarkTheTwoWidthsAndTheWindowNothingInAFolderThatIsNotThere) {
    const fs::path folder = fs::path(VELMORA_ARTIFACTS_DIR) / "mirror-snapshots";
    fs::remove_all(folder), fs::create_directories(folder), MirrorSnapshots::run(folder);
    std::vector<std::pair<std::string, int>> expected;  // name, width
    for (const std::string token :
         {"carregando", "aguardando-aprovacao", "video", "conexao-lenta", "reconectando", "sem-resposta",
          "reconectado", "recusado", "controle-pausado", "aviso", "largura-220", "largura-500"}) {
        const int width = token == "largura-220" ? 220 : token == "largura-500" ? 500 : 300;
        expected.insert(expected.end(), {{"espelhamento-" + token + ".png", width},
                                         {"espelhamento-" + token + "-escuro.png", width}});
    }
    expected.push_back({"janela-espelhamento.png", 300});
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 25);
    const auto image = [&](const std::string& name) { return QImage((folder / name).c_str()); };
    for (const auto& [name, width] : expected)
        EXPECT_EQ(image(name).width(), width) << name;
    EXPECT_NE(image("espelhamento-video.png"), image("espelhamento-video-escuro.png"));
    EXPECT_NE(image("espelhamento-video.png"), image("espelhamento-carregando.png"));
    // The window file is a state of its own: the pointer on the status pill shows its tooltip.
    EXPECT_EQ(image("janela-espelhamento.png").size(), image("espelhamento-video.png").size());
    EXPECT_NE(image("janela-espelhamento.png"), image("espelhamento-video.png"));

    const fs::path missing = fs::path(VELMORA_ARTIFACTS_DIR) / "no-such-folder";
    fs::remove_all(missing), MirrorSnapshots::run(missing / "deeper");
    EXPECT_FALSE(fs::exists(missing));
}

}  // namespace
}  // namespace velmora

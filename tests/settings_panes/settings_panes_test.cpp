#include "platform/settings_panes/settings_panes.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "core/log/velmora_log.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace velmora {
namespace {

// A settings tool on a private PATH that writes the arguments it was started with.
void installTool(const std::filesystem::path& dir, const std::string& name) {
    const auto tool = dir / name;
    std::ofstream(tool) << "#!/bin/sh\necho \"" << name << " $*\" > \"" << (dir / "started").string()
                        << "\"\n";
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
}

TEST(SettingsPanes, TheFirstInstalledToolOpensThePaneAndNoToolIsToldInTheLog) {
    test::TempDir dir;
    const std::string oldPath = getenv("PATH");
    setenv("PATH", dir.path().c_str(), 1);
    EXPECT_FALSE(openSettingsPane(SettingsPane::bluetooth));
    VelmoraLog::flush();
    EXPECT_NE(test::readFile(VelmoraLog::file()).find("ajustes de Bluetooth: nenhum programa de ajustes"),
              std::string::npos);

    installTool(dir.path(), "systemsettings");
    installTool(dir.path(), "blueman-manager");
    EXPECT_TRUE(openSettingsPane(SettingsPane::bluetooth));
    ASSERT_TRUE(
        test::waitUntil([&] { return test::readFile(dir.path() / "started") == "blueman-manager \n"; }));

    installTool(dir.path(), "gnome-control-center");
    EXPECT_TRUE(openSettingsPane(SettingsPane::network));
    ASSERT_TRUE(test::waitUntil(
        [&] { return test::readFile(dir.path() / "started") == "gnome-control-center network\n"; }));
    setenv("PATH", oldPath.c_str(), 1);
}

}  // namespace
}  // namespace velmora

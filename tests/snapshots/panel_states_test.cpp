// Every panel state the snapshot tool renders, laid out as the tool lays it out: no two visible controls
// overlap and the panel is as tall as its content (or its maximum, where the content scrolls).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/entry/snapshots.h"
#include "app/entry/snapshots_table.h"
#include "app/shell/main_executor.h"
#include "core/settings/memory_settings.h"
#include "panel/layout_faults.h"

namespace velmora {
namespace {

TEST(SnapshotPanels, NoOverlapInAnyPanelState) {
    const auto settings = std::make_shared<MemorySettings>();
    const PanelStage stage(settings, std::make_shared<MainThreadExecutor>());
    const std::vector<Snapshots::PanelShot> shots = Snapshots::panelShots();
    ASSERT_FALSE(shots.empty());
    for (const Snapshots::PanelShot& shot : shots) {
        const Snapshots::ShotScope scope(shot, *settings);
        std::vector<std::string> faults;
        const bool shown = stage.present(shot.dark, shot.setup, [&](MenuPanel* panel) {
            const std::unique_ptr<QWidget> host = Snapshots::hosted(panel, 360);
            faults = testing_support::layoutFaults(*panel);
            return true;
        });
        EXPECT_TRUE(shown) << shot.name;
        EXPECT_THAT(faults, testing::IsEmpty()) << shot.name;
    }
}

}  // namespace
}  // namespace velmora

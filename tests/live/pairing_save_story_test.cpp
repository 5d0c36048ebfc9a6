// A pairing this computer could not write down: the user confirms the code and the phone connects, and the
// panel says at once that the pairing will not survive a restart, so the user is not surprised by a phone
// that is refused after the next start.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/design/notice.h"
#include "app/design/text_block.h"
#include "app/shell/tray/panel_window.h"
#include "live/live_desktop.h"
#include "live/live_stories.h"

namespace velmora::live {
namespace {

// The notice the panel shows with this title, visible; null when none.
Notice* shownNotice(QWidget* panel, const QString& title) {
    for (auto* notice : panel->findChildren<Notice*>())
        if (notice->isVisible() && notice->titleBlock()->text() == title) return notice;
    return nullptr;
}

TEST(PairingSaveStory, APairingTheListCouldNotKeepIsToldInThePanel) {
    const auto list = Desktop::instance().home() / "data" / "Corvix" / "peers.json";
    LivePhone phone;
    LiveApp app;  // the dialog shows, and its "The codes match" is pressed for the user
    // While the program runs, a folder takes the list's place; no rename replaces a folder.
    std::filesystem::remove_all(list);
    std::filesystem::create_directories(list / "blocked");
    ASSERT_TRUE(connectTyped(app, phone));
    Notice* notice = nullptr;
    ASSERT_TRUE(until([&] { return (notice = shownNotice(&app.panel(), tr("pairing.not_saved.title"))); }));
    ASSERT_NE(notice->textBlock(), nullptr);
    EXPECT_TRUE(notice->textBlock()->text().contains("Celular Simulado"))
        << notice->textBlock()->text().toStdString();
    shot(&app.panel(), "pairing-not-saved", "1-told");
    EXPECT_TRUE(app.logHas("peers.json não foi gravado"));
    EXPECT_TRUE(std::filesystem::is_directory(list / "blocked"));
    app.quit();
    std::filesystem::remove_all(list);
}

}  // namespace
}  // namespace velmora::live

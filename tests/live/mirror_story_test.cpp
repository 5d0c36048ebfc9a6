// The phone's screen on the computer: the mirror window opens from the panel, its picture moves, a click
// and a key reach the phone as input, and closing the window stops the phone's stream.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>

#include "app/mirror/window/mirror_view.h"
#include "app/mirror/window/mirror_window.h"
#include "app/mirror/window/state_layer.h"
#include "app/shell/tray/panel_window.h"
#include "live/live_app.h"
#include "live/live_phone.h"
#include "live/live_stories.h"

namespace velmora::live {
namespace {

MirrorWindow* mirrorWindow() {
    for (auto* w : QApplication::topLevelWidgets())
        if (auto* m = qobject_cast<MirrorWindow*>(w); m && m->isVisible()) return m;
    return nullptr;
}

TEST(MirrorStory, OpensMovesTakesAClickAndAKeyAndStopsTheStreamWhenClosed) {
    LivePhone phone;
    LiveApp app;
    ASSERT_TRUE(connectTyped(app, phone));
    click(findButton(&app.panel(), tr("panel.mirror.start")));
    ASSERT_TRUE(until([] { return mirrorWindow() != nullptr; }));
    MirrorWindow* window = mirrorWindow();
    MirrorView& view = window->view();
    ASSERT_TRUE(until([&] { return view.hasPicture(); }));
    // Past "starting the phone's screen": the picture shows undimmed.
    ASSERT_TRUE(until([&] { return window->hud().phase().kind() == MirrorPhase::Kind::live; }))
        << static_cast<int>(window->hud().phase().kind());
    auto* layer = window->findChild<MirrorStateLayer*>();
    ASSERT_NE(layer, nullptr);
    ASSERT_TRUE(until([&] { return layer->shownPhase().kind() == MirrorPhase::Kind::live; }));
    // The picture moves: two looks a moment apart differ (the sweeping bar, the counter, the clock).
    const QImage first = view.grab().toImage();
    ASSERT_TRUE(until([&] { return view.grab().toImage() != first; }));
    shot(window, "mirror", "1-moving");
    shot(&view, "mirror", "1-view");
    EXPECT_GT(phone.companion().mirrorStats().frames, 1u);
    EXPECT_EQ(phone.received("mirror.start").size(), 1u);

    // A click and a key go to the phone on its input channel.
    const std::size_t before = phone.companion().inbox().inputs().size();
    QTest::mouseClick(&view, Qt::LeftButton, {}, view.rect().center());
    ASSERT_TRUE(until([&] { return phone.companion().inbox().inputs().size() > before; }));
    const std::size_t afterClick = phone.companion().inbox().inputs().size();
    window->focusView();
    QTest::keyClick(&view, Qt::Key_A);
    ASSERT_TRUE(until([&] { return phone.companion().inbox().inputs().size() > afterClick; }));
    const auto inputs = phone.companion().inbox().inputs();
    ASSERT_EQ(inputs.size(), 2u);
    EXPECT_EQ(inputs[0].value("t", ""), "in.tap") << inputs[0].dump();
    EXPECT_EQ(inputs[1].value("t", ""), "in.text") << inputs[1].dump();
    EXPECT_EQ(inputs[1].value("text", ""), "a") << inputs[1].dump();
    shot(&app.panel(), "mirror", "2-panel-while-mirroring");

    // Closing the window stops the phone's stream and the panel offers mirroring again.
    window->close();
    ASSERT_TRUE(until([&] { return !phone.received("mirror.stop").empty(); }));
    ASSERT_TRUE(until([&] { return !phone.companion().mirrorStats().running; }));
    ASSERT_TRUE(until([&] { return findButton(&app.panel(), tr("panel.mirror.start")) != nullptr; }));
}

}  // namespace
}  // namespace velmora::live

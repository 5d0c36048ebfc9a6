// The tray icon and its panel over a live model: the tooltip follows the link, a click opens the panel under
// the icon and a click within 0.25 s of a hide does not, Escape hides it, and without a tray the panel is a
// window of its own. Renders the panel to build/artifacts/shell/.
#include <gtest/gtest.h>

#include <QDir>
#include <QSystemTrayIcon>
#include <QTest>

#include "app/design/fold_row.h"
#include "app/shell/model_adapter.h"
#include "app/shell/panel/menu_panel.h"
#include "app/shell/tray/status_item.h"
#include "core/l10n/l10n.h"
#include "core/settings/memory_settings.h"
#include "support/model_harness.h"
#include "support/wait_until.h"

namespace velmora {
namespace {

void render(QWidget& panel, const char* name) {
    const QString dir = QStringLiteral(VELMORA_ARTIFACTS_DIR "/shell");
    QDir().mkpath(dir);
    EXPECT_TRUE(panel.grab().save(dir + "/" + name)) << name;
}

struct TrayPanel : ::testing::Test {
    void SetUp() override {
        h.pairBothSides();
        h.start();
        h.model->connect(h.userConnect());
        ASSERT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    }
    test::ModelHarness h;
    double now = 100;
};

TEST_F(TrayPanel, TooltipFollowsTheLinkAndClicksOpenAndCloseThePanel) {
    ModelAdapter adapter(h.model);
    StatusItem item(adapter, true, [this] { return now; });
    const std::string label = h.model->state().state.label();
    EXPECT_EQ(item.tray()->toolTip().toStdString(), L10n::format("menu.status.connected_tooltip", {label}));
    EXPECT_FALSE(item.panel().isVisible());

    item.click();
    ASSERT_TRUE(item.panel().isVisible());
    EXPECT_EQ(item.panel().width(), PanelWindow::panelWidth);
    render(item.panel(), "panel-connected.png");
    item.click();  // the second click hides
    EXPECT_FALSE(item.panel().isVisible());
    now += 0.2;  // a click whose press closed the panel (it took its keyboard) arrives at the icon: ignored
    item.click();
    EXPECT_FALSE(item.panel().isVisible());
    now += 0.05;
    item.click();
    EXPECT_TRUE(item.panel().isVisible());
    QTest::keyClick(&item.panel(), Qt::Key_Escape);
    EXPECT_FALSE(item.panel().isVisible());

    h.model->disconnect();
    ASSERT_TRUE(h.pumpUntil(ConnState::Kind::idle));
    EXPECT_EQ(item.tray()->toolTip().toStdString(), L10n::string("menu.status.none_tooltip"));
    EXPECT_EQ(item.panel().accessibleName().toStdString(), L10n::string("menu.status.none_a11y"));
}

// The first open measures the settled content, so the frame placed is the frame kept; above a tray at the
// bottom the panel then grows upwards when its content does, its bottom edge staying by the icon.
TEST_F(TrayPanel, FromABottomTrayTheFirstOpenIsAtItsFinalSizeAndGrowsUpwards) {
    ModelAdapter adapter(h.model);
    StatusItem item(adapter, true, [this] { return now; });
    PanelWindow& panel = item.panel();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect icon(screen.center().x(), screen.bottom() - 23, 24, 24);
    panel.showAt(icon);
    const QRect first = panel.geometry();
    for (int round = 0; round < 10; ++round)
        QCoreApplication::processEvents();
    EXPECT_EQ(panel.geometry(), first);
    EXPECT_EQ(first.bottom() + 1, icon.top() - 6);
    EXPECT_TRUE(screen.contains(first)) << first.y() << " " << first.height();

    panel.content().prefsRow()->binding()->setExpanded(true);  // the preferences unfold: taller content
    ASSERT_TRUE(
        test::waitUntil([&] { return QCoreApplication::processEvents(), panel.height() > first.height(); }));
    EXPECT_EQ(panel.geometry().bottom(), first.bottom());
    EXPECT_TRUE(screen.contains(panel.geometry()));
    panel.hide();
}

// Content taller than the screen allows scrolls, and its first view ends above the first line it would cut:
// that cut is measured while the panel is still hidden, from where its parts will lie once shown, so the
// window shows at the height it was placed with (a cut measured from stale places shortened it on showing,
// after the place was chosen and logged). Opened twice, from a tray at the top and one at the bottom.
TEST_F(TrayPanel, APanelThatScrollsOpensAtTheHeightItWasPlacedWith) {
    auto settings = std::make_shared<MemorySettings>();
    settings->setValue("prefsOpen", true);  // the preferences unfolded: more than a screen's worth
    ModelAdapter adapter(h.model);
    StatusItem item(
        adapter, true, [this] { return now; }, settings);
    PanelWindow& panel = item.panel();
    // The panel follows the link while hidden: its body is made anew for each state, never yet shown.
    h.model->disconnect();
    ASSERT_TRUE(h.pumpUntil([&] {
        return QCoreApplication::processEvents(), h.model->state().state.kind() == ConnState::Kind::idle;
    }));
    h.model->connect(h.userConnect());
    ASSERT_TRUE(h.pumpUntil([&] {
        return QCoreApplication::processEvents(), h.model->state().state.kind() == ConnState::Kind::connected;
    }));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const QRect icon : {QRect(screen.center().x(), screen.top(), 24, 24),
                             QRect(screen.center().x(), screen.bottom() - 23, 24, 24)}) {
        SCOPED_TRACE(icon.y());
        panel.showAt(icon);
        const QRect placed = panel.geometry();
        ASSERT_GT(panel.content().contentHeight(), placed.height());  // it does scroll
        for (int round = 0; round < 10; ++round)
            QCoreApplication::processEvents();
        EXPECT_EQ(panel.geometry(), placed);
        EXPECT_EQ(panel.content().geometry(), QRect(QPoint(0, 0), placed.size()));
        EXPECT_TRUE(screen.contains(placed)) << placed.y() << " " << placed.height();
        panel.hide();
        now += 1;
    }
    render(panel, "panel-scrolling.png");
}

TEST_F(TrayPanel, WithoutATrayThePanelIsAWindowShownAtOnce) {
    ModelAdapter adapter(h.model);
    StatusItem item(adapter, false, [this] { return now; });
    EXPECT_EQ(item.tray(), nullptr);
    EXPECT_TRUE(item.panel().isVisible());
    EXPECT_EQ(item.panel().mode(), PanelWindow::Mode::window);
    // The window's title is the icon's tooltip: the program's name once, then the link.
    const std::string label = h.model->state().state.label();
    EXPECT_EQ(item.panel().windowTitle().toStdString(),
              L10n::format("menu.status.connected_tooltip", {label}));
    item.click();  // no icon to click: nothing changes
    EXPECT_TRUE(item.panel().isVisible());
    QTest::keyClick(&item.panel(), Qt::Key_Escape);  // a normal window stays
    EXPECT_TRUE(item.panel().isVisible());
    render(item.panel(), "panel-window-connected.png");
}

// The window form maps at the tallest its content may become on the screen and keeps that height: the
// compositor centres a new window at its first size, so growing afterwards would run off the screen.
TEST_F(TrayPanel, WithoutATrayTheWindowKeepsTheHeightItMappedAt) {
    ModelAdapter adapter(h.model);
    StatusItem item(adapter, false, [this] { return now; });
    PanelWindow& panel = item.panel();
    const int limit = int(panel.content().maxHeight());
    EXPECT_EQ(panel.size(), QSize(PanelWindow::panelWidth, limit));
    EXPECT_LE(limit, QGuiApplication::primaryScreen()->availableGeometry().height() - 60);
    panel.content().prefsRow()->binding()->setExpanded(true);  // more content than the limit: it scrolls
    ASSERT_TRUE(test::waitUntil(
        [&] { return QCoreApplication::processEvents(), panel.content().contentHeight() > limit; }));
    for (int round = 0; round < 10; ++round)
        QCoreApplication::processEvents();
    EXPECT_EQ(panel.size(), QSize(PanelWindow::panelWidth, limit));
    EXPECT_LE(panel.content().height(), limit);
    EXPECT_EQ(panel.content().y(), 0);
}

}  // namespace
}  // namespace velmora

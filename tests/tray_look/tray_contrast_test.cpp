// The tray glyph as a person sees it in a real X11 system tray under Xvfb, on a dark panel and a light one,
// idle and connected: read back from the screen, enough of the glyph stands at least 3:1 from the panel's
// colour. A tray that tells its text colour gets the glyph in that colour; one that tells nothing gets the
// rimmed glyph, which has to read on both. Zoomed screenshots go to build/artifacts/tray/.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QSystemTrayIcon>
#include <algorithm>
#include <optional>

#include "app/shell/model_adapter.h"
#include "app/shell/tray/panel_window.h"
#include "app/shell/tray/status_item.h"
#include "platform/tray_host/tray_host.h"
#include "platform/tray_host/x11_screen.h"
#include "support/contrast.h"
#include "support/model_harness.h"
#include "support/private_bus.h"
#include "support/private_xvfb.h"
#include "support/wait_until.h"
#include "tray_look/test_tray_host.h"

namespace velmora {
namespace {

std::string skipReason = "Xvfb did not start (see deps/apt/shell.txt)";  // empty once the display stands

using test::contrast;

// How many pixels of a glyph must stand out for it to read: a 22-pixel glyph's strokes cover well over this.
constexpr std::size_t kInkPixels = 24;

// The contrast that at least kInkPixels pixels of the icon area reach against the panel's colour.
double glyphContrast(const QImage& shot, const QRect& area, QRgb panel) {
    std::vector<double> ratios;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ratios.push_back(contrast(shot.pixel(x, y), panel));
    std::sort(ratios.rbegin(), ratios.rend());
    return ratios.size() < kInkPixels ? 1.0 : ratios[kInkPixels - 1];
}

void keep(const QImage& shot, const std::string& name) {
    const QString dir = QStringLiteral(VELMORA_ARTIFACTS_DIR "/tray");
    QDir().mkpath(dir);
    shot.scaled(shot.size() * 6, Qt::IgnoreAspectRatio, Qt::FastTransformation)
        .save(dir + "/" + QString::fromStdString(name) + ".png");
}

// The application's tray side over a live model that starts idle.
auto& started(test::ModelHarness& h) {
    h.pairBothSides();
    h.start();
    return h.model;
}

struct TrayApp {
    test::ModelHarness h;
    ModelAdapter adapter{started(h)};
    double now = 100;
    StatusItem item{adapter, true, [this] { return now; }};
};

struct Panel {
    const char* name;
    QColor background;
    std::optional<QColor> text;  // what the tray tells of its colours
};

void expectGlyphReads(const Panel& panel) {
    if (!skipReason.empty()) GTEST_SKIP() << skipReason;
    test::TestTrayHost host(panel.background, panel.text);
    TrayApp app;
    test::ModelHarness& h = app.h;

    const TrayHost seen = probeTrayHost();
    EXPECT_EQ(seen.kind, TrayHost::Kind::x11);
    EXPECT_EQ(seen.textColor.has_value(), panel.text.has_value());
    if (seen.textColor && panel.text) {
        EXPECT_EQ(seen.textColor->rgb(), panel.text->rgb());
    }

    const QRgb background = panel.background.rgb();
    QImage shot;
    // Shown once the tray docked the icon and something other than the panel's colour stands in its place.
    auto settleOn = [&](const QImage& before) {
        return test::waitUntil([&] {
            QCoreApplication::processEvents();
            host.pump();
            if (!host.docked()) return false;
            shot = host.grab();
            return !shot.isNull() && shot != before &&
                   glyphContrast(shot, host.iconArea(), background) > 1.05;
        });
    };
    if (!settleOn(QImage())) {
        keep(shot, std::string(panel.name) + "-never-shown");
        FAIL() << "the tray never showed the icon: " << host.describeIcon();
    }
    keep(shot, std::string(panel.name) + "-idle");
    EXPECT_GE(glyphContrast(shot, host.iconArea(), background), 3.0) << panel.name << ", idle";
    // The tray around the icon keeps its own colour: the icon paints no box of its own.
    EXPECT_EQ(shot.pixel(host.iconArea().left() - 4, host.iconArea().top()), background);

    const QImage idle = shot;
    h.model->connect(h.userConnect());
    ASSERT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    ASSERT_TRUE(settleOn(idle)) << "the icon did not change on connecting";
    keep(shot, std::string(panel.name) + "-connected");
    EXPECT_GE(glyphContrast(shot, host.iconArea(), background), 3.0) << panel.name << ", connected";
}

const QColor kDark(0x20, 0x20, 0x20);
const QColor kLight(0xf0, 0xf0, 0xf0);

TEST(TrayGlyph, ReadsOnADarkTrayThatTellsItsColours) {
    expectGlyphReads({"dark-told", kDark, QColor(0xee, 0xee, 0xee)});
}
TEST(TrayGlyph, ReadsOnALightTrayThatTellsItsColours) {
    expectGlyphReads({"light-told", kLight, QColor(0x22, 0x22, 0x22)});
}
TEST(TrayGlyph, ReadsOnADarkTrayThatTellsNothing) {
    expectGlyphReads({"dark-untold", kDark, std::nullopt});
}
TEST(TrayGlyph, ReadsOnALightTrayThatTellsNothing) {
    expectGlyphReads({"light-untold", kLight, std::nullopt});
}

// Without a compositing manager (a bare Xvfb has none) the rounded panel is cut to its shape: its corners
// show the desktop beneath, not the black of pixels nobody blends.
TEST(PanelShape, CornersShowTheDesktopWithoutACompositor) {
    if (!skipReason.empty()) GTEST_SKIP() << skipReason;
    const QColor desktop(0x3a, 0x7b, 0xd5);
    test::TestTrayHost host(desktop, std::nullopt);  // the panel's corners may lie over the tray too
    host.paintDesktop(desktop);
    TrayApp app;
    StatusItem& item = app.item;
    ASSERT_TRUE(test::waitUntil([&] {
        QCoreApplication::processEvents();
        host.pump();
        return host.docked() && item.tray()->geometry().isValid();
    }));
    item.click();
    PanelWindow& panel = item.panel();
    QImage shot;
    ASSERT_TRUE(test::waitUntil([&] {
        QCoreApplication::processEvents();
        if (!panel.isVisible()) return false;
        shot = host.grabScreen(panel.geometry());
        // Painted: the middle of the panel's left edge holds the panel's own colour, not the desktop's.
        return !shot.isNull() && shot.pixel(3, shot.height() / 2) != desktop.rgb();
    })) << "the panel never reached the screen";
    shot.save(QStringLiteral(VELMORA_ARTIFACTS_DIR "/tray/panel-without-compositor.png"));
    for (const QPoint corner : {QPoint(0, 0), QPoint(shot.width() - 1, 0), QPoint(0, shot.height() - 1),
                                QPoint(shot.width() - 1, shot.height() - 1), QPoint(1, 1)})
        EXPECT_EQ(shot.pixel(corner), desktop.rgb()) << "corner " << corner.x() << "," << corner.y();
    EXPECT_NE(shot.pixel(shot.width() / 2, 1),
              desktop.rgb());  // the top edge between the corners is the panel
}

}  // namespace

// The StatusNotifierItem watcher as a desktop's tray host runs it, saying whether a host is registered.
class FakeWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
  public:
    bool hostRegistered() const { return registered; }
    bool registered = false;
};

namespace {

class StatusNotifierBus : public test::PrivatePortalBus<FakeWatcher> {};

// Qt hands the icon to a StatusNotifierItem host whenever one is registered: then the glyph travels as the
// symbolic icon's name, whatever X11 tray may also run.
TEST_F(StatusNotifierBus, AHostOnTheBusIsFoundOnlyOnceItIsRegistered) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());  // before the session bus is first used
    EXPECT_EQ(probeTrayHost().kind, TrayHost::Kind::none);   // no watcher at all
    ASSERT_TRUE(servePortal("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher"));
    EXPECT_EQ(probeTrayHost().kind, TrayHost::Kind::none);  // a watcher, but no host behind it
    onPortalThread([&] { portal_.registered = true; });
    const TrayHost host = probeTrayHost();
    EXPECT_EQ(host.kind, TrayHost::Kind::statusNotifier);
    EXPECT_FALSE(host.textColor.has_value());  // such a host recolours by itself
}

TEST(TrayColorsProperty, TwelveCardinalsOfSixteenBitChannels) {
    const std::uint32_t values[12] = {65535, 32896, 0, 65535, 0, 0, 0xffff, 0xa5a5, 0, 0, 0x8080, 0};
    const auto colors = x11::parseTrayColors(values, 12);
    ASSERT_TRUE(colors.has_value());
    EXPECT_EQ(colors->normal.rgb(), qRgb(255, 128, 0));
    EXPECT_EQ(colors->error.rgb(), qRgb(255, 0, 0));
    EXPECT_EQ(colors->warning.rgb(), qRgb(255, 165, 0));
    EXPECT_EQ(colors->success.rgb(), qRgb(0, 128, 0));
    EXPECT_FALSE(x11::parseTrayColors(values, 11).has_value());  // a short property tells nothing
    EXPECT_FALSE(x11::parseTrayColors(nullptr, 12).has_value());
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    // No session bus: no StatusNotifierItem host answers, so Qt docks into the X11 tray of the test.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
    std::optional<velmora::test::PrivateXvfb> xvfb;
    if (argc < 2 || !std::string_view(argv[1]).starts_with("--gtest_list_tests")) xvfb.emplace("800x600x24");
    if (xvfb && xvfb->running()) velmora::skipReason.clear();
    ::setenv("QT_QPA_PLATFORM", velmora::skipReason.empty() ? "xcb" : "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "tray_contrast_test.moc"

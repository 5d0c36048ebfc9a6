// What a user does to the mirror window and what the phone then receives, with a fake outside: gestures
// and typing as input messages in phone coordinates, the size locked to the picture, the state layer's
// reactions to stalls on the fake clock, the bar, notices, the tooltip and the remembered frame.
#include <gtest/gtest.h>

#include <QDir>
#include <QInputMethodEvent>
#include <QWheelEvent>

#include "app/mirror/video/avcodec_video_sink.h"
#include "app/mirror/window/action_bar.h"
#include "app/mirror/window/container.h"
#include "app/mirror/window/delayed_spinner.h"
#include "app/mirror/window/overlay.h"
#include "app/mirror/window/state_layer.h"
#include "app/mirror/window/status_pill.h"
#include "core/l10n/l10n.h"
#include "mirror_window/mirror_rig.h"

namespace velmora {
namespace {

using nlohmann::json;
using testing::Rig;
using Kind = MirrorPhase::Kind;

// A shown window with a decoded picture, hence live.
struct Live : ::testing::Test {
    Live() {
        rig.window.show();
        EXPECT_TRUE(rig.showPicture(testing::phonePicture(108, 234)));
        EXPECT_EQ(rig.window.hud().phase().kind(), Kind::live);
        rig.window.focusView();
    }
    MirrorView& view() { return rig.window.view(); }
    // The phone point for a view position (top-left origin, as Qt gives it).
    json at(double x, double y) { return {{"x", x / view().width()}, {"y", y / view().height()}}; }
    Rig rig;
};

json withPoint(json message, const json& point) {
    message["x"] = point["x"];
    message["y"] = point["y"];
    return testing::rounded(message);
}

TEST_F(Live, ClickDragWheelAndTypingReachThePhoneAsInputMessages) {
    // A click on the window over the live picture falls through the overlay: one tap where it was pressed.
    QTest::mouseClick(rig.window.windowHandle(), Qt::LeftButton, {}, QPoint(46, 106));
    EXPECT_EQ(rig.port.take(), std::vector{withPoint({{"t", "in.tap"}}, at(40, 100))});

    // A wheel notch away from the user: one short swipe downwards from the middle band.
    QWheelEvent wheel(QPointF(40, 100), view().mapToGlobal(QPointF(40, 100)), {}, QPoint(0, 120),
                      Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view(), &wheel);
    const auto swipe = rig.port.take();
    ASSERT_EQ(swipe.size(), 1u);
    EXPECT_EQ(swipe[0]["t"], "in.swipe");
    EXPECT_GT(swipe[0]["y2"].get<double>(), swipe[0]["y1"].get<double>());

    // A touchpad without scroll phases: a finger drag that lifts by itself once the events stop.
    QWheelEvent pad(QPointF(40, 100), view().mapToGlobal(QPointF(40, 100)), QPoint(0, 40), QPoint(0, 40),
                    Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view(), &pad);
    rig.clock.advance(0.2);
    std::vector<std::string> phases;
    for (const auto& m : rig.port.take())
        phases.push_back(m["t"].get<std::string>() + " " + m.value("phase", ""));
    EXPECT_EQ(phases, (std::vector<std::string>{"in.touch down", "in.touch move", "in.touch up"}));

    // A typed word, Return, an accent composed by an input method, Escape and a right click.
    QTest::keyClicks(&view(), "Oi");
    QTest::keyClick(&view(), Qt::Key_Return);
    QInputMethodEvent compose("´", {});
    QApplication::sendEvent(&view(), &compose);
    QInputMethodEvent commit;
    commit.setCommitString("é");
    QApplication::sendEvent(&view(), &commit);
    QTest::keyClick(&view(), Qt::Key_Escape);
    QTest::mouseClick(&view(), Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(rig.port.take(), (std::vector<json>{{{"t", "in.text"}, {"text", "O"}},
                                                  {{"t", "in.text"}, {"text", "i"}},
                                                  {{"t", "in.key"}, {"key", "enter"}},
                                                  {{"t", "in.text"}, {"text", "é"}},
                                                  {{"t", "in.key"}, {"key", "back"}},
                                                  {{"t", "in.key"}, {"key", "back"}}}));

    // Shortcuts for the phone's buttons and editing, then a paste too long for one go.
    QTest::keyClick(&view(), Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(&view(), Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(&view(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(rig.port.take(),
              (std::vector<json>{{{"t", "in.key"}, {"key", "home"}},
                                 {{"t", "in.nav"}, {"key", "left"}, {"shift", true}, {"word", true}},
                                 {{"t", "in.edit"}, {"action", "undo"}}}));
    rig.port.clipboard = std::string(150000, 'a');
    QTest::keyClick(&view(), Qt::Key_V, Qt::ControlModifier);
    const auto paste = rig.port.take();
    ASSERT_EQ(paste.size(), 13u);  // 100000 characters in chunks of 8000
    EXPECT_EQ(paste.back()["text"].get<std::string>().size(), 4000u);
    ASSERT_TRUE(rig.window.hud().notice());
    EXPECT_NE(rig.window.hud().notice()->find("100"), std::string::npos);
}

// A drag past the slop: the finger goes down at the press, moves, and lifts at the release.
TEST_F(Live, DragsReachThePhoneAtMostOncePerFrameAndTheLastPositionBeforeTheLift) {
    QTest::mousePress(&view(), Qt::LeftButton, {}, QPoint(20, 20));
    for (int i = 1; i <= 5; ++i) {  // every 4 ms
        QMouseEvent move(QEvent::MouseMove, QPointF(20, 20 + 10 * i),
                         view().mapToGlobal(QPointF(20, 20 + 10 * i)), Qt::NoButton, Qt::LeftButton, {});
        move.setTimestamp(static_cast<quint64>(200000 + 4 * i));
        QApplication::sendEvent(&view(), &move);
    }
    EXPECT_EQ(rig.port.inputs.size(), 2u);  // down and the first move at once; the rest wait
    QTest::mouseRelease(&view(), Qt::LeftButton, {}, QPoint(20, 70));
    const auto sent = rig.port.take();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0], withPoint({{"t", "in.touch"}, {"phase", "down"}}, at(20, 20)));
    EXPECT_EQ(sent[2], withPoint({{"t", "in.touch"}, {"phase", "move"}}, at(20, 70)));
    EXPECT_EQ(sent[3], withPoint({{"t", "in.touch"}, {"phase", "up"}}, at(20, 70)));
}

TEST_F(Live, StallShowsItsLayerTurnsUnresponsiveOnTheClockAndLeavesWhenDataFlowsAgain) {
    MirrorOverlay* overlay = rig.window.container().overlay();
    rig.clock.advance(5);  // the heartbeat's silence limit has passed
    rig.window.setStalled(true);
    EXPECT_EQ(overlay->stateLayer()->shownPhase().kind(), Kind::reconnecting);
    EXPECT_TRUE(overlay->blocksMouse());
    QTest::mouseClick(rig.window.windowHandle(), Qt::LeftButton, {}, QPoint(46, 106));  // the panel takes it
    EXPECT_TRUE(rig.port.inputs.empty());
    EXPECT_FALSE(rig.window.container().bar()->button(0)->isEnabled());

    rig.clock.advance(9.9);
    EXPECT_EQ(rig.window.hud().phase().kind(), Kind::reconnecting);
    rig.clock.advance(0.2);
    EXPECT_EQ(overlay->stateLayer()->shownPhase().kind(), Kind::unresponsive);

    // Pictures flow again: the next one alone changes nothing, the heartbeat's all-clear brings it back.
    rig.window.view().clearPicture();
    EXPECT_TRUE(rig.showPicture(testing::phonePicture(108, 234)));
    EXPECT_EQ(rig.window.hud().phase().kind(), Kind::unresponsive);
    rig.window.setStalled(false);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return overlay->stateLayer()->shownPhase().kind() == Kind::live; }, 30000));
    EXPECT_FALSE(overlay->blocksMouse());
    EXPECT_TRUE(rig.window.container().bar()->button(0)->isEnabled());
}

TEST_F(Live, RetryAndRestartButtonsCallBackAndTheBarSendsEachKey) {
    for (const auto& [stage, label] : {std::pair{0, "unresponsive"}, {1, "restored"}, {2, "failed"}}) {
        rig.window.connectionLost();
        if (stage >= 1) rig.window.connectionRestored();
        if (stage == 2) rig.window.fail("O celular não conseguiu codificar a tela.");
        if (stage == 0) rig.clock.advance(10);
        QWidget* retry = rig.window.container().overlay()->stateLayer()->retryButton();
        ASSERT_TRUE(retry) << label;
        QTest::mouseClick(retry, Qt::LeftButton);
        EXPECT_EQ(rig.port.retries, stage + 1) << label;
    }
    rig.window.retrying();
    MirrorActionBar* bar = rig.window.container().bar();
    for (int i = 0; i < 5; ++i)
        QTest::mouseClick(bar->button(i), Qt::LeftButton);
    std::vector<json> keys;
    for (const auto& item : MirrorActionBar::kItems)
        keys.push_back({{"t", "in.key"}, {"key", item.id}});
    EXPECT_EQ(rig.port.take(), keys);
    EXPECT_TRUE(view().hasFocus());
}

// A decoded picture arrives at the view's size in device pixels and is painted pixel for pixel: a
// one-pixel checkerboard survives whole (any rescale would blur it), and only the corners outside the
// rounded rectangle turn to the stage colour. Kept as build/artifacts/mirror/view-one-to-one.png.
TEST(MirrorViewPaint, APictureAtTheViewsSizeIsCopiedAsItIsWithRoundedCorners) {
    ManualExecutor executor;
    MirrorView view(executor);
    QSize told;
    view.onPixelSize = [&](int w, int h) { told = QSize(w, h); };
    view.resize(120, 260);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_EQ(told, QSize(120, 260));  // offscreen: one device pixel per point

    auto frame = std::make_shared<VideoFrame>();
    frame->width = 120, frame->height = 260, frame->stride = 120 * 4 + 32;
    frame->pixels.assign(static_cast<std::size_t>(frame->stride) * 260, 0);
    const auto colour = [](int x, int y) { return (x + y) % 2 ? qRgb(250, 200, 40) : qRgb(20, 90, 230); };
    for (int y = 0; y < 260; ++y)
        for (int x = 0; x < 120; ++x) {
            const QRgb c = colour(x, y);
            std::memcpy(frame->pixels.data() + y * frame->stride + x * 4, &c, 4);
        }
    int painted = 0;
    view.onPainted = [&] { ++painted; };
    view.showFrame(frame);
    view.repaint();
    ASSERT_EQ(painted, 1);
    const QImage shot = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QDir().mkpath(VELMORA_ARTIFACTS_DIR "/mirror");
    EXPECT_TRUE(shot.save(VELMORA_ARTIFACTS_DIR "/mirror/view-one-to-one.png"));

    const double r = MirrorView::kCornerRadius;
    int differ = 0;
    for (int y = 0; y < 260; ++y)
        for (int x = 0; x < 120; ++x) {
            const bool inCorner = (x < r || x >= 120 - r) && (y < r || y >= 260 - r);
            if (!inCorner && shot.pixel(x, y) != colour(x, y)) ++differ;
        }
    EXPECT_EQ(differ, 0) << "pixels changed outside the corners";
    for (const QPoint corner : {QPoint(0, 0), QPoint(119, 0), QPoint(0, 259), QPoint(119, 259)})
        EXPECT_EQ(shot.pixel(corner), qRgb(13, 13, 16)) << corner.x() << "," << corner.y();
    // Inside the rounding, near the corners, the picture shows.
    for (const QPoint inside : {QPoint(5, 5), QPoint(114, 5), QPoint(5, 254), QPoint(114, 254)})
        EXPECT_EQ(shot.pixel(inside), colour(inside.x(), inside.y())) << inside.x() << "," << inside.y();

    // A picture of another size (from before a resize) is still stretched over the whole view.
    auto small = std::make_shared<VideoFrame>(*frame);
    small->width = 60, small->height = 130;
    view.showFrame(small);
    const int before = painted;
    view.repaint();
    EXPECT_EQ(painted, before + 1);
    EXPECT_NE(view.grab().toImage().pixel(60, 258), qRgb(13, 13, 16));
}

TEST(MirrorBar, TitlesAppearFromFiftyPointsPerButton) {
    MirrorHUD hud;
    MirrorActionBar bar(hud);
    bar.show();
    // The buttons share what the status pill's room at the trailing end leaves.
    for (const auto& [width, labels, symbol] : {std::tuple{249, false, 18}, {250, true, 16}}) {
        bar.resize(width + MirrorActionBar::kStatusRoom, MirrorActionBar::kHeight);
        EXPECT_EQ(bar.button(2)->showsLabel(), labels) << width;
        EXPECT_EQ(bar.button(2)->symbolSize(), symbol) << width;
    }
}

// What lies over the phone's own screen: the status pill stays off it, in the bar; the notice hides the
// status bar's icons beneath its text; a failure's text gets a dark plate over the dimmed picture.
TEST_F(Live, ChromeKeepsOffThePhonesStatusBarAndTextsReadOverAnyPicture) {
    MirrorContainer& c = rig.window.container();
    MirrorStatusPill* pill = c.overlay()->pill();
    ASSERT_EQ(pill->parentWidget(), &c);
    EXPECT_FALSE(pill->geometry().intersects(c.overlay()->geometry()));
    EXPECT_TRUE(c.bar()->geometry().contains(pill->geometry()));
    EXPECT_TRUE(pill->isVisible());

    rig.window.showNotice("Texto colado cortado em 64 mil caracteres.", 6);
    MirrorStrip* notice = c.overlay()->noticeStrip();
    ASSERT_TRUE(QTest::qWaitFor([&] { return notice->isVisible() && !notice->graphicsEffect(); }, 30000));
    QImage under(notice->size(), QImage::Format_RGB32);
    under.fill(Qt::white);  // the worst case: a white icon of the phone's status bar
    notice->render(&under, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    EXPECT_LT(qGray(under.pixel(4, under.height() / 2)), 20);

    rig.window.connectionLost();
    rig.window.connectionRestored();
    rig.window.fail("O celular recusou a captura de tela.");
    MirrorStateLayer* layer = c.overlay()->stateLayer();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return layer->shownPhase().kind() == Kind::failed && !layer->graphicsEffect(); }, 30000));
    QImage picture(layer->size(), QImage::Format_RGB32);
    picture.fill(Qt::white);
    layer->render(&picture, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    ASSERT_NE(layer->retryButton(), nullptr);
    const QRect text = layer->retryButton()->geometry();
    // Beside the button, within the plate: darker than the 60 % black alone leaves white (102).
    EXPECT_LT(qGray(picture.pixel(text.left() - 6, text.center().y())), 60);
    EXPECT_GT(qGray(picture.pixel(2, 2)), 90);  // away from the texts the picture still shows through
}

TEST(MirrorWindowSize, UserResizesSnapToThePictureAndANewStreamResizesTheWindow) {
    Rig rig;
    MirrorWindow& w = rig.window;
    EXPECT_EQ(w.size(), QSize(300, 688));
    EXPECT_EQ(w.minimumSize(), QSize(220, 515));
    w.show();
    // Mostly wider: the width leads; mostly taller: the height leads.
    const auto fitted = [&](double width) {
        const MirrorSize s = w.picture().fit(width, 10000);
        return QSize(static_cast<int>(s.width), static_cast<int>(s.height));
    };
    w.resize(330, 690);
    EXPECT_EQ(w.size(), fitted(330));
    w.resize(331, 900);
    EXPECT_EQ(w.size(), fitted(w.picture().contentWidth(900)));
    // The layout follows: video inset 6 above the 52-point bar.
    EXPECT_EQ(w.view().geometry(), QRect(6, 6, w.width() - 12, w.height() - 64));

    Rig hidden;
    hidden.window.setVideoSize(0, 1080);
    EXPECT_EQ(hidden.window.size(), QSize(300, 688));
    hidden.window.setVideoSize(1920, 1080);
    EXPECT_EQ(hidden.window.size(), QSize(300, 226));
    EXPECT_EQ(hidden.window.minimumSize(), QSize(220, 181));
    EXPECT_EQ(hidden.window.hud().phase().kind(), Kind::loading);
    EXPECT_FALSE(MirrorWindow::hiddenFromCapture(false));  // no desktop here can hide one window
}

TEST(MirrorWindowFrame, RemembersItsFrameAndIgnoresAStoredFrameThatIsNotOne) {
    for (const json& stored :
         {json("300x600"), json{{"x", 10}, {"y", 10}, {"width", "wide"}, {"height", 600}},
          json{{"x", 1e300}, {"y", 0}, {"width", 400}, {"height", 600}}}) {
        MemorySettings settings;
        settings.setValue(MirrorWindow::kFrameKey, stored);
        testing::FakePort port;
        ManualExecutor clock;
        MirrorWindow w("t", port, clock, &settings, {.heightLimit = 10000});
        EXPECT_EQ(w.preferredWidth(), 300) << stored.dump();
    }
    MemorySettings settings;
    testing::FakePort port;
    ManualExecutor clock;
    // A place on a screen that is gone: the width stays, the window comes back on the screen.
    settings.setValue(MirrorWindow::kFrameKey, {{"x", 15000}, {"y", 15000}, {"width", 400}, {"height", 900}});
    {
        MirrorWindow w("t", port, clock, &settings, {.heightLimit = 10000});
        EXPECT_EQ(w.width(), 400);
        EXPECT_TRUE(QGuiApplication::primaryScreen()->geometry().contains(w.geometry().center()));
    }
    settings.remove(MirrorWindow::kFrameKey);
    {
        MirrorWindow w("t", port, clock, &settings, {.heightLimit = 10000});
        w.show();
        w.resize(360, 700);
        w.close();
        EXPECT_EQ(port.closes, 1);
    }
    MirrorWindow again("t", port, clock, &settings, {.heightLimit = 10000});
    EXPECT_EQ(again.preferredWidth(), 360);
    EXPECT_EQ(again.width(), 360);
}

TEST(MirrorWindowTick, NoticesTooltipAndLatencyFollowTheClock) {
    Rig rig;
    MirrorWindow& w = rig.window;
    w.showNotice("A", 6);
    rig.clock.advance(3);
    w.showNotice("B", 6);
    rig.clock.advance(3.5);
    EXPECT_EQ(w.hud().notice(), "B");  // A's clearing never runs
    rig.clock.advance(2.6);
    EXPECT_EQ(w.hud().notice(), std::nullopt);

    EXPECT_EQ(w.statusToolTip().count('\n'), 0);  // no transport, no pictures: the quality line only
    rig.port.link = MirrorLinkInfo{42, "Wi-Fi", true};
    rig.clock.advance(1);
    EXPECT_EQ(w.hud().latencyMs(), 42);
    EXPECT_TRUE(w.hud().controlPaused());
    EXPECT_TRUE(w.container().overlay()->pausedStrip()->isVisibleTo(&w));
    EXPECT_TRUE(w.statusToolTip().contains("Wi-Fi"));
    EXPECT_EQ(w.container().overlay()->pill()->text(),
              QString::fromStdString(L10n::format("mirror.status.ms", {42})));
    w.connectionLost();
    EXPECT_EQ(w.container().overlay()->pill()->text(),
              QString::fromStdString(L10n::string("mirror.status.empty")));
}

TEST(MirrorStateLayer, LoadingSpinnerWaitsFourTenthsOfASecond) {
    Rig rig;
    auto* spinner = rig.window.container().overlay()->stateLayer()->findChild<DelayedSpinner*>();
    ASSERT_TRUE(spinner);
    rig.clock.advance(0.3);
    EXPECT_FALSE(spinner->shown());
    rig.clock.advance(0.1);
    EXPECT_TRUE(spinner->shown());
}

}  // namespace
}  // namespace velmora

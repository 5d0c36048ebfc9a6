#include "app/design/guide/guide_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QTest>

#include "app/design/guide/guide_view.h"
#include "guide_test_support.h"

namespace velmora {
namespace {

GuideView* viewOf(QWidget* window) {
    auto views = window->findChildren<GuideView*>();
    return views.size() == 1 ? views[0] : nullptr;
}

void showAndWait() {
    GuideWindow::show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(GuideWindow::window()));
}

// One process-wide window, so the cases run as one story in order.
TEST(GuideWindow, OneWindowThatKeepsItsPlaceAndFoldsAndHidesOnReturn) {
    guide::testing::L10nScope l10n;
    l10n.emptyTables();
    EXPECT_EQ(GuideWindow::window(), nullptr);

    showAndWait();
    QWidget* window = GuideWindow::window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "guide.window_title");
    const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(window->size(), QSize(600, 700).boundedTo(free.size()).expandedTo(QSize(520, 480)));
    EXPECT_NEAR(window->frameGeometry().center().x(), free.center().x(),
                4);  // frame margins arrive once shown
    EXPECT_GE(window->frameGeometry().top(), free.top());
    ASSERT_NE(viewOf(window), nullptr);

    // A second call makes no second window and moves nothing.
    window->move(window->pos() + QPoint(37, 21));
    window->resize(640, 720);
    const QRect placed = window->geometry();
    viewOf(window)->setOpen("guide.share.title", true);
    showAndWait();
    EXPECT_EQ(GuideWindow::window(), window);
    EXPECT_EQ(window->geometry(), placed);
    int guideWindows = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        guideWindows += w->findChildren<GuideView*>().size();
    EXPECT_EQ(guideWindows, 1);

    // Closing only hides; the same window comes back as it was.
    window->close();
    EXPECT_FALSE(window->isVisible());
    showAndWait();
    EXPECT_EQ(GuideWindow::window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->geometry(), placed);
    EXPECT_TRUE(viewOf(window)->isOpen("guide.share.title"));

    // Return presses the footer's button, which hides the window.
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());

    // The window never gets smaller than its content allows.
    showAndWait();
    window->resize(200, 200);
    EXPECT_GE(viewOf(window)->width(), 520);
    EXPECT_GE(viewOf(window)->height(), 480);

    // A guide the user minimised comes back when asked for again, where it was.
    const QRect before = window->geometry();
    window->setWindowState(window->windowState() | Qt::WindowMinimized);
    ASSERT_TRUE(window->isMinimized());
    GuideWindow::show();
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->geometry(), before);
    window->close();
}

}  // namespace
}  // namespace velmora

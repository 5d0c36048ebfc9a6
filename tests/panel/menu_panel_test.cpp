// The panel as the user meets it: what survives the heartbeat's updates, how tall it is, files dropped on
// it, quitting, and the search button's busy time.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>

#include "app/design/fold_row.h"
#include "app/design/text_block.h"
#include "app/shell/panel/panel_controls.h"
#include "app/shell/panel/panel_footer.h"
#include "panel/panel_rig.h"

namespace velmora {
namespace {

using namespace testing_support;

// The texts and buttons of the scrolled middle that the first view's bottom edge cuts in two.
QStringList cutAtTheFold(MenuPanel& panel) {
    QWidget* viewport = panel.scrollArea()->viewport();
    QStringList cut;
    for (QWidget* w : panel.scrollArea()->widget()->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(panel.scrollArea()->widget())) continue;
        if (!qobject_cast<QLabel*>(w) && !qobject_cast<QAbstractButton*>(w) && !dynamic_cast<TextBlock*>(w))
            continue;
        const int top = w->mapTo(viewport, QPoint(0, 0)).y();
        if (top < viewport->height() && top + w->height() > viewport->height())
            cut << w->metaObject()->className() + QStringLiteral(" at ") + QString::number(top);
    }
    return cut;
}

TEST(MenuPanel, HeartbeatUpdatesKeepTypedTextOpenFoldsAndFocus) {
    PanelRig rig;
    rig.model.state.state = ConnState::connected("Nimbo");
    auto& panel = rig.open(true);
    TypingBody* body = rig.body();
    ASSERT_NE(body, nullptr);
    QTest::mouseClick(panel.prefsRow()->header(), Qt::LeftButton);
    ASSERT_TRUE(settle(rig.window.get()));
    body->field->setFocus();
    QTest::keyClicks(body->field, "10.0.0.7");

    for (int tick = 1; tick <= 3; ++tick) {  // three heartbeats: a new round trip each time
        rig.model.state.rttMs = 40 + tick;
        rig.update();
    }
    EXPECT_EQ(rig.body(), body);
    EXPECT_EQ(body->refreshes, 4);
    EXPECT_EQ(body->field->text(), "10.0.0.7");
    EXPECT_TRUE(body->field->hasFocus());
    EXPECT_TRUE(panel.prefsRow()->binding()->isExpanded());
    EXPECT_EQ(rig.settings.boolean("prefsOpen"), true);  // and a new panel opens it again

    rig.model.state.state = ConnState::idle();  // another kind of body: made anew
    rig.update();
    ASSERT_NE(rig.body(), nullptr);
    EXPECT_EQ(rig.body()->kind, PanelState::Kind::empty);
    EXPECT_TRUE(rig.body()->field->text().isEmpty());

    PanelRig again;
    again.settings.setValue("prefsOpen", true);
    EXPECT_TRUE(again.open().prefsRow()->binding()->isExpanded());
}

TEST(MenuPanel, HeightFollowsTheContentUpToTheMaximum) {
    PanelRig rig;
    auto& panel = rig.open(true);
    const int small = panel.height();
    EXPECT_EQ(small, panel.contentHeight());
    EXPECT_EQ(panel.width(), 360);

    for (int i = 0; i < 3; ++i)
        rig.model.state.phones.push_back(testPhone("id" + std::to_string(i), "Phone"));
    rig.update();
    EXPECT_EQ(panel.height(), small + 90);  // three rows of 30 in the body
    rig.model.state.lastError = "The phone closed the link.";
    rig.update();
    EXPECT_GT(panel.height(), small + 90);  // the error notice under the body
    EXPECT_EQ(panel.height(), panel.contentHeight());

    for (int i = 3; i < 40; ++i)
        rig.model.state.phones.push_back(testPhone("id" + std::to_string(i), "Phone"));
    rig.update();
    // The offscreen screen is 800 high: at most 640, less by what keeps the last line whole.
    EXPECT_LE(panel.height(), 640);
    EXPECT_GT(panel.height(), 640 - 40);
    // The middle scrolls, with its scroll bar showing; header and footer stay in view.
    EXPECT_GT(panel.scrollArea()->verticalScrollBar()->maximum(), 0);
    EXPECT_TRUE(panel.scrollArea()->verticalScrollBar()->isVisibleTo(&panel));
    EXPECT_EQ(panel.footer()->geometry().bottom(), panel.height() - 1);
    EXPECT_EQ(cutAtTheFold(panel), QStringList());

    MenuPanel::maxHeightOverride = 300;
    rig.update();
    EXPECT_LE(panel.height(), 300);
    EXPECT_GT(panel.height(), 300 - 40);
    EXPECT_EQ(cutAtTheFold(panel), QStringList());
    MenuPanel::maxHeightOverride.reset();
    rig.model.state.phones.clear();
    rig.model.state.lastError.reset();
    rig.update();
    EXPECT_EQ(panel.height(), small);
}

// Drops `urls` on the panel; whether the panel took the drop.
bool drop(MenuPanel& panel, const QList<QUrl>& urls) {
    auto* mime = new QMimeData();
    mime->setUrls(urls);
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &enter);
    const bool highlighted = panel.dropping();
    QDropEvent dropped(QPointF(100, 100), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &dropped);
    delete mime;
    EXPECT_FALSE(panel.dropping());
    return highlighted && dropped.isAccepted();
}

TEST(MenuPanel, FilesDroppedWhileConnectedGoOneCallEach) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a b.pdf"), c = dir.filePath("c.jpg"), folder = dir.filePath("folder");
    for (const QString& file : {a, c}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir().mkpath(folder));
    PanelRig rig;
    auto& panel = rig.open();
    const QList<QUrl> urls{QUrl::fromLocalFile(a), QUrl("https://example.org/x"), QUrl::fromLocalFile(folder),
                           QUrl::fromLocalFile(c)};
    EXPECT_FALSE(drop(panel, urls));  // nothing to send to
    EXPECT_TRUE(rig.calls.empty());

    rig.model.state.state = ConnState::connected("Nimbo");
    rig.update();
    EXPECT_TRUE(drop(panel, urls));
    EXPECT_EQ(rig.calls, (std::vector<std::string>{"send " + a.toStdString(), "send " + c.toStdString()}));
    EXPECT_FALSE(drop(panel, {QUrl::fromLocalFile(folder)}));  // no file at all: handed back
}

TEST(MenuPanel, QuitAsksOnlyWhileMirroringAndTheKeyTakesTheSamePath) {
    PanelRig rig;
    auto& panel = rig.open();
    panel.footer()->quitButton()->click();
    EXPECT_EQ(rig.calls, (std::vector<std::string>{"terminate"}));

    rig.calls.clear();
    rig.model.mirroring = true;
    rig.update();
    QTest::keyClick(&panel, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(rig.calls, (std::vector<std::string>{"ask"}));  // cancelled: still running
    rig.confirm = true;
    QTest::keyClick(&panel, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(rig.calls, (std::vector<std::string>{"ask", "ask", "terminate"}));
}

TEST(SearchAgainButton, BusyForTwoSecondsSoASecondPressSearchesNoMore) {
    PanelRig rig;
    auto window = activeWindow();
    auto* button = new SearchAgainButton("Search again", rig.actions.restartBrowsing, window.get());
    button->show();
    button->click();
    button->click();
    EXPECT_EQ(rig.calls, (std::vector<std::string>{"restart"}));
    EXPECT_TRUE(button->isBusy());
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !button->isBusy(); }, 30000));
    EXPECT_EQ(button->text(), "Search again");
    button->click();
    EXPECT_EQ(rig.calls.size(), 2u);
}

}  // namespace
}  // namespace velmora

// The panel keeps the person's place in its scrolling middle while a section changes under it: the
// permissions after "Check again", the paired phones' forget confirmation opened and cancelled, and the body
// that a connect from the typed-address field replaces above the preferences. Renders each place before and
// after into build/artifacts/panel/place-*.png.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "app/design/fold_row.h"
#include "app/shell/model_adapter.h"
#include "app/shell/panel/menu_panel.h"
#include "app/shell/phones/permissions_fold.h"
#include "app/shell/prefs/prefs_section.h"
#include "app/shell/tray/panel_window.h"
#include "core/l10n/l10n.h"
#include "core/settings/memory_settings.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

using Kind = PanelState::Kind;

QAbstractButton* buttonTitled(QWidget* in, const std::string& key) {
    for (auto* b : in->findChildren<QAbstractButton*>())
        if (b->isVisible() && b->text() == QString::fromStdString(L10n::string(key))) return b;
    return nullptr;
}

// Six phones found, one paired phone in the preferences (open), the notification server down, and a panel
// low enough that the middle scrolls.
struct TallPanel {
    TallPanel() {
        h.notices->serverDown = true;
        h.pairBothSides();
        h.start();
        settings->setValue("prefsOpen", true);
        MenuPanel::maxHeightOverride = 420;
        adapter = std::make_unique<ModelAdapter>(h.model);
        panel = std::make_unique<PanelWindow>(*adapter, PanelWindow::Mode::window, settings);
        panel->show();
    }
    ~TallPanel() { MenuPanel::maxHeightOverride.reset(); }

    MenuPanel& frame() const { return panel->content(); }
    QScrollBar* bar() const { return frame().scrollArea()->verticalScrollBar(); }
    bool is(Kind kind) {
        return h.pumpUntil([&] {
            QCoreApplication::processEvents();
            return frame().state().kind == kind;
        });
    }
    void findPhones() {
        ASSERT_TRUE(is(Kind::empty));
        std::vector<DnsSdService> found;
        for (char i = '0'; i < '6'; ++i)
            found.push_back({std::string("Telefone ") + i,
                             {{"id", std::string(31, 'a') + i}},
                             TcpEndpoint{"127.0.0.1", 5555}});
        h.browser->results(found);
        ASSERT_TRUE(is(Kind::found));
        settle();
        ASSERT_GT(bar()->maximum(), 600) << "the middle must scroll well beyond one view";
    }
    // Runs what the model posted and every layout and deletion pending, until nothing is left.
    void settle() {
        for (int round = 0; round < 10; ++round) {
            h.exec->runPending();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QCoreApplication::processEvents();
        }
    }
    // The person scrolls `widget` into view (a deliberate scroll: the place is taken there).
    void scrollTo(QWidget* widget) {
        frame().scrollArea()->ensureWidgetVisible(widget, 0, 40);
        settle();
    }
    int topInView(const QWidget* widget) const {
        return widget->mapTo(frame().scrollArea()->viewport(), QPoint(0, 0)).y();
    }
    bool inView(const QWidget* widget) const {
        const int top = topInView(widget);
        return top >= 0 && top + widget->height() <= frame().scrollArea()->viewport()->height();
    }
    void render(const char* name) {
        QDir().mkpath(VELMORA_ARTIFACTS_DIR "/panel");
        EXPECT_TRUE(
            panel->grab().save(QStringLiteral(VELMORA_ARTIFACTS_DIR "/panel/place-%1.png").arg(name)));
    }

    test::ModelHarness h;
    std::shared_ptr<MemorySettings> settings = std::make_shared<MemorySettings>();
    std::unique_ptr<ModelAdapter> adapter;
    std::unique_ptr<PanelWindow> panel;
};

TEST(ScrollPlace, ThePlaceStaysWhileASectionChangesUnderIt) {
    TallPanel p;
    p.findPhones();
    PermissionsFold& perms = p.panel->permissions();
    PrefsSection& prefs = p.panel->prefs();

    // The permissions, opened by default while no notification server answers, stay open by the person's
    // own choice (closed and opened again), so that "Check again" changes a row under their eyes.
    ASSERT_TRUE(perms.binding()->isExpanded());
    p.scrollTo(perms.row()->header());
    QTest::mouseClick(perms.row()->header(), Qt::LeftButton);
    QTest::mouseClick(perms.row()->header(), Qt::LeftButton);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !perms.row()->content()->graphicsEffect(); }, 10000));  // faded in
    p.settle();
    ASSERT_TRUE(perms.binding()->isExpanded() && perms.userChose());
    QAbstractButton* again = buttonTitled(&perms, "perms.check_again");
    ASSERT_NE(again, nullptr);
    p.scrollTo(again);
    const int checkPlace = p.bar()->value();
    ASSERT_GT(checkPlace, 0);
    p.render("check-again-before");
    p.h.notices->serverDown = false;
    FoldRow* oldRow = perms.row();
    QTest::mouseClick(again, Qt::LeftButton);
    ASSERT_TRUE(p.h.pumpUntil([&] {
        QCoreApplication::processEvents();
        return perms.row() != oldRow;  // the notifications row now reports a server
    }));
    p.settle();
    p.render("check-again-after");
    EXPECT_EQ(p.bar()->value(), checkPlace);
    EXPECT_TRUE(perms.binding()->isExpanded());
    // The keyboard stays in the section instead of landing on some control out of sight.
    EXPECT_TRUE(perms.isAncestorOf(QApplication::focusWidget()));
    EXPECT_TRUE(p.inView(QApplication::focusWidget()));

    // Forget, then Cancel, on the paired phone's line.
    QWidget* paired = prefs.pairedList();
    QAbstractButton* forget = buttonTitled(paired, "common.forget");
    ASSERT_NE(forget, nullptr);
    p.scrollTo(forget);
    const int forgetPlace = p.bar()->value();
    p.render("forget-before");
    QTest::mouseClick(forget, Qt::LeftButton);
    p.settle();
    p.render("forget-asking");
    EXPECT_EQ(p.bar()->value(), forgetPlace);
    QAbstractButton* cancel = buttonTitled(paired, "common.cancel");
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(QApplication::focusWidget(), cancel) << "the safe answer takes the keyboard";
    QTest::mouseClick(cancel, Qt::LeftButton);
    p.settle();
    p.render("forget-cancelled");
    EXPECT_EQ(p.bar()->value(), forgetPlace);
    forget = buttonTitled(paired, "common.forget");
    ASSERT_NE(forget, nullptr);
    EXPECT_EQ(QApplication::focusWidget(), forget) << "back on the phone's own Forget";

    // At the very bottom, with the permissions folded again, a connect typed into the address field: the
    // found list above gives way to the connecting card and then the connected card, and the field stays
    // where it stood in the view.
    p.scrollTo(perms.row()->header());
    QTest::mouseClick(perms.row()->header(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return perms.row()->header()->chevronAngle() == 0; }, 10000));
    p.settle();
    p.bar()->setValue(p.bar()->maximum());
    p.settle();
    QLineEdit* field = prefs.addressField();
    ASSERT_TRUE(p.inView(field));
    // The view stays at its end, so the field keeps its distance from the view's bottom edge.
    const auto aboveBottom = [&] {
        return p.frame().scrollArea()->viewport()->height() - p.topInView(field);
    };
    const int fieldPlace = aboveBottom();
    p.render("connect-before");
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClicks(field, "127.0.0.1");
    QAbstractButton* connect = buttonTitled(prefs.addressField()->parentWidget(), "common.connect");
    ASSERT_NE(connect, nullptr);
    QTest::mouseClick(connect, Qt::LeftButton);
    ASSERT_TRUE(p.h.pumpUntil([&] {
        QCoreApplication::processEvents();
        const Kind kind = p.frame().state().kind;
        return kind == Kind::connecting || kind == Kind::connected;  // a quick connect shows no card between
    }));
    p.settle();
    // The view's own height changes with the body above (its first view ends where it cuts no sentence in
    // two: about a line less while connecting), and the body became too short to hold the person's place
    // further up: the field stays at the same height above the view's bottom edge. It moved by a whole list
    // before.
    EXPECT_EQ(p.bar()->value(), p.bar()->maximum()) << "while connecting";
    EXPECT_EQ(aboveBottom(), fieldPlace) << "while connecting";
    ASSERT_TRUE(p.is(Kind::connected));
    p.settle();
    p.render("connect-after");
    EXPECT_EQ(p.bar()->value(), p.bar()->maximum()) << "connected";
    EXPECT_EQ(aboveBottom(), fieldPlace) << "connected";
}

// The focus guard leaves the keyboard's own way alone: Tab onto a control below the view brings it in.
TEST(ScrollPlace, TabStillBringsTheNextControlIntoView) {
    TallPanel p;
    p.findPhones();
    ASSERT_EQ(p.bar()->value(), 0);
    QLineEdit* field = p.panel->prefs().addressField();
    ASSERT_FALSE(p.inView(field));
    field->setFocus(Qt::OtherFocusReason);
    QAbstractButton* connect = buttonTitled(field->parentWidget(), "common.connect");
    ASSERT_NE(connect, nullptr);
    QTest::keyClick(field, Qt::Key_Tab);
    p.settle();
    ASSERT_EQ(QApplication::focusWidget(), connect);
    EXPECT_TRUE(p.inView(connect));
}

}  // namespace
}  // namespace velmora

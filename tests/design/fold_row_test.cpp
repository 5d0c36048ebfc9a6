#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QVBoxLayout>

#include "app/design/focus_ring.h"
#include "app/design/fold_row.h"
#include "app/design/palette.h"
#include "core/l10n/l10n.h"
#include "design/widget_helpers.h"

namespace velmora {
namespace {

using namespace testing_support;

QString key(const char* k) {
    return QString::fromStdString(L10n::string(k));
}

struct FoldFixture {
    std::unique_ptr<QWidget> window = activeWindow({320, 200});
    FoldBinding* binding = new FoldBinding(false, window.get());
    QWidget* content = new QWidget;
    FoldRow* row;

    explicit FoldFixture(std::optional<QString> summary = QStringLiteral("On"),
                         std::optional<DynColor> dot = DS::ok) {
        content->setFixedHeight(40);
        auto* column = new QVBoxLayout(window.get());
        column->setContentsMargins(0, 0, 0, 0);
        row = new FoldRow(QStringLiteral("Clipboard"), summary, dot, binding, content);
        column->addWidget(row);
        column->addStretch(1);
        settle(window.get());
    }
};

TEST(FoldRow, ClickAnywhereInTheHeaderTogglesOnce) {
    FoldFixture f;
    FoldHeader* header = f.row->header();
    EXPECT_GE(header->height(), 30);
    EXPECT_EQ(header->width(), 320);
    EXPECT_TRUE(f.content->isHidden());
    const QPoint spots[] = {{14, 15}, {60, 15}, {200, 15}, {header->width() - 10, 15}, {1, 1}};
    bool expanded = false;
    for (QPoint spot : spots) {
        QTest::mouseClick(header, Qt::LeftButton, {}, spot);
        expanded = !expanded;
        EXPECT_EQ(f.binding->isExpanded(), expanded) << spot.x();
        EXPECT_EQ(f.content->isHidden(), !expanded) << spot.x();
    }
    // Open after an odd number of clicks: the content sits right under the header, without inset.
    settle(f.window.get());
    EXPECT_EQ(f.content->geometry().top(), header->geometry().bottom() + 1);
    EXPECT_EQ(f.content->geometry().left(), 0);
}

TEST(FoldRow, ChevronTurnsAQuarterWithTheState) {
    FoldFixture f;
    EXPECT_EQ(f.row->header()->chevronAngle(), 0);
    f.binding->setExpanded(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.row->header()->chevronAngle() == 90; }, 2000));
    f.binding->setExpanded(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.row->header()->chevronAngle() == 0; }, 2000));
}

TEST(FoldRow, AccessibleTextsFollowTheState) {
    FoldFixture f;
    FoldHeader* header = f.row->header();
    EXPECT_EQ(a11yRole(header), QAccessible::Button);
    EXPECT_EQ(a11yText(header, QAccessible::Name), QStringLiteral("Clipboard, On"));
    EXPECT_EQ(a11yText(header, QAccessible::Value), key("a11y.fold.collapsed"));
    EXPECT_EQ(a11yText(header, QAccessible::Description), key("a11y.fold.hint"));
    f.binding->setExpanded(true);
    EXPECT_EQ(a11yText(header, QAccessible::Value), key("a11y.fold.expanded"));
    // The press action of assistive tools toggles the row too.
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(header);
    ASSERT_NE(iface->actionInterface(), nullptr);
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(f.binding->isExpanded());
}

TEST(FoldRow, WithoutSummaryTheNameIsTheTitleAlone) {
    FoldFixture f(std::nullopt, std::nullopt);
    EXPECT_EQ(a11yText(f.row->header(), QAccessible::Name), QStringLiteral("Clipboard"));
}

TEST(FoldRow, HoverFillOnlyWhileThePointerIsOver) {
    FoldFixture f;
    FoldHeader* header = f.row->header();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(header, &enter);
    EXPECT_TRUE(header->isHovered());
    f.binding->setExpanded(true);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(header, &leave);
    EXPECT_FALSE(header->isHovered());
}

TEST(FoldRow, HeaderTakesKeyboardFocusWithTheRing) {
    FoldFixture f;
    FoldHeader* header = f.row->header();
    const QRect before = header->geometry();
    header->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(header->focusRing()->isShown());
    EXPECT_EQ(header->geometry(), before);
    QTest::keyClick(header, Qt::Key_Space);
    EXPECT_TRUE(f.binding->isExpanded());
}

TEST(ExpanderText, KeepsItsOwnStateStartingCollapsed) {
    auto window = activeWindow();
    auto* content = new QWidget;
    auto* expander = new ExpanderText(QStringLiteral("More"), content, nullptr, window.get());
    expander->show();
    EXPECT_TRUE(content->isHidden());
    QTest::mouseClick(expander->row()->header(), Qt::LeftButton);
    EXPECT_FALSE(content->isHidden());
    QTest::mouseClick(expander->row()->header(), Qt::LeftButton);
    EXPECT_TRUE(content->isHidden());
}

TEST(ExpanderText, AnExternalBindingDecides) {
    auto window = activeWindow();
    FoldBinding external(true);
    auto* content = new QWidget;
    auto* expander = new ExpanderText(QStringLiteral("More"), content, &external, window.get());
    expander->show();
    EXPECT_FALSE(content->isHidden());
    external.setExpanded(false);
    EXPECT_TRUE(content->isHidden());
    QTest::mouseClick(expander->row()->header(), Qt::LeftButton);
    EXPECT_TRUE(external.isExpanded());
    EXPECT_FALSE(content->isHidden());
}

// Whether the widget's style paints anything for a focus frame.
bool drawsFocusFrame(QWidget* w) {
    QImage image(40, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    QStyleOptionFocusRect option;
    option.initFrom(w);
    option.rect = QRect(2, 2, 36, 16);
    w->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, w);
    p.end();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0) return true;
    return false;
}

TEST(NoFocusRing, StockWidgetsInsideDrawNoFocusFrameNowAndLater) {
    auto window = activeWindow();
    auto* early = new QPushButton(QStringLiteral("Early"), window.get());
    noFocusRing(window.get());
    auto* holder = new QWidget(window.get());
    auto* late = new QPushButton(QStringLiteral("Late"), holder);
    holder->show();
    late->show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(drawsFocusFrame(early));
    EXPECT_FALSE(drawsFocusFrame(late));
    QPushButton outside(QStringLiteral("Outside"));
    EXPECT_NE(outside.style(), late->style());
}

// Panels are made again and again; each one must not leave a style of its own behind for good.
TEST(NoFocusRing, EveryPanelSharesOneStyle) {
    const auto styles = [] { return QCoreApplication::instance()->findChildren<QStyle*>().size(); };
    auto first = activeWindow();
    noFocusRing(first.get());
    const auto made = styles();
    QStyle* shared = first->style();
    for (int i = 0; i < 5; ++i) {
        QWidget panel;
        auto* button = new QPushButton(QStringLiteral("Button"), &panel);
        noFocusRing(&panel);
        EXPECT_EQ(button->style(), shared);
    }
    EXPECT_EQ(styles(), made);
}

}  // namespace
}  // namespace velmora

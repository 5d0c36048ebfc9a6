#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/design/buttons.h"
#include "app/design/focus_ring.h"
#include "design/widget_helpers.h"

namespace velmora {
namespace {

using namespace testing_support;

double alphaIn(const DynColor& c, Appearance a) {
    return c.resolve(a).alphaF();
}

// Heights and the fill of the width are checked on the widgets below.
TEST(ButtonLook, PrimaryCornerAndFontFollowTall) {
    const ButtonLook tall = PrimaryButtonStyle::look(true, true, false);
    const ButtonLook normal = PrimaryButtonStyle::look(false, true, false);
    EXPECT_EQ(tall.radius, 10);
    EXPECT_EQ(tall.fontSize, 14);
    EXPECT_EQ(normal.radius, 7);
    EXPECT_EQ(normal.fontSize, 13);
    EXPECT_TRUE(normal.gradient);
    EXPECT_EQ(normal.weight, QFont::DemiBold);
}

TEST(ButtonLook, DisabledPrimaryKeepsBorderAndShadowButTransparent) {
    const ButtonLook on = PrimaryButtonStyle::look(false, true, false);
    const ButtonLook off = PrimaryButtonStyle::look(false, false, false);
    EXPECT_FALSE(off.gradient);
    EXPECT_EQ(off.plate.light.a, DS::fill2.light.a);
    EXPECT_EQ(off.plate.dark.a, DS::fill2.dark.a);
    EXPECT_EQ(off.borderWidth, on.borderWidth);
    EXPECT_EQ(off.shadowRadius, on.shadowRadius);
    EXPECT_EQ(off.shadowOffset, on.shadowOffset);
    EXPECT_DOUBLE_EQ(off.border.light.a, 0);
    EXPECT_DOUBLE_EQ(off.shadow.light.a, 0);
    EXPECT_DOUBLE_EQ(on.border.light.a, 0.3);
    EXPECT_DOUBLE_EQ(on.shadow.light.a, 0.15);
    EXPECT_EQ(on.text.resolve(Appearance::dark), QColor(Qt::white));
    EXPECT_EQ(off.text.resolve(Appearance::light), SystemColor::secondary.resolve(Appearance::light));
}

TEST(ButtonLook, OpacityForEachState) {
    struct Row {
        const char* name;
        ButtonLook look;
        double opacity;
    };
    using RowButtonStyle::Kind;
    const Row table[] = {
        {"primary", PrimaryButtonStyle::look(false, true, false), 1},
        {"primary pressed", PrimaryButtonStyle::look(false, true, true), 0.85},
        {"secondary", SecondaryButtonStyle::look(28, false, true, false), 1},
        {"secondary pressed", SecondaryButtonStyle::look(28, false, true, true), 0.8},
        {"secondary disabled", SecondaryButtonStyle::look(28, false, false, false), 0.55},
        {"secondary disabled pressed", SecondaryButtonStyle::look(28, false, false, true), 0.8},
        {"row", RowButtonStyle::look(Kind::tint, true, false), 1},
        {"row pressed", RowButtonStyle::look(Kind::primary, true, true), 0.8},
    };
    for (const auto& row : table)
        EXPECT_DOUBLE_EQ(row.look.opacity, row.opacity) << row.name;
}

TEST(ButtonLook, SecondaryCastsAShadowOnlyInLight) {
    const ButtonLook l = SecondaryButtonStyle::look(28, true, true, false);
    EXPECT_NEAR(alphaIn(l.shadow, Appearance::light), 0.1, 1e-4);
    EXPECT_EQ(alphaIn(l.shadow, Appearance::dark), 0);
    EXPECT_NEAR(alphaIn(l.plate, Appearance::dark), 0.14, 1e-4);
    EXPECT_EQ(alphaIn(l.plate, Appearance::light), 1);
    EXPECT_NEAR(alphaIn(l.border, Appearance::light), 0.14, 1e-4);
    EXPECT_NEAR(alphaIn(l.border, Appearance::dark), 0.08, 1e-4);
}

TEST(ButtonLook, DisabledRowButtonsLookTheSameForBothKinds) {
    using RowButtonStyle::Kind;
    const ButtonLook a = RowButtonStyle::look(Kind::primary, false, false);
    const ButtonLook b = RowButtonStyle::look(Kind::tint, false, false);
    for (Appearance ap : {Appearance::light, Appearance::dark}) {
        EXPECT_EQ(a.plate.resolve(ap), b.plate.resolve(ap));
        EXPECT_EQ(a.text.resolve(ap), b.text.resolve(ap));
        EXPECT_EQ(a.gradient, b.gradient);
        EXPECT_NEAR(a.text.resolve(ap).alphaF(), SystemColor::secondary.resolve(ap).alphaF() * 0.7, 1e-4);
    }
    EXPECT_EQ(RowButtonStyle::look(Kind::tint, true, false).plate.resolve(Appearance::dark),
              DS::accentTint.resolve(Appearance::dark));
    EXPECT_EQ(RowButtonStyle::look(Kind::tint, true, false).text.resolve(Appearance::light),
              DS::accentText.resolve(Appearance::light));
}

TEST(Buttons, SecondaryHugsItsLabelOrFillsTheWidth) {
    auto window = activeWindow({400, 200});
    auto* column = new QVBoxLayout(window.get());
    auto* hug = new SecondaryButton(QStringLiteral("OK"), 28, false);
    auto* full = new SecondaryButton(QStringLiteral("OK"), 28, true);
    column->addWidget(hug);
    column->addWidget(full);
    settle(window.get());
    const int label = QFontMetrics(hug->font()).horizontalAdvance(QStringLiteral("OK"));
    EXPECT_NEAR(hug->width(), label + 24, 1);
    EXPECT_EQ(hug->height(), 28);
    EXPECT_EQ(full->width(), window->contentsRect().width() - column->contentsMargins().left() -
                                 column->contentsMargins().right());
}

TEST(Buttons, SizesOfPrimaryAndRowButtons) {
    PrimaryButton tall(QStringLiteral("Go"), true);
    PrimaryButton normal(QStringLiteral("Go"));
    RowButton row(QStringLiteral("Pair"), RowButtonStyle::Kind::primary);
    EXPECT_EQ(tall.sizeHint().height(), 44);
    EXPECT_EQ(normal.sizeHint().height(), 32);
    EXPECT_EQ(normal.sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    EXPECT_EQ(row.sizeHint().height(), 24);
    EXPECT_EQ(row.sizeHint().width(),
              QFontMetrics(row.font()).horizontalAdvance(QStringLiteral("Pair")) + 28);
    EXPECT_EQ(row.font().pixelSize(), 12);
}

TEST(Buttons, DisabledAncestorAndPressRestyleWithoutMoving) {
    auto window = activeWindow();
    auto* box = new QWidget(window.get());
    auto* layout = new QHBoxLayout(box);
    auto* button = new PrimaryButton(QStringLiteral("Connect"), false);
    layout->addWidget(button);
    box->resize(300, 60);
    box->show();
    layout->activate();
    const QRect before = button->geometry();
    EXPECT_TRUE(button->currentLook().gradient);
    box->setEnabled(false);
    layout->activate();
    EXPECT_EQ(button->geometry(), before);
    EXPECT_FALSE(button->currentLook().gradient);
    box->setEnabled(true);
    EXPECT_TRUE(button->currentLook().gradient);
    button->setDown(true);
    EXPECT_DOUBLE_EQ(button->currentLook().opacity, 0.85);
    button->setDown(false);
    EXPECT_DOUBLE_EQ(button->currentLook().opacity, 1);
    EXPECT_EQ(button->geometry(), before);
}

TEST(Buttons, AccessibleNameIsTheLabelAndClickWorksAnywhere) {
    auto window = activeWindow();
    auto* button = new SecondaryButton(QStringLiteral("Send file"), 28, false, window.get());
    button->move(20, 20);
    button->show();
    EXPECT_EQ(a11yText(button, QAccessible::Name), QStringLiteral("Send file"));
    int clicks = 0;
    QObject::connect(button, &QAbstractButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(1, 1));  // the very corner
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    EXPECT_EQ(clicks, 2);
}

TEST(FocusRing, ShownOnlyForKeyboardFocusAndNeverMovesTheControl) {
    auto window = activeWindow();
    auto* first = new SecondaryButton(QStringLiteral("One"), 28, false, window.get());
    auto* second = new SecondaryButton(QStringLiteral("Two"), 28, false, window.get());
    first->move(20, 20);
    second->move(20, 80);
    first->show();
    second->show();
    const QRect geometry = second->geometry();

    QTest::mouseClick(second, Qt::LeftButton, {}, second->rect().center());
    EXPECT_TRUE(second->hasFocus());
    EXPECT_FALSE(second->focusRing()->isShown());

    first->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(first->focusRing()->isShown());
    EXPECT_FALSE(second->focusRing()->isShown());
    QTest::keyClick(first, Qt::Key_Tab);
    EXPECT_TRUE(second->hasFocus());
    EXPECT_TRUE(second->focusRing()->isShown());
    EXPECT_FALSE(first->focusRing()->isShown());
    EXPECT_EQ(second->geometry(), geometry);

    // The ring is a sibling 2 pixels larger on every side, and it follows the control.
    QWidget* ring = nullptr;
    for (QWidget* w : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->isVisible() && w->geometry() == second->geometry().adjusted(-2, -2, 2, 2)) ring = w;
    }
    ASSERT_NE(ring, nullptr);
    EXPECT_TRUE(ring->testAttribute(Qt::WA_TransparentForMouseEvents));
    second->move(40, 100);
    EXPECT_EQ(ring->geometry(), second->geometry().adjusted(-2, -2, 2, 2));

    // Pressing keeps the ring: it is not part of the button's dimmed paint.
    second->setDown(true);
    EXPECT_TRUE(second->focusRing()->isShown());
}

}  // namespace
}  // namespace velmora

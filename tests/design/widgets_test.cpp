// The kit's controls as a user meets them: folding rows, keyboard focus, and texts that wrap in cards.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "app/design/buttons.h"
#include "app/design/cards.h"
#include "app/design/focus_ring.h"
#include "app/design/fold_row.h"
#include "app/design/notice.h"
#include "core/l10n/l10n.h"
#include "design/widget_helpers.h"

namespace velmora {
namespace {

using namespace testing_support;

QString a11yText(QWidget* w, QAccessible::Text which) {
    return QAccessible::queryAccessibleInterface(w)->text(which);
}

TEST(FoldRow, EveryClickOrKeyTogglesOnceAndAssistiveToolsHearTheState) {
    auto window = activeWindow({320, 200});
    auto* binding = new FoldBinding(false, window.get());
    auto* content = new QWidget;
    content->setFixedHeight(40);
    auto* column = new QVBoxLayout(window.get());
    auto* row = new FoldRow("Clipboard", "On", DS::ok, binding, content);
    column->addWidget(row);
    column->addStretch(1);
    ASSERT_TRUE(settle(window.get()));
    FoldHeader* header = row->header();
    EXPECT_EQ(a11yText(header, QAccessible::Name), "Clipboard, On");
    bool open = false;
    for (QPoint spot : {QPoint(1, 1), QPoint(150, 15), QPoint(header->width() - 2, header->height() - 2)}) {
        QTest::mouseClick(header, Qt::LeftButton, {}, spot);
        open = !open;
        EXPECT_EQ(binding->isExpanded(), open) << spot.x();
        EXPECT_EQ(content->isHidden(), !open) << spot.x();
        EXPECT_EQ(a11yText(header, QAccessible::Value),
                  QString::fromStdString(L10n::string(open ? "a11y.fold.expanded" : "a11y.fold.collapsed")));
    }
    // A press dragged off the header is no click.
    QTest::mousePress(header, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(header, Qt::LeftButton, {}, QPoint(5, -20));
    EXPECT_TRUE(binding->isExpanded());
    // Once the turn ends the chevron points down and the content sits right under the header.
    ASSERT_TRUE(settle(window.get()));
    EXPECT_EQ(header->chevronAngle(), 90);
    EXPECT_EQ(content->geometry().top(), header->geometry().bottom() + 1);
    // Space, and the press action of assistive tools, toggle it too.
    QTest::keyClick(header, Qt::Key_Space);
    EXPECT_FALSE(binding->isExpanded());
    QAccessible::queryAccessibleInterface(header)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(binding->isExpanded());
}

TEST(FocusRing, ShownOnlyAfterKeyboardFocusAndNeverMovesTheControl) {
    auto window = activeWindow();
    auto* first = new SecondaryButton("One", 28, false, window.get());
    auto* second = new SecondaryButton("Two", 28, false, window.get());
    second->move(20, 80);
    first->show();
    second->show();
    const QRect geometry = second->geometry();
    int clicks = 0;
    QObject::connect(second, &QAbstractButton::clicked, [&] { ++clicks; });

    QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(1, 1));  // the very corner takes clicks too
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(second->hasFocus());
    EXPECT_FALSE(second->focusRing()->isShown());
    first->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(first->focusRing()->isShown());
    QTest::keyClick(first, Qt::Key_Tab);
    EXPECT_TRUE(second->hasFocus());
    EXPECT_TRUE(second->focusRing()->isShown());
    EXPECT_FALSE(first->focusRing()->isShown());
    second->setDown(true);  // pressing dims the button, not the ring
    EXPECT_TRUE(second->focusRing()->isShown());
    EXPECT_EQ(second->geometry(), geometry);
}

// At a narrow width every wrapped text gets the lines it needs, and its card grows with it.
TEST(Cards, TakeTheHeightOfTheirWrappedRows) {
    auto window = activeWindow({240, 900});
    auto* column = new QVBoxLayout(window.get());
    const QString words = QStringLiteral(
        "Phone and computer on the same network. The phone is found by itself, and the link is encrypted.");
    const auto wrapping = [&] { return new TextBlock(words, QFont(), SystemColor::secondary, true); };
    auto* list = new ListCard;
    for (int i = 0; i < 2; ++i) {
        auto* row = new QWidget;
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(12, 8, 12, 8);
        line->addWidget(new TextBlock("Wi-Fi", QFont(), SystemColor::primary, false), 0, Qt::AlignTop);
        line->addWidget(wrapping(), 1, Qt::AlignTop);
        list->add(row);
        if (i == 0) list->add(new RowDivider);
    }
    auto* card = new Card;
    card->add(wrapping());
    auto* action = new RowButton("Again", RowButtonStyle::Kind::tint);
    column->addWidget(list);
    column->addWidget(card);
    column->addWidget(new Notice(Notice::Kind::warn, words, words, action));
    column->addStretch(1);
    ASSERT_TRUE(settle(window.get()));
    int checked = 0;
    EXPECT_EQ(cutTexts(window.get(), &checked), QStringList());
    EXPECT_EQ(checked, 5);
    for (auto* text : window->findChildren<TextBlock*>())
        EXPECT_TRUE(!text->wraps() || text->height() >= 3 * QFontMetrics(text->font()).height());
    EXPECT_LE(action->geometry().bottom(), action->parentWidget()->height());
}

// A name with no space in it (a file, a phone, an address) still shows whole in a narrow column.
TEST(TextBlock, AWordLongerThanTheLineBreaksInsteadOfBeingCut) {
    const QString word = "Phone_of_someone_with_a_very_long_name_and_no_spaces_in_it_at_all";
    TextBlock text("Paired with " + word, QFont(), SystemColor::primary, true);
    const QFontMetrics fm(text.font());
    const int width = fm.horizontalAdvance(word) / 3;
    text.resize(width, text.heightForWidth(width));
    EXPECT_GE(text.height(), 4 * fm.lineSpacing());  // "Paired with", then the word over three lines
    // The lines painted go down to the last one.
    QImage shown(text.size(), QImage::Format_ARGB32_Premultiplied);
    shown.fill(Qt::transparent);
    text.render(&shown, {}, {}, QWidget::DrawChildren);
    int lowest = -1;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (qAlpha(shown.pixel(x, y)) > 0) lowest = y;
    EXPECT_GT(lowest, 3 * fm.lineSpacing());
}

// A long one-line name elides: it must not widen its column (and the window), cutting the wrapped texts.
TEST(TextBlock, ALongOneLineTextElidesInsteadOfWideningItsColumn) {
    auto window = activeWindow({240, 300});
    auto* column = new QVBoxLayout(window.get());
    auto* name = new TextBlock(QString("Tablet-da-sala-").repeated(8), QFont(), SystemColor::primary, false);
    column->addWidget(name);
    column->addWidget(new TextBlock(QString("Phone and computer on the same network. ").repeated(3), QFont(),
                                    SystemColor::secondary, true));
    column->addStretch(1);
    ASSERT_TRUE(settle(window.get()));
    EXPECT_EQ(window->width(), 240);
    EXPECT_LE(name->geometry().right(), 240);
    EXPECT_EQ(cutTexts(window.get()), QStringList());
}

}  // namespace
}  // namespace velmora

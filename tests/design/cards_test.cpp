#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QImage>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/design/cards.h"
#include "app/design/glyphs.h"
#include "app/design/notice.h"
#include "app/design/text_block.h"
#include "core/l10n/l10n.h"
#include "design/widget_helpers.h"

namespace velmora {
namespace {

using namespace testing_support;

TEST(Glyphs, PhoneGlyphOutlineSitsInTheMiddleOfItsPlate) {
    PhoneGlyph glyph(PhoneGlyph::Tone::paired, 40);
    EXPECT_EQ(glyph.size(), QSize(40, 40));
    const QRectF outline = glyph.outlineRect();
    EXPECT_NEAR(outline.width(), 13.2, 1e-9);
    EXPECT_NEAR(outline.height(), 22.8, 1e-9);
    EXPECT_NEAR(outline.center().x(), 20, 1e-9);
    EXPECT_NEAR(outline.center().y(), 20, 1e-9);
}

TEST(Glyphs, DecorativeWidgetsAreHiddenFromAssistiveToolsButTextsAreNot) {
    auto window = activeWindow();
    auto* column = new QVBoxLayout(window.get());
    auto* glyph = new PhoneGlyph(PhoneGlyph::Tone::lost, 32);
    auto* dot = new StatusDot(DS::ok, 8);
    auto* divider = new RowDivider;
    auto* label = new SectionLabel(QStringLiteral("Devices"));
    for (QWidget* w : std::initializer_list<QWidget*>{glyph, dot, divider, label})
        column->addWidget(w);
    settle(window.get());
    ASSERT_TRUE(glyph->isVisible());
    EXPECT_TRUE(a11yHidden(glyph));
    EXPECT_TRUE(a11yHidden(dot));
    EXPECT_TRUE(a11yHidden(divider));
    EXPECT_FALSE(a11yHidden(label));
    EXPECT_EQ(dot->size(), QSize(8, 8));
}

TEST(Cards, SectionLabelIsAHeadingWithItsText) {
    SectionLabel label(QStringLiteral("Devices"));
    EXPECT_EQ(a11yRole(&label), QAccessible::Heading);
    EXPECT_EQ(a11yText(&label, QAccessible::Name), QStringLiteral("Devices"));
    EXPECT_EQ(label.font().pixelSize(), 11);
    EXPECT_EQ(label.contentsMargins().left(), 4);
    EXPECT_EQ(label.sizeHint().width(),
              QFontMetrics(label.font()).horizontalAdvance(QStringLiteral("Devices")) + 5);
}

TEST(Cards, ConnChipPadsItsText) {
    ConnChip chip(QStringLiteral("USB"));
    const QFontMetrics fm(chip.font());
    EXPECT_EQ(chip.font().pixelSize(), 10);
    EXPECT_EQ(chip.sizeHint(), QSize(fm.horizontalAdvance(QStringLiteral("USB")) + 1 + 8, fm.height() + 2));
}

TEST(Cards, CardPlateIsTheTintAtATenthOrThePrimaryColourFaintly) {
    const Card plain;
    const Card tinted(DS::accentTint);
    EXPECT_NEAR(plain.plate().resolve(Appearance::light).alphaF(), 0.06, 1e-4);
    EXPECT_EQ(plain.plate().resolve(Appearance::dark).rgb(), QColor(Qt::white).rgb());
    EXPECT_NEAR(tinted.plate().resolve(Appearance::light).alphaF(), 0.10 * 0.12, 1e-4);
    EXPECT_NEAR(tinted.plate().resolve(Appearance::dark).alphaF(), 0.17 * 0.12, 1e-4);
}

// A paragraph long enough to wrap onto a few lines at a panel's width, and onto dozens in a narrow column.
const QString kParagraph = QStringLiteral(
    "Phone and computer on the same network. The phone is found by itself, and the link is encrypted from "
    "end to end whatever the network.");

TextBlock* paragraph() {
    return new TextBlock(kParagraph, QFont(), SystemColor::secondary, true);
}

// A list row as panels build them: inset texts whose second column wraps.
QWidget* wrappingRow(TextBlock*& text) {
    auto* row = new QWidget;
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(12, 8, 12, 8);
    auto* title = new TextBlock(QStringLiteral("Wi-Fi"), QFont(), SystemColor::primary, false);
    line->addWidget(title, 0, Qt::AlignTop);
    text = paragraph();
    line->addWidget(text, 1, Qt::AlignTop);
    return row;
}

TEST(Cards, CardPadsListCardDoesNotAndBothGrowWithWrappedText) {
    auto window = activeWindow({320, 600});
    auto* column = new QVBoxLayout(window.get());
    TextBlock* first = nullptr;
    TextBlock* second = nullptr;
    TextBlock* inCard = paragraph();
    auto* list = new ListCard;
    list->add(wrappingRow(first));
    auto* divider = new RowDivider;
    list->add(divider);
    list->add(wrappingRow(second));
    auto* card = new Card;
    card->add(inCard);
    column->addWidget(list);
    column->addWidget(card);
    column->addStretch(1);
    settle(window.get());
    const int line = QFontMetrics(first->font()).height();
    for (TextBlock* text : {first, second, inCard}) {
        ASSERT_GE(text->heightForWidth(text->width()), 2 * line);
        // Every line shows: the text has the height it needs at its width, inside its card.
        EXPECT_GE(text->height(), text->heightForWidth(text->width()));
        const QWidget* holder = text == inCard ? static_cast<QWidget*>(card) : list;
        EXPECT_LE(text->mapTo(holder, QPoint(0, text->height())).y(), holder->height());
    }
    // The card pads its content by 12 and fills the offered width.
    EXPECT_EQ(inCard->geometry().topLeft(), QPoint(12, 12));
    EXPECT_EQ(card->height(), inCard->height() + 24);
    EXPECT_EQ(card->width(), list->width());
    // The list card adds nothing: rows and dividers span it, and it ends 8 (the row's own inset) under the
    // last text.
    EXPECT_EQ(first->parentWidget()->geometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(first->parentWidget()->width(), list->width());
    EXPECT_EQ(divider->height(), 1);
    EXPECT_EQ(divider->width(), list->width());
    EXPECT_EQ(list->height(), second->mapTo(list, QPoint(0, second->height())).y() + 8);
}

TEST(TextBlock, WrappedTextAsksNoHeightForWidthsItIsNotGiven) {
    // A page of wrapped texts in a scroll area, as a window shows it: the page is as tall as its texts at the
    // page's real width, not as tall as they would be in a narrow column.
    QScrollArea area;
    area.setWidgetResizable(true);
    area.setFrameShape(QFrame::NoFrame);
    area.resize(400, 300);
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    auto* text = paragraph();
    column->addWidget(text);
    column->addStretch(1);
    area.setWidget(page);
    area.show();
    (void)QTest::qWaitForWindowExposed(&area);
    settle(&area);
    EXPECT_EQ(page->height(), area.viewport()->height());
    EXPECT_FALSE(area.verticalScrollBar()->isVisible());

    // A window of wrapped texts can be made as low as its texts need at the window's width.
    auto window = activeWindow({400, 100});
    auto* windowColumn = new QVBoxLayout(window.get());
    auto* windowText = paragraph();
    windowColumn->addWidget(windowText);
    settle(window.get());
    const int needed = windowText->heightForWidth(400 - windowColumn->contentsMargins().left() -
                                                  windowColumn->contentsMargins().right());
    EXPECT_LE(window->minimumSize().height(),
              needed + windowColumn->contentsMargins().top() + windowColumn->contentsMargins().bottom());
    EXPECT_LT(window->minimumSize().height(), 4 * QFontMetrics(windowText->font()).height() + 30);
}

TEST(TextBlock, AWordLongerThanTheLineBreaksInsteadOfBeingCut) {
    // A name with no space in it (a file, a phone, an address) still shows whole in a narrow column.
    const QString word = QStringLiteral("Phone_of_someone_with_a_very_long_name_and_no_spaces_in_it_at_all");
    TextBlock text(QStringLiteral("Paired with ") + word, QFont(), SystemColor::primary, true);
    const QFontMetrics fm(text.font());
    const int width = fm.horizontalAdvance(word) / 3;
    const int lines = text.heightForWidth(width) / fm.lineSpacing();
    EXPECT_GE(lines, 4);  // "Paired with" and the word over at least three lines

    // The lines painted go down to the last one.
    text.resize(width, text.heightForWidth(width));
    QImage shown(text.size(), QImage::Format_ARGB32_Premultiplied);
    shown.fill(Qt::transparent);
    text.render(&shown);
    int lowest = -1;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (qAlpha(shown.pixel(x, y)) > 0) lowest = y;
    EXPECT_GT(lowest, 3 * fm.lineSpacing());

    // Ordinary text still breaks between words, and one line is one line high.
    TextBlock plain(QStringLiteral("Two words"), QFont(), SystemColor::primary, true);
    EXPECT_EQ(plain.heightForWidth(1000), fm.height());
    // A line break in the text starts a new line.
    TextBlock broken(QStringLiteral("First line\nSecond line"), QFont(), SystemColor::primary, true);
    EXPECT_EQ(broken.heightForWidth(1000), 2 * fm.lineSpacing());
}

TEST(Notice, EachKindNamesItsIconForAssistiveTools) {
    const std::pair<Notice::Kind, const char*> table[] = {{Notice::Kind::warn, "a11y.notice.warn"},
                                                          {Notice::Kind::err, "a11y.notice.err"},
                                                          {Notice::Kind::info, "a11y.notice.info"}};
    for (const auto& [kind, key] : table) {
        Notice notice(kind, QStringLiteral("Title"));
        EXPECT_EQ(a11yText(notice.icon(), QAccessible::Name), QString::fromStdString(L10n::string(key)));
    }
}

TEST(Notice, WithoutTextOnlyTheTitleShows) {
    Notice notice(Notice::Kind::info, QStringLiteral("Nothing to show"));
    EXPECT_EQ(notice.textBlock(), nullptr);
    EXPECT_EQ(notice.findChildren<TextBlock*>().size(), 1);
    EXPECT_EQ(a11yRole(&notice), QAccessible::Grouping);
    EXPECT_EQ(a11yText(&notice, QAccessible::Name), QStringLiteral("Nothing to show"));
}

TEST(Notice, LongTextsWrapAndTheIconStaysAtTheTop) {
    auto window = activeWindow({260, 400});
    auto* column = new QVBoxLayout(window.get());
    column->setContentsMargins(0, 0, 0, 0);
    const QString longText = QStringLiteral(
        "The phone refused the connection because the pairing was removed on its side; pair it again.");
    auto* notice = new Notice(Notice::Kind::warn, longText, longText);
    column->addWidget(notice);
    column->addStretch(1);
    settle(window.get());
    const int line = QFontMetrics(notice->titleBlock()->font()).height();
    EXPECT_GE(notice->titleBlock()->height(), 3 * line);
    EXPECT_GE(notice->textBlock()->height(), 3 * line);
    EXPECT_EQ(notice->icon()->geometry().top(), 10 + 1);
    EXPECT_EQ(notice->icon()->geometry().left(), 12);
    EXPECT_EQ(notice->icon()->width(), 16);
    EXPECT_EQ(notice->titleBlock()->geometry().left(), 12 + 16 + 10);
    // The texts wrap inside the plate's padding.
    EXPECT_LE(notice->titleBlock()->geometry().right(), notice->width() - 12);
    EXPECT_GE(notice->height(), notice->titleBlock()->height() + notice->textBlock()->height() + 2 + 20);
}

TEST(Notice, ActionsGoUnderTheTexts) {
    auto window = activeWindow({300, 300});
    auto* column = new QVBoxLayout(window.get());
    auto* action = new QWidget;
    action->setFixedSize(50, 20);
    auto* notice =
        new Notice(Notice::Kind::err, QStringLiteral("Failed"), QStringLiteral("Try again"), action);
    column->addWidget(notice);
    settle(window.get());
    EXPECT_EQ(action->parentWidget(), notice);
    EXPECT_EQ(action->geometry().top(), notice->textBlock()->geometry().bottom() + 1 + 2);
    EXPECT_EQ(action->geometry().left(), notice->textBlock()->geometry().left());
}

}  // namespace
}  // namespace velmora

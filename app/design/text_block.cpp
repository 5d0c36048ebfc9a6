#include "app/design/text_block.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "app/design/a11y.h"
#include "app/design/theme.h"

namespace velmora {

namespace {

// Below this a wrapping text would become a column of single letters, and a one-line text would elide to
// little more than its ellipsis.
constexpr int kMinTextWidth = 60;

// Lays `text` out in lines of `width`, breaking between words and, for a word longer than a whole line (a
// name or an address without spaces), inside it, so a wrapping text is never cut at its edge; a line break in
// the text starts a new line. Returns the height of the lines.
double layOut(QTextLayout& layout, QString text, double width) {
    layout.setText(text.replace(QLatin1Char('\n'), QChar::LineSeparator));
    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    double height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

}  // namespace

TextBlock::TextBlock(const QString& text, const QFont& font, const DynColor& color, bool wraps,
                     QWidget* parent)
    : QWidget(parent), color_(color), wraps_(wraps) {
    setFont(font);
    a11y::setRole(this, QAccessible::StaticText);
    QSizePolicy policy(QSizePolicy::Preferred, wraps ? QSizePolicy::Preferred : QSizePolicy::Fixed);
    policy.setHeightForWidth(wraps);
    setSizePolicy(policy);
    setText(text);
}

void TextBlock::setText(const QString& text) {
    text_ = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

void TextBlock::setColor(const DynColor& color) {
    color_ = color;
    update();
}

QSize TextBlock::sizeHint() const {
    const QFontMetrics fm(font());
    const QMargins m = contentsMargins();
    const int natural = fm.horizontalAdvance(text_) + 1;
    const int height =
        wraps_ ? heightForWidth(natural + m.left() + m.right()) : fm.height() + m.top() + m.bottom();
    return {natural + m.left() + m.right(), height};
}

// A narrow minimum either way: a long one-line text (a phone's name) elides rather than widening its
// container, which would cut every wrapped text beside or below it. One line as the minimum height: layouts
// ask heightForWidth for the height at the width they give, and a minimum taken at the narrowest width would
// make every container far too tall.
QSize TextBlock::minimumSizeHint() const {
    const QMargins m = contentsMargins();
    const int width = std::min(sizeHint().width(), kMinTextWidth + m.left() + m.right());
    return {width, QFontMetrics(font()).height() + m.top() + m.bottom()};
}

int TextBlock::heightForWidth(int width) const {
    const QMargins m = contentsMargins();
    const int inner = std::max(1, width - m.left() - m.right());
    QTextLayout layout;
    layout.setFont(font());
    const int used = static_cast<int>(std::ceil(layOut(layout, text_, inner)));
    return std::max(used, QFontMetrics(font()).height()) + m.top() + m.bottom();
}

void TextBlock::paintBackground(QPainter&) {}

void TextBlock::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintBackground(p);
    p.setFont(font());
    p.setPen(design::resolved(color_));
    const QRect area = contentsRect();
    if (wraps_) {
        QTextLayout layout;
        layout.setFont(font());
        layOut(layout, text_, area.width());
        layout.draw(&p, area.topLeft());
        return;
    }
    p.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(font()).elidedText(text_, Qt::ElideRight, area.width()));
}

}  // namespace velmora

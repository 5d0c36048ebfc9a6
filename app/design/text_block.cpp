#include "app/design/text_block.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "app/design/a11y.h"
#include "app/design/theme.h"

namespace velmora {

namespace {

// Below this a wrapping text would become a column of single letters.
constexpr int kMinWrapWidth = 60;

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

int TextBlock::textFlags() const {
    return wraps_ ? (Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap) : (Qt::AlignLeft | Qt::AlignVCenter);
}

QSize TextBlock::sizeHint() const {
    const QFontMetrics fm(font());
    const QMargins m = contentsMargins();
    const int natural = fm.horizontalAdvance(text_) + 1;
    const int height =
        wraps_ ? heightForWidth(natural + m.left() + m.right()) : fm.height() + m.top() + m.bottom();
    return {natural + m.left() + m.right(), height};
}

QSize TextBlock::minimumSizeHint() const {
    if (!wraps_) return sizeHint();
    // One line as the minimum height: layouts ask heightForWidth for the height at the width they give, and a
    // minimum taken at the narrowest width would make every container far too tall.
    const QMargins m = contentsMargins();
    const int width = std::min(sizeHint().width(), kMinWrapWidth + m.left() + m.right());
    return {width, QFontMetrics(font()).height() + m.top() + m.bottom()};
}

int TextBlock::heightForWidth(int width) const {
    const QMargins m = contentsMargins();
    const int inner = std::max(1, width - m.left() - m.right());
    const QRect used = QFontMetrics(font()).boundingRect(QRect(0, 0, inner, 100000), textFlags(), text_);
    return std::max(used.height(), QFontMetrics(font()).height()) + m.top() + m.bottom();
}

void TextBlock::paintBackground(QPainter&) {}

void TextBlock::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintBackground(p);
    p.setFont(font());
    p.setPen(design::resolved(color_));
    const QRect area = contentsRect();
    const QString shown =
        wraps_ ? text_ : QFontMetrics(font()).elidedText(text_, Qt::ElideRight, area.width());
    p.drawText(area, textFlags(), shown);
}

}  // namespace velmora

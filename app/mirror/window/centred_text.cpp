#include "app/mirror/window/centred_text.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace velmora {
namespace {

// Lines of `width`, broken between words and inside a word longer than a line; at most `maxLines` (0: all).
double layOut(QTextLayout& layout, const QString& text, double width, int maxLines) {
    QString t = text;
    layout.setText(t.replace(QLatin1Char('\n'), QChar::LineSeparator));
    QTextOption option(Qt::AlignHCenter | Qt::AlignTop);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    double height = 0;
    int lines = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        if (maxLines > 0 && lines == maxLines) {
            line.setLineWidth(0);  // past the limit: an empty line that is not drawn
            line.setPosition(QPointF(0, -1e6));
            continue;
        }
        line.setLeadingIncluded(true);
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
        ++lines;
    }
    layout.endLayout();
    return height;
}

}  // namespace

CentredText::CentredText(const QString& text, const QFont& font, const QColor& color, int maxLines,
                         QWidget* parent)
    : QWidget(parent), text_(text), color_(color), maxLines_(maxLines) {
    setFont(font);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAccessibleName(text);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CentredText::setText(const QString& text) {
    text_ = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

int CentredText::naturalWidth() const {
    int widest = 0;
    for (const QString& line : text_.split(QLatin1Char('\n')))
        widest = std::max(widest, static_cast<int>(std::ceil(QFontMetricsF(font()).horizontalAdvance(line))));
    return widest + 3;  // layouts at paint time may measure a little wider than the metrics
}

// At most as wide as the widget may be, and as tall as its lines are at that width.
QSize CentredText::sizeHint() const {
    const int width = std::min(naturalWidth(), maximumWidth());
    return {width, heightForWidth(width)};
}

QSize CentredText::minimumSizeHint() const {
    return {std::min(naturalWidth(), 60), QFontMetrics(font()).height()};
}

int CentredText::heightForWidth(int width) const {
    QTextLayout layout(QString(), font());
    return static_cast<int>(std::ceil(layOut(layout, text_, std::max(1, width), maxLines_)));
}

void CentredText::setHalo(bool on) {
    halo_ = on;
    update();
}

void CentredText::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QTextLayout layout(QString(), font(), this);
    const double h = layOut(layout, text_, width(), maxLines_);
    p.setClipRect(QRectF(0, 0, width(), std::ceil(h) + 1));  // the rim's lowest row included
    if (halo_) {
        p.setPen(QColor(0, 0, 0, 150));
        for (const QPointF offset : {QPointF(-1, 0), QPointF(1, 0), QPointF(0, -1), QPointF(0, 1)})
            layout.draw(&p, offset);
    }
    p.setPen(color_);
    layout.draw(&p, QPointF(0, 0));
}

}  // namespace velmora

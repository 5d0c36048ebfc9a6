#include "app/design/symbols.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace velmora {

namespace {

QPen roundPen(const QColor& color, double width) {
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// The exclamation mark inside a symbol of side `s` centred on `c`: a stem and a dot.
void exclamation(QPainterPath& path, QPointF c, double s, double stroke, double stemTop, double stemBottom,
                 double dotY) {
    const double half = stroke / 2;
    path.addRoundedRect(QRectF(c.x() - half, c.y() + stemTop * s, stroke, (stemBottom - stemTop) * s), half,
                        half);
    path.addEllipse(QPointF(c.x(), c.y() + dotY * s), stroke * 0.62, stroke * 0.62);
}

}  // namespace

void drawSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color, double pixelSize) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF c = box.center();
    const double s = pixelSize * 1.1;  // side of the symbol's square
    const double stroke = s * 0.105;   // a semibold stroke
    switch (symbol) {
        case Symbol::warningTriangle: {
            const double h = s * 0.9;
            const double top = c.y() - h / 2;
            QPainterPath outline(QPointF(c.x(), top + stroke / 2));
            outline.lineTo(c.x() + s / 2 - stroke / 2, top + h - stroke / 2);
            outline.lineTo(c.x() - s / 2 + stroke / 2, top + h - stroke / 2);
            outline.closeSubpath();
            painter.strokePath(outline, roundPen(color, stroke));
            // The mark sits in the triangle's wider lower part.
            QPainterPath mark;
            exclamation(mark, QPointF(c.x(), c.y() + 0.06 * s), s, stroke * 1.25, -0.17, 0.09, 0.25);
            painter.fillPath(mark, color);
            break;
        }
        case Symbol::errorCircle: {
            QPainterPath disc;
            disc.setFillRule(Qt::OddEvenFill);
            disc.addEllipse(c, s / 2, s / 2);
            exclamation(disc, c, s, stroke * 1.1, -0.27, 0.07, 0.23);
            painter.fillPath(disc, color);
            break;
        }
        case Symbol::infoCircle: {
            painter.setPen(roundPen(color, stroke));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(c, s / 2 - stroke / 2, s / 2 - stroke / 2);
            QPainterPath letter;
            letter.addEllipse(QPointF(c.x(), c.y() - 0.2 * s), stroke * 0.65, stroke * 0.65);
            letter.addRoundedRect(QRectF(c.x() - stroke / 2, c.y() - 0.06 * s, stroke, 0.3 * s), stroke / 2,
                                  stroke / 2);
            painter.fillPath(letter, color);
            break;
        }
        case Symbol::chevronRight: {
            const double h = pixelSize * 0.8;
            const double w = h * 0.5;
            QPainterPath chevron(QPointF(c.x() - w / 2, c.y() - h / 2));
            chevron.lineTo(c.x() + w / 2, c.y());
            chevron.lineTo(c.x() - w / 2, c.y() + h / 2);
            painter.strokePath(chevron, roundPen(color, pixelSize * 0.16));
            break;
        }
    }
    painter.restore();
}

}  // namespace velmora

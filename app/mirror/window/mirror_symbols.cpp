#include "app/mirror/window/mirror_symbols.h"

#include <QPainter>
#include <QPainterPath>

namespace velmora {
namespace {

// A filled disc or triangle with a mark cut out of it.
void drawCut(QPainter& p, const QPainterPath& shape, const QPainterPath& mark, const QColor& color) {
    p.fillPath(shape.subtracted(mark), color);
}

QPainterPath exclamation(QPointF centre, double s, double top, double bottom) {
    QPainterPath mark;
    const double w = s * 0.11;
    mark.addRoundedRect(QRectF(centre.x() - w / 2, centre.y() + top, w, bottom - top), w / 2, w / 2);
    mark.addEllipse(QPointF(centre.x(), centre.y() + bottom + s * 0.12), w * 0.62, w * 0.62);
    return mark;
}

}  // namespace

void drawMirrorSymbol(QPainter& p, MirrorSymbol symbol, const QRectF& box, const QColor& color,
                      double pixelSize) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const double s = pixelSize;
    const QPointF c = box.center();
    const double line = std::max(1.2, s * 0.09);
    QPen pen(color, line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (symbol) {
        case MirrorSymbol::back: {
            const double h = s * 0.36;
            p.drawPolyline(QPolygonF(
                {{c.x() + h * 0.45, c.y() - h}, {c.x() - h * 0.55, c.y()}, {c.x() + h * 0.45, c.y() + h}}));
            break;
        }
        case MirrorSymbol::home:
            p.drawEllipse(c, s * 0.36, s * 0.36);
            break;
        case MirrorSymbol::recents: {
            const double a = s * 0.5;
            const double off = s * 0.16;
            const QRectF front(c.x() - a / 2 - off / 2, c.y() - a / 2 + off / 2, a, a);
            p.drawRoundedRect(front, s * 0.1, s * 0.1);
            QPainterPath back;
            back.moveTo(front.left() + off, front.top());
            back.lineTo(front.left() + off, front.top() - off + s * 0.08);
            back.quadTo(front.left() + off, front.top() - off, front.left() + off + s * 0.08,
                        front.top() - off);
            back.lineTo(front.right() + off - s * 0.08, front.top() - off);
            back.quadTo(front.right() + off, front.top() - off, front.right() + off,
                        front.top() - off + s * 0.08);
            back.lineTo(front.right() + off, front.bottom() - off - s * 0.0);
            back.lineTo(front.right(), front.bottom() - off);
            p.drawPath(back);
            break;
        }
        case MirrorSymbol::bell: {
            QPainterPath bell;
            const double w = s * 0.34, top = c.y() - s * 0.36, base = c.y() + s * 0.22;
            bell.moveTo(c.x() - w - s * 0.06, base);
            bell.quadTo(c.x() - w, base - s * 0.08, c.x() - w, base - s * 0.2);
            bell.lineTo(c.x() - w, c.y() - s * 0.06);
            bell.cubicTo(c.x() - w, top, c.x() + w, top, c.x() + w, c.y() - s * 0.06);
            bell.lineTo(c.x() + w, base - s * 0.2);
            bell.quadTo(c.x() + w, base - s * 0.08, c.x() + w + s * 0.06, base);
            bell.closeSubpath();
            p.drawPath(bell);
            p.drawArc(QRectF(c.x() - s * 0.1, base - s * 0.06, s * 0.2, s * 0.2), 180 * 16, 180 * 16);
            break;
        }
        case MirrorSymbol::lock: {
            const QRectF body(c.x() - s * 0.3, c.y() - s * 0.06, s * 0.6, s * 0.44);
            p.setPen(Qt::NoPen);
            p.setBrush(color);
            p.drawRoundedRect(body, s * 0.08, s * 0.08);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            QPainterPath shackle;
            shackle.moveTo(c.x() - s * 0.19, body.top());
            shackle.lineTo(c.x() - s * 0.19, c.y() - s * 0.2);
            shackle.arcTo(QRectF(c.x() - s * 0.19, c.y() - s * 0.4, s * 0.38, s * 0.38), 180, -180);
            shackle.lineTo(c.x() + s * 0.19, body.top());
            p.drawPath(shackle);
            break;
        }
        case MirrorSymbol::warningFilled: {
            QPainterPath tri;
            const double r = s * 0.48;
            tri.moveTo(c.x(), c.y() - r);
            tri.lineTo(c.x() + r * 1.05, c.y() + r * 0.82);
            tri.lineTo(c.x() - r * 1.05, c.y() + r * 0.82);
            tri.closeSubpath();
            QPainterPath rounded;
            QPainterPathStroker stroker;
            stroker.setWidth(s * 0.12);
            stroker.setJoinStyle(Qt::RoundJoin);
            rounded = tri.united(stroker.createStroke(tri));
            drawCut(p, rounded, exclamation({c.x(), c.y() + s * 0.06}, s, -s * 0.24, s * 0.1), color);
            break;
        }
        case MirrorSymbol::checkFilled: {
            QPainterPath disc;
            disc.addEllipse(c, s * 0.48, s * 0.48);
            QPainterPath tick;
            tick.moveTo(c.x() - s * 0.2, c.y() + s * 0.01);
            tick.lineTo(c.x() - s * 0.05, c.y() + s * 0.16);
            tick.lineTo(c.x() + s * 0.22, c.y() - s * 0.14);
            QPainterPathStroker stroker;
            stroker.setWidth(s * 0.1);
            stroker.setCapStyle(Qt::RoundCap);
            stroker.setJoinStyle(Qt::RoundJoin);
            drawCut(p, disc, stroker.createStroke(tick), color);
            break;
        }
        case MirrorSymbol::errorFilled: {
            QPainterPath disc;
            disc.addEllipse(c, s * 0.48, s * 0.48);
            drawCut(p, disc, exclamation(c, s, -s * 0.26, s * 0.06), color);
            break;
        }
        case MirrorSymbol::hand: {
            // Four fingers over a palm, the thumb to the left.
            p.setPen(Qt::NoPen);
            p.setBrush(color);
            const double fw = s * 0.13, gap = s * 0.025;
            const double heights[] = {0.42, 0.52, 0.5, 0.4};
            double x = c.x() - 2 * fw - 1.5 * gap + s * 0.06;
            for (double h : heights) {
                p.drawRoundedRect(QRectF(x, c.y() - s * h + s * 0.05, fw, s * h), fw / 2, fw / 2);
                x += fw + gap;
            }
            const QRectF palm(c.x() - 2 * fw - 1.5 * gap + s * 0.06, c.y() - s * 0.05, 4 * fw + 3 * gap,
                              s * 0.42);
            p.drawRoundedRect(palm, s * 0.14, s * 0.14);
            QPainterPath thumb;
            thumb.moveTo(palm.left() + s * 0.04, palm.top() + s * 0.3);
            thumb.lineTo(palm.left() - s * 0.16, palm.top() + s * 0.02);
            QPainterPathStroker stroker;
            stroker.setWidth(fw);
            stroker.setCapStyle(Qt::RoundCap);
            p.drawPath(stroker.createStroke(thumb));
            break;
        }
        case MirrorSymbol::phone: {
            const QRectF outline(c.x() - s * 0.27, c.y() - s * 0.45, s * 0.54, s * 0.9);
            p.drawRoundedRect(outline, s * 0.1, s * 0.1);
            p.drawLine(QPointF(c.x() - s * 0.07, outline.top() + s * 0.1),
                       QPointF(c.x() + s * 0.07, outline.top() + s * 0.1));
            break;
        }
    }
    p.restore();
}

}  // namespace velmora

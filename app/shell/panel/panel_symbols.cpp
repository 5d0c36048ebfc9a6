#include "app/shell/panel/panel_symbols.h"

#include <QPainter>
#include <QPainterPath>

#include "app/design/a11y.h"
#include "app/design/theme.h"

namespace velmora {
namespace {

void questionmarkCircle(QPainter& p) {
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    QPainterPath hook;
    hook.moveTo(5.8, 6.2);
    hook.cubicTo(5.8, 4.6, 7.0, 4.0, 8.0, 4.0);
    hook.cubicTo(9.2, 4.0, 10.2, 4.8, 10.2, 6.0);
    hook.cubicTo(10.2, 7.6, 8.0, 7.8, 8.0, 9.6);
    p.drawPath(hook);
    p.drawPoint(QPointF(8.0, 11.8));
}

void stethoscope(QPainter& p) {
    QPainterPath tube;
    tube.moveTo(3.5, 1.5);
    tube.lineTo(3.5, 5.5);
    tube.cubicTo(3.5, 8.5, 8.5, 8.5, 8.5, 5.5);
    tube.lineTo(8.5, 1.5);
    tube.moveTo(6.0, 7.7);
    tube.lineTo(6.0, 10.5);
    tube.cubicTo(6.0, 14.0, 12.0, 14.0, 12.0, 10.5);
    tube.lineTo(12.0, 9.5);
    p.drawPath(tube);
    p.drawEllipse(QRectF(10.4, 6.3, 3.2, 3.2));
}

void rectangleOnRectangle(QPainter& p) {
    p.drawRoundedRect(QRectF(4.5, 5.5, 10, 8), 1.5, 1.5);
    QPainterPath back;
    back.moveTo(1.5, 10.0);
    back.lineTo(1.5, 4.0);
    back.quadTo(1.5, 2.5, 3.0, 2.5);
    back.lineTo(11.5, 2.5);
    p.drawPath(back);
}

void page(QPainter& p) {
    QPainterPath doc;
    doc.moveTo(3.5, 1.5);
    doc.lineTo(9.5, 1.5);
    doc.lineTo(12.5, 4.5);
    doc.lineTo(12.5, 14.5);
    doc.lineTo(3.5, 14.5);
    doc.closeSubpath();
    p.drawPath(doc);
}

void arrowUpDoc(QPainter& p) {
    page(p);
    p.drawLine(QPointF(8, 12), QPointF(8, 6));
    p.drawPolyline(QPolygonF{QPointF(5.7, 8.3), QPointF(8, 6), QPointF(10.3, 8.3)});
}

void docOnClipboard(QPainter& p) {
    p.drawRoundedRect(QRectF(2.5, 2.5, 11, 12), 1.5, 1.5);
    p.drawRoundedRect(QRectF(5.5, 1.0, 5, 3), 1, 1);
    p.drawLine(QPointF(5.5, 8), QPointF(10.5, 8));
    p.drawLine(QPointF(5.5, 11), QPointF(9.0, 11));
}

void bell(QPainter& p) {
    QPainterPath body;
    body.moveTo(2.5, 12.0);
    body.lineTo(13.5, 12.0);
    body.lineTo(12.0, 10.0);
    body.lineTo(12.0, 7.0);
    body.cubicTo(12.0, 4.0, 10.0, 2.5, 8.0, 2.5);
    body.cubicTo(6.0, 2.5, 4.0, 4.0, 4.0, 7.0);
    body.lineTo(4.0, 10.0);
    body.closeSubpath();
    p.drawPath(body);
    p.drawArc(QRectF(6.3, 12.2, 3.4, 2.8), 180 * 16, 180 * 16);
}

void stopCircle(QPainter& p) {
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.save();
    p.setBrush(p.pen().color());
    p.drawRoundedRect(QRectF(5.5, 5.5, 5, 5), 0.8, 0.8);
    p.restore();
}

void checkmarkCircle(QPainter& p) {
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.drawPolyline(QPolygonF{QPointF(5.0, 8.2), QPointF(7.2, 10.4), QPointF(11.0, 5.8)});
}

void xmark(QPainter& p) {
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

void magnifyingGlass(QPainter& p) {
    p.drawEllipse(QRectF(2.0, 2.0, 8.5, 8.5));
    p.drawLine(QPointF(9.3, 9.3), QPointF(14.0, 14.0));
}

void checkmark(QPainter& p) {
    p.drawPolyline(QPolygonF{QPointF(3.0, 8.5), QPointF(6.5, 12.0), QPointF(13.0, 4.0)});
}

void exclamationmark(QPainter& p) {
    p.drawLine(QPointF(8, 2.5), QPointF(8, 10));
    p.drawPoint(QPointF(8, 13.3));
}

void line3Horizontal(QPainter& p) {
    for (double y : {4.5, 8.0, 11.5})
        p.drawLine(QPointF(2.5, y), QPointF(13.5, y));
}

void chevron(QPainter& p, bool up) {
    const double tip = up ? 5.0 : 11.0, base = up ? 11.0 : 5.0;
    p.drawPolyline(QPolygonF{QPointF(3.0, base), QPointF(8.0, tip), QPointF(13.0, base)});
}

}  // namespace

void drawPanelSymbol(QPainter& painter, PanelSymbol symbol, const QRectF& box, const QColor& color) {
    const double side = std::min(box.width(), box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center().x() - side / 2, box.center().y() - side / 2);
    painter.scale(side / 16.0, side / 16.0);
    painter.setPen(QPen(color, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    switch (symbol) {
        case PanelSymbol::questionmarkCircle:
            questionmarkCircle(painter);
            break;
        case PanelSymbol::stethoscope:
            stethoscope(painter);
            break;
        case PanelSymbol::rectangleOnRectangle:
            rectangleOnRectangle(painter);
            break;
        case PanelSymbol::arrowUpDoc:
            arrowUpDoc(painter);
            break;
        case PanelSymbol::docOnClipboard:
            docOnClipboard(painter);
            break;
        case PanelSymbol::bell:
            bell(painter);
            break;
        case PanelSymbol::stopCircle:
            stopCircle(painter);
            break;
        case PanelSymbol::checkmarkCircle:
            checkmarkCircle(painter);
            break;
        case PanelSymbol::xmark:
            xmark(painter);
            break;
        case PanelSymbol::magnifyingGlass:
            magnifyingGlass(painter);
            break;
        case PanelSymbol::checkmark:
            checkmark(painter);
            break;
        case PanelSymbol::exclamationmark:
            exclamationmark(painter);
            break;
        case PanelSymbol::doc:
            page(painter);
            break;
        case PanelSymbol::line3Horizontal:
            line3Horizontal(painter);
            break;
        case PanelSymbol::chevronUp:
            chevron(painter, true);
            break;
        case PanelSymbol::chevronDown:
            chevron(painter, false);
            break;
    }
    painter.restore();
}

SymbolView::SymbolView(PanelSymbol symbol, int size, const DynColor& color, QWidget* parent)
    : QWidget(parent), symbol_(symbol), color_(color) {
    setFixedSize(size, size);
    a11y::hide(this);
}

void SymbolView::setSymbol(PanelSymbol symbol) {
    symbol_ = symbol;
    update();
}

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    drawPanelSymbol(p, symbol_, QRectF(rect()), design::resolved(color_));
}

}  // namespace velmora

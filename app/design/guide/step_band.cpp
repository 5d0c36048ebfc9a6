#include "app/design/guide/step_band.h"

#include <QPainter>
#include <QPainterPath>

#include "app/design/a11y.h"
#include "app/design/palette.h"
#include "app/design/theme.h"

namespace velmora::guide {

namespace {

constexpr int bandHeight = 86;
constexpr qreal bandRadius = 8;
constexpr qreal symbolSize = 30;

// The drawings use a 30-unit grid; `box` scales them.
void drawPhone(QPainter& p) {
    p.drawRoundedRect(QRectF(7.5, 1.5, 15, 27), 3.5, 3.5);
    p.drawLine(QPointF(12.5, 24.5), QPointF(17.5, 24.5));
}

void drawCable(QPainter& p) {
    p.drawRect(QRectF(10.5, 2, 9, 8));                   // the plug's metal tip
    p.drawRoundedRect(QRectF(8, 10, 14, 11), 2.5, 2.5);  // the grip
    p.drawLine(QPointF(15, 21), QPointF(15, 28.5));      // the cable
    p.fillRect(QRectF(12.5, 4.5, 1.8, 2.2), p.pen().color());
    p.fillRect(QRectF(15.7, 4.5, 1.8, 2.2), p.pen().color());
}

void drawCode(QPainter& p) {
    p.drawRoundedRect(QRectF(2, 2, 26, 26), 6, 6);
    QFont f = p.font();
    f.setPixelSize(10);
    f.setWeight(QFont::Bold);
    p.setFont(f);
    p.drawText(QRectF(2, 2, 26, 26), Qt::AlignCenter, QStringLiteral("123"));
}

}  // namespace

void drawStepSymbol(QPainter& p, StepSymbol symbol, const QRectF& box, const QColor& color) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(box.topLeft());
    p.scale(box.width() / symbolSize, box.height() / symbolSize);
    QPen pen(color, 2.0);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (symbol) {
        case StepSymbol::phone:
            drawPhone(p);
            break;
        case StepSymbol::cable:
            drawCable(p);
            break;
        case StepSymbol::code:
            drawCode(p);
            break;
    }
    p.restore();
}

StepBand::StepBand(StepSymbol symbol, QWidget* parent) : QWidget(parent), symbol_(symbol) {
    setFixedHeight(bandHeight);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    a11y::hide(this);
}

void StepBand::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath band;
    band.addRoundedRect(QRectF(rect()), bandRadius, bandRadius);
    p.fillPath(band, design::resolved(DS::accentTint));
    QRectF box(0, 0, symbolSize, symbolSize);
    box.moveCenter(QRectF(rect()).center());
    drawStepSymbol(p, symbol_, box, design::resolved(DS::accentText));
}

}  // namespace velmora::guide

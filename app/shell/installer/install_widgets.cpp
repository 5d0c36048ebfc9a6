#include "app/shell/installer/install_widgets.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include "app/design/symbols.h"
#include "app/design/theme.h"

namespace velmora {

InstallSymbol::InstallSymbol(Shape shape, const DynColor& color, int pixelSize, QWidget* parent)
    : QWidget(parent), shape_(shape), color_(color) {
    setFixedSize(pixelSize + 4, pixelSize + 4);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void InstallSymbol::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor color = design::resolved(color_);
    const QRectF box = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    const double w = box.width();
    QPen pen(color, std::max(1.4, w / 9), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (shape_) {
        case Shape::warning:
            drawSymbol(p, Symbol::warningTriangle, QRectF(rect()), color, height() - 4);
            return;
        case Shape::download: {  // an arrow into an open tray
            p.setPen(pen);
            const double cx = box.center().x();
            p.drawLine(QPointF(cx, box.top()), QPointF(cx, box.top() + w * 0.6));
            p.drawPolyline(QPolygonF{{cx - w * 0.22, box.top() + w * 0.38},
                                     {cx, box.top() + w * 0.6},
                                     {cx + w * 0.22, box.top() + w * 0.38}});
            p.drawPolyline(QPolygonF{{box.left(), box.top() + w * 0.55},
                                     {box.left(), box.bottom()},
                                     {box.right(), box.bottom()},
                                     {box.right(), box.top() + w * 0.55}});
            return;
        }
        case Shape::check: {  // a filled disc with the tick cut out in the window colour
            p.setPen(Qt::NoPen);
            p.setBrush(color);
            p.drawEllipse(box);
            pen.setColor(design::resolved(SystemColor::window));
            p.setPen(pen);
            p.drawPolyline(QPolygonF{{box.left() + w * 0.27, box.top() + w * 0.52},
                                     {box.left() + w * 0.44, box.top() + w * 0.68},
                                     {box.left() + w * 0.74, box.top() + w * 0.34}});
            return;
        }
        case Shape::lock: {  // a padlock: shackle over a rounded body
            p.setPen(pen);
            p.drawArc(QRectF(box.left() + w * 0.25, box.top(), w * 0.5, w * 0.6), 0, 180 * 16);
            p.drawLine(QPointF(box.left() + w * 0.25, box.top() + w * 0.3),
                       QPointF(box.left() + w * 0.25, box.top() + w * 0.45));
            p.drawLine(QPointF(box.right() - w * 0.25, box.top() + w * 0.3),
                       QPointF(box.right() - w * 0.25, box.top() + w * 0.45));
            p.setPen(Qt::NoPen);
            p.setBrush(color);
            p.drawRoundedRect(QRectF(box.left() + w * 0.1, box.top() + w * 0.45, w * 0.8, w * 0.55), 2, 2);
            return;
        }
    }
}

InstallSpinner::InstallSpinner(int size, QWidget* parent) : QWidget(parent), timer_(new QTimer(this)) {
    setFixedSize(size, size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % 12;
        update();
    });
    timer_->start(80);
}

void InstallSpinner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width(), height());
    QPen pen(design::resolved(SystemColor::secondary), side / 8, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    const QRectF ring = QRectF(0, 0, side, side).adjusted(side / 8, side / 8, -side / 8, -side / 8);
    p.drawArc(ring, -step_ * 30 * 16, 270 * 16);
}

InstallLink::InstallLink(const QString& text, int pixelSize, QWidget* parent)
    : StyledButton(
          text,
          [pixelSize](bool enabled, bool pressed) {
              ButtonLook l;
              l.radius = 4;
              l.fontSize = pixelSize;
              l.weight = QFont::Medium;
              l.minHeight = pixelSize + 8;
              l.horizontalPadding = 2;
              l.plate = fixedColor(0, 0, 0, 0);
              l.text = enabled ? DS::accentText : SystemColor::secondary;
              l.opacity = pressed ? 0.6 : 1;
              return l;
          },
          parent) {}

CommandText::CommandText(const QString& command, int pixelSize, QWidget* parent) : QLabel(command, parent) {
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(pixelSize);
    setFont(mono);
    setContentsMargins(6, 2, 6, 2);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setWordWrap(true);  // a narrow panel breaks it at a space; it is copied whole
}

void CommandText::paintEvent(QPaintEvent* event) {
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(design::resolved(SystemColor::primary.withOpacity(0.1)));
        p.drawRoundedRect(QRectF(rect()), 5, 5);
    }
    // The text follows the appearance too; the palette is set only when it changed, as setting it repaints.
    if (const QColor text = design::resolved(SystemColor::primary);
        palette().color(QPalette::WindowText) != text) {
        QPalette pal = palette();
        pal.setColor(QPalette::WindowText, text);
        setPalette(pal);
    }
    QLabel::paintEvent(event);
}

}  // namespace velmora

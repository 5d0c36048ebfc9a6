#include "app/shell/installer/install_widgets.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "app/design/a11y.h"
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

CommandText::CommandText(const QString& command, int pixelSize, QWidget* parent)
    : QWidget(parent), command_(command) {
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(pixelSize);
    setFont(mono);
    setContentsMargins(6, 2, 6, 2);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    a11y::setRole(this, QAccessible::StaticText);
    setAccessibleName(command);
}

QStringList CommandText::lines(int width) const {
    const QMargins m = contentsMargins();
    const double room = width - m.left() - m.right();
    const QFontMetricsF fm(font());
    QStringList lines;
    for (const QString& word : command_.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!lines.isEmpty() && fm.horizontalAdvance(lines.last() + QLatin1Char(' ') + word) <= room)
            lines.last() += QLatin1Char(' ') + word;
        else
            lines << word;
    }
    return lines;
}

QSize CommandText::sizeHint() const {
    const QMargins m = contentsMargins();
    const int width = static_cast<int>(std::ceil(QFontMetricsF(font()).horizontalAdvance(command_)));
    return {width + m.left() + m.right(), fontMetrics().height() + m.top() + m.bottom()};
}

QSize CommandText::minimumSizeHint() const {
    const QMargins m = contentsMargins();
    double longest = 0;
    for (const QString& word : command_.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        longest = std::max(longest, QFontMetricsF(font()).horizontalAdvance(word));
    return {static_cast<int>(std::ceil(longest)) + m.left() + m.right(),
            fontMetrics().height() + m.top() + m.bottom()};
}

int CommandText::heightForWidth(int width) const {
    const QMargins m = contentsMargins();
    return static_cast<int>(std::max<qsizetype>(1, lines(width).size())) * fontMetrics().height() + m.top() +
           m.bottom();
}

void CommandText::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(design::resolved(SystemColor::primary.withOpacity(0.1)));
    p.drawRoundedRect(QRectF(rect()), 5, 5);
    p.setPen(design::resolved(SystemColor::primary));
    p.setFont(font());
    const QRect area = contentsRect();
    const int lineHeight = fontMetrics().height();
    int y = area.top();
    for (const QString& line : lines(width())) {
        p.drawText(QRect(area.left(), y, area.width(), lineHeight), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += lineHeight;
    }
}

}  // namespace velmora

#include "app/design/brand.h"

#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

#include "app/design/brand_geometry.h"
#include "app/design/drawn_icon_engine.h"
#include "app/design/layer_effects.h"

namespace velmora::Brand {

namespace {

using BrandGeometry::ArrowHead;

// The icon's drawing grid; every part of the mark lies inside it.
const QRectF kGrid(0, 0, 1024, 1024);
// The tray glyph's grid.
const QRectF kGlyphGrid(0, 0, 22, 22);

// A drop shadow as the icon casts it: offset and blur in device pixels.
struct Shadow {
    QColor color;
    QPointF offset;
    double blur;
};

QPen roundPen(const QColor& color, double width) {
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// One drawing operation at `alpha`, casting `shadow` when there is one. Each operation casts its own shadow,
// so a later stroke shades an earlier one where they cross.
void drawOp(QPainter& p, double alpha, const Shadow* shadow, const std::function<void(QPainter&)>& draw) {
    if (!shadow) {
        p.save();
        p.setOpacity(p.opacity() * alpha);
        draw(p);
        p.restore();
        return;
    }
    // The blur is a radius-like extent; a Gaussian of half of it looks the same.
    layers::drawLayered(p, kGrid, alpha, shadow->color, shadow->offset, shadow->blur / 2, draw);
}

QPainterPath polyline(QPointF (*point)(int), int last) {
    QPainterPath path(point(0));
    for (int i = 1; i <= last; ++i)
        path.lineTo(point(i));
    return path;
}

QPainterPath triangle(const ArrowHead& head) {
    QPainterPath path(head.tip);
    path.lineTo(head.left);
    path.lineTo(head.right);
    path.closeSubpath();
    return path;
}

void drawMarkWithShadow(QPainter& p, const QColor& color, double weight, double alpha, bool hangers,
                        const Shadow* shadow) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);

    // The upper figure (hangers, cable, deck) is drawn 0.9 times smaller about (512, 404).
    p.save();
    p.translate(512, 404);
    p.scale(0.9, 0.9);
    p.translate(-512, -514);
    if (hangers) {
        QPainterPath path;
        const double hangerTops[5][2] = {
            {340, 491.92}, {426, 380.98}, {512, 344}, {598, 380.98}, {684, 491.92}};
        for (const auto& top : hangerTops) {
            path.moveTo(top[0], top[1]);
            path.lineTo(top[0], 700);
        }
        drawOp(p, 0.85 * alpha, shadow,
               [&](QPainter& q) { q.strokePath(path, roundPen(color, 26 * weight)); });
    }
    QPainterPath cable(QPointF(240, 700));
    cable.quadTo(512, -40, 784, 700);
    drawOp(p, alpha, shadow, [&](QPainter& q) { q.strokePath(cable, roundPen(color, 60 * weight)); });
    QPainterPath deck(QPointF(190, 700));
    deck.lineTo(834, 700);
    drawOp(p, alpha, shadow, [&](QPainter& q) { q.strokePath(deck, roundPen(color, 56 * weight)); });
    p.restore();

    // The arc arrow: arc and head composited as one shape, with one shadow.
    const double w = 50 * weight;
    const QPainterPath arc = polyline(&BrandGeometry::markArcPoint, BrandGeometry::kMarkArcLastPoint);
    const QPainterPath head = triangle(BrandGeometry::markHead(weight));
    const Shadow none{Qt::transparent, {}, 0};
    layers::drawLayered(p, kGrid, alpha, shadow ? shadow->color : none.color,
                        shadow ? shadow->offset : none.offset, shadow ? shadow->blur / 2 : 0,
                        [&](QPainter& q) {
                            q.strokePath(arc, roundPen(color, w));
                            q.setPen(roundPen(color, 0.3 * w));
                            q.setBrush(color);
                            q.drawPath(head);
                        });
    p.restore();
}

QPainterPath iconPlate() {
    QPainterPath plate;
    plate.addRoundedRect(QRectF(0, 0, 1024, 1024), 230, 230);
    return plate;
}

}  // namespace

void drawIcon(QPainter& painter, double size) {
    layers::drawLayered(painter, QRectF(0, 0, size, size), 1.0, Qt::transparent, {}, 0, [size](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 1024, size / 1024);
        const QPainterPath plate = iconPlate();

        QLinearGradient background(QPointF(80, 0), QPointF(944, 1024));
        background.setColorAt(0, QColor::fromRgbF(0.31f, 0.27f, 0.9f));
        background.setColorAt(1, QColor::fromRgbF(0.02f, 0.71f, 0.83f));
        p.fillPath(plate, background);

        QLinearGradient gloss(QPointF(512, 0), QPointF(512, 560));
        gloss.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.22f));
        gloss.setColorAt(1, QColor::fromRgbF(1, 1, 1, 0));
        p.fillRect(QRectF(0, 0, 1024, 560), gloss);

        // Light from above: the mark casts its shadow 14 device pixels straight down, blurred by 28.
        const Shadow shadow{QColor::fromRgbF(0, 0, 0.2f, 0.35f), QPointF(0, 14), 28};
        drawMarkWithShadow(p, Qt::white, 1, 1, true, &shadow);

        // Everything outside the rounded plate, the shadow included, is cleared with an antialiased edge.
        // (A clip path would leave jagged corners: QPainter does not antialias clipping.)
        QPainterPath outside;
        outside.setFillRule(Qt::OddEvenFill);
        outside.addRect(kGrid.adjusted(-512, -512, 512, 512));
        outside.addPath(plate);
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.fillPath(outside, Qt::black);
    });
}

void drawMark(QPainter& painter, const QColor& color, double weight, double alpha, bool hangers) {
    drawMarkWithShadow(painter, color, weight, alpha, hangers, nullptr);
}

void drawMenuGlyph(QPainter& painter, const QColor& color, double lineWidth, double alpha) {
    QPainterPath cableAndDeck(QPointF(3.5, 12.5));
    cableAndDeck.quadTo(11, -3.5, 18.5, 12.5);
    cableAndDeck.moveTo(2, 12.5);
    cableAndDeck.lineTo(20, 12.5);
    const QPainterPath arc = polyline(&BrandGeometry::glyphArcPoint, BrandGeometry::kGlyphArcLastPoint);
    const QPainterPath head = triangle(BrandGeometry::glyphHead());
    // One layer, so the arc's end and the head, which overlap, keep one opacity.
    layers::drawLayered(painter, kGlyphGrid, alpha, Qt::transparent, {}, 0, [&](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        p.strokePath(cableAndDeck, roundPen(color, lineWidth));
        p.strokePath(arc, roundPen(color, lineWidth));
        p.fillPath(head, color);
    });
}

QPainterPath menuGlyphOutline(double lineWidth) {
    QPainterPath cableAndDeck(QPointF(3.5, 12.5));
    cableAndDeck.quadTo(11, -3.5, 18.5, 12.5);
    cableAndDeck.moveTo(2, 12.5);
    cableAndDeck.lineTo(20, 12.5);
    QPainterPathStroker stroker;
    stroker.setWidth(lineWidth);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    QPainterPath outline = stroker.createStroke(cableAndDeck);
    outline = outline.united(
        stroker.createStroke(polyline(&BrandGeometry::glyphArcPoint, BrandGeometry::kGlyphArcLastPoint)));
    return outline.united(triangle(BrandGeometry::glyphHead())).simplified();
}

QIcon appIcon(double size) {
    const int side = qRound(size);
    return QIcon(new DrawnIconEngine([](QPainter& p, double s) { drawIcon(p, s); }, QSize(side, side)));
}

QImage appIconImage(int pixels) {
    QImage image = layers::transparentLayer(QSize(pixels, pixels));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawIcon(p, pixels);
    return image;
}

namespace {

// The glyph in `ink` with a `rim` of `rimWidth` around every stroke and the head, drawn as one layer.
void drawRimmedGlyph(QPainter& painter, const QColor& ink, const QColor& rim, double lineWidth,
                     double rimWidth) {
    const QPainterPath head = triangle(BrandGeometry::glyphHead());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    drawMenuGlyph(painter, rim, lineWidth + 2 * rimWidth, 1.0);
    painter.strokePath(head, roundPen(rim, 2 * rimWidth));
    drawMenuGlyph(painter, ink, lineWidth, 1.0);
    painter.restore();
}

void drawTrayGlyph(QPainter& p, bool connected, double side, double points, const TrayInk& ink) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 22, side / 22);
    const double w = BrandGeometry::menuGlyphLineWidth(points);
    // The rim is about one device pixel at the tray's usual 22 px, whatever the size drawn.
    const double rimWidth = 1.1;
    if (ink.rim && !connected) {
        drawRimmedGlyph(p, ink.ink, *ink.rim, w, rimWidth);
    } else if (ink.rim) {
        QPainterPath square;
        square.addRoundedRect(QRectF(1.5, 1.5, 19, 19), 5, 5);
        p.fillPath(square, *ink.rim);
        p.strokePath(square, QPen(ink.ink, rimWidth));
        p.translate(11, 11);
        p.scale(0.78, 0.78);
        p.translate(-11, -11.4);
        drawMenuGlyph(p, ink.ink, 1.15 * w, 1.0);
    } else if (!connected) {
        drawMenuGlyph(p, ink.ink, w, 0.6);
    } else {
        // Connected: a filled rounded square with the glyph cut out of it, scaled 0.78 about (11, 11.4).
        layers::drawLayered(p, kGlyphGrid, 1.0, Qt::transparent, {}, 0, [&](QPainter& q) {
            QPainterPath square;
            square.addRoundedRect(QRectF(1, 1, 20, 20), 5.5, 5.5);
            q.fillPath(square, ink.ink);
            q.setCompositionMode(QPainter::CompositionMode_DestinationOut);
            q.translate(11, 11);
            q.scale(0.78, 0.78);
            q.translate(-11, -11.4);
            drawMenuGlyph(q, Qt::black, 1.15 * w, 1.0);
        });
    }
    p.restore();
}

}  // namespace

QIcon menuBarIcon(bool connected, double points, const TrayInk& ink, const QString& themeName) {
    const int side = qRound(points);
    return QIcon(
        new DrawnIconEngine([=](QPainter& p, double s) { drawTrayGlyph(p, connected, s, points, ink); },
                            QSize(side, side), themeName));
}

QImage menuBarImage(bool connected, double points, const TrayInk& ink, double devicePixelRatio) {
    const int pixels = qRound(points * devicePixelRatio);
    QImage image = layers::transparentLayer(QSize(pixels, pixels));
    image.setDevicePixelRatio(devicePixelRatio);
    QPainter p(&image);
    drawTrayGlyph(p, connected, points, points, ink);
    return image;
}

QColor trayGlyphColor(Appearance panel) {
    return panel == Appearance::dark ? QColor(255, 255, 255) : QColor(0, 0, 0);
}

int writeIconset(const QString& folder) {
    QDir().mkpath(folder);
    const QDir dir(folder);
    int written = 0;
    for (const auto& entry : BrandGeometry::kIconset) {
        const QImage image = appIconImage(entry.pixels);
        const QString path = dir.filePath(QStringLiteral("icon_%1.png").arg(QLatin1String(entry.name)));
        if (image.save(path, "PNG")) ++written;
    }
    return written;
}

}  // namespace velmora::Brand

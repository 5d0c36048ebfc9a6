#include "app/design/tray_symbol.h"

#include <QDir>
#include <QFile>
#include <QPainterPath>
#include <QSaveFile>

#include "app/design/brand_geometry.h"

namespace velmora::TraySymbol {

namespace {

// A path's elements as SVG path data, in the 22-unit grid the icon's viewBox uses.
QByteArray pathData(const QPainterPath& path) {
    QByteArray d;
    auto number = [](double v) { return QByteArray::number(v, 'f', 3); };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            d += (d.isEmpty() ? "M" : "ZM") + number(e.x) + ' ' + number(e.y);
        } else if (e.isLineTo()) {
            d += 'L' + number(e.x) + ' ' + number(e.y);
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
            d += 'C' + number(e.x) + ' ' + number(e.y) + ' ' + number(c2.x) + ' ' + number(c2.y) + ' ' +
                 number(end.x) + ' ' + number(end.y);
            i += 2;
        }
    }
    return d + 'Z';
}

}  // namespace

Brand::TrayInk inkFor(const std::optional<QColor>& trayText) {
    if (trayText && trayText->isValid()) return {*trayText, std::nullopt};
    return {QColor(255, 255, 255), QColor(24, 24, 24)};
}

QString themeName(bool connected) {
    return connected ? QStringLiteral("velmora-connected-symbolic") : QStringLiteral("velmora-symbolic");
}

QByteArray svg(bool connected) {
    const double w = BrandGeometry::menuGlyphLineWidth(22);
    QPainterPath shape;
    if (!connected) {
        shape = Brand::menuGlyphOutline(w);
    } else {
        // The connected form cuts the glyph out of a rounded square, as the drawn tray image does.
        QPainterPath square;
        square.addRoundedRect(QRectF(1, 1, 20, 20), 5.5, 5.5);
        QTransform t;
        t.translate(11, 11);
        t.scale(0.78, 0.78);
        t.translate(-11, -11.4);
        shape = square.subtracted(t.map(Brand::menuGlyphOutline(1.15 * w)));
    }
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"22\" height=\"22\" viewBox=\"0 0 22 22\">\n"
           "<style id=\"current-color-scheme\">.ColorScheme-Text{color:#bebebe;}</style>\n"
           "<path class=\"ColorScheme-Text\" fill=\"currentColor\" fill-rule=\"evenodd\" d=\"" +
           pathData(shape) + "\"/>\n</svg>\n";
}

bool install(const QString& iconsRoot) {
    const QDir dir(iconsRoot + QStringLiteral("/hicolor/scalable/apps"));
    if (!QDir().mkpath(dir.path())) return false;
    bool ok = true;
    for (const bool connected : {false, true}) {
        const QString path = dir.filePath(themeName(connected) + QStringLiteral(".svg"));
        const QByteArray bytes = svg(connected);
        QFile existing(path);
        if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes) continue;
        QSaveFile out(path);
        ok = out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit() && ok;
    }
    return ok;
}

}  // namespace velmora::TraySymbol

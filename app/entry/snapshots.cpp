#include "app/entry/snapshots.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <memory>

#include "app/design/appearance.h"
#include "app/design/brand.h"
#include "app/design/theme.h"
#include "app/shell/pairing/pairing_model.h"
#include "app/shell/pairing/pairing_view.h"

namespace velmora::Snapshots {

bool png(QWidget* view, int width, const QString& file, bool dark) {
    AppearanceSource::instance().setOverride(dark ? Appearance::dark : Appearance::light);
    QWidget host;
    host.setAttribute(Qt::WA_DontShowOnScreen);
    QPalette palette = host.palette();
    palette.setColor(QPalette::Window, design::resolved(SystemColor::window));
    host.setPalette(palette);
    host.setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    host.setFixedWidth(width);
    host.show();  // not on screen: lays the content out
    layout->activate();
    const int fitting =
        layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : host.sizeHint().height();
    host.setFixedHeight(std::max(40, fitting));
    layout->activate();
    const bool saved = host.grab().save(file, "PNG");
    AppearanceSource::instance().setOverride(std::nullopt);
    return saved;
}

bool menuBarSheet(const QString& file) {
    QImage sheet(1668, 1116, QImage::Format_ARGB32_Premultiplied);
    if (sheet.isNull()) return false;
    sheet.fill(Qt::transparent);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);  // magnified pixels keep hard edges
    struct Band {
        double background, ink;
        bool connected;
    };
    const Band bands[] = {{0.93, 0.0, false}, {0.93, 0.0, true}, {0.16, 1.0, false}, {0.16, 1.0, true}};
    for (int k = 0; k < 4; ++k) {
        const int top = 12 + k * 276;
        painter.fillRect(0, top, 1668, 276,
                         QColor::fromRgbF(float(bands[k].background), float(bands[k].background),
                                          float(bands[k].background)));
        const QColor ink = QColor::fromRgbF(float(bands[k].ink), float(bands[k].ink), float(bands[k].ink));
        int column = 0;
        for (int scale = 1; scale <= 2; ++scale) {
            for (int points : {16, 18, 22}) {
                const int pixels = points * scale;
                const QImage glyph = Brand::menuBarImage(bands[k].connected, pixels, ink);
                if (glyph.isNull()) continue;
                const int side = pixels * 6 / scale;
                const QRect cell(12 + column * 276 + (264 - side) / 2, top + (276 - side) / 2, side, side);
                painter.drawImage(cell, glyph);
                ++column;
            }
        }
    }
    painter.end();
    return sheet.save(file, "PNG");
}

int run(const QString& folder) {
    if (!QDir().mkpath(folder)) return -1;
    const QDir dir(folder);
    int failed = 0;
    failed += menuBarSheet(dir.filePath("icone-barra-de-menus.png")) ? 0 : 1;
    for (const bool expired : {false, true}) {
        PairingModel model("Nimbo A5", "615027", 90, true);
        model.setLeft(expired ? 0 : 54);
        const char* name = expired ? "dialogo-pareamento-expirado.png" : "dialogo-pareamento.png";
        failed += png(new PairingView(model), 380, dir.filePath(name), expired) ? 0 : 1;
    }
    return failed;
}

}  // namespace velmora::Snapshots

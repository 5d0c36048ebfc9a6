#include "app/design/guide/key_plate.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

#include "app/design/palette.h"
#include "app/design/theme.h"

namespace velmora::guide {

namespace {

QFont capFont() {
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(12);
    mono.setWeight(QFont::DemiBold);
    return mono;
}

}  // namespace

KeyPlate::KeyPlate(const QString& text, QWidget* parent)
    : TextBlock(text, capFont(), SystemColor::primary, false, parent) {
    setContentsMargins(8, 2, 8, 2);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void KeyPlate::paintBackground(QPainter& painter) {
    QPainterPath plate;
    plate.addRoundedRect(QRectF(rect()), 5, 5);
    painter.fillPath(plate, design::resolved(DS::fill2));
}

}  // namespace velmora::guide

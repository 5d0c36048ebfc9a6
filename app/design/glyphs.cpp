#include "app/design/glyphs.h"

#include <QPainter>
#include <QPainterPath>

#include "app/design/a11y.h"
#include "app/design/theme.h"

namespace velmora {

PhoneGlyph::PhoneGlyph(Tone tone, int size, QWidget* parent) : QWidget(parent), tone_(tone) {
    setFixedSize(size, size);
    a11y::hide(this);
}

DynColor PhoneGlyph::plateColor(Tone tone) {
    return tone == Tone::paired ? DS::accentTint : DS::fill;
}

DynColor PhoneGlyph::outlineColor(Tone tone) {
    switch (tone) {
        case Tone::paired:
            return DS::accentText;
        case Tone::new_:
            return SystemColor::secondary;
        case Tone::lost:
            return SystemColor::secondary.withOpacity(0.6);
    }
    return SystemColor::secondary;
}

QRectF PhoneGlyph::outlineRect() const {
    const double w = width() * 0.33;
    const double h = height() * 0.57;
    return {(width() - w) / 2, (height() - h) / 2, w, h};
}

void PhoneGlyph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath plate;
    plate.addRoundedRect(QRectF(rect()), 8, 8);
    p.fillPath(plate, design::resolved(plateColor(tone_)));
    // Stroked on its outline, half the line inside and half outside.
    QPainterPath phone;
    phone.addRoundedRect(outlineRect(), 3, 3);
    p.strokePath(phone, QPen(design::resolved(outlineColor(tone_)), 1.5));
}

StatusDot::StatusDot(const DynColor& color, int size, QWidget* parent) : QWidget(parent), color_(color) {
    setFixedSize(size, size);
    a11y::hide(this);
}

void StatusDot::setColor(const DynColor& color) {
    color_ = color;
    update();
}

void StatusDot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(design::resolved(color_));
    p.drawEllipse(QRectF(rect()));
}

}  // namespace velmora

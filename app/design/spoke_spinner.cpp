#include "app/design/spoke_spinner.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "app/design/a11y.h"
#include "app/design/theme.h"

namespace velmora {

namespace {
constexpr int kSpokes = 12;
}

SpinnerLook SpinnerLook::onStage() {
    return {.color = fixedColor(1, 1, 1, 235 / 255.0),
            .tail = 70 / 235.0,
            .inner = 0.5,
            .outer = 1,
            .insetByPen = true,
            .penPerSide = 0.085};
}

SpinnerLook SpinnerLook::inText() {
    return {.color = SystemColor::primary, .tail = 0.25, .inner = 0.45, .outer = 0.9, .penPerSide = 1 / 9.0};
}

SpokeSpinner::SpokeSpinner(int side, SpinnerLook look, QWidget* parent) : QWidget(parent), look_(look) {
    setFixedSize(side, side);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    a11y::hide(this);
    turn_.setInterval(83);
    connect(&turn_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % kSpokes;
        update();
    });
}

void SpokeSpinner::setOpacity(double opacity) {
    opacity_ = opacity;
    update();
}

void SpokeSpinner::holdStill() {
    held_ = true;
    turn_.stop();
    step_ = 0;
    update();
}

void SpokeSpinner::showEvent(QShowEvent*) {
    if (!held_) turn_.start();
}

void SpokeSpinner::hideEvent(QHideEvent*) {
    turn_.stop();
}

void SpokeSpinner::paintEvent(QPaintEvent*) {
    if (opacity_ <= 0) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(opacity_);
    const double r = width() / 2.0;
    p.translate(r, r);
    const double pen = std::max(1.5, width() * look_.penPerSide);
    const double inner = r * look_.inner, outer = r * look_.outer - (look_.insetByPen ? pen : 0);
    const QColor color = design::resolved(look_.color);
    for (int i = 0; i < kSpokes; ++i) {
        const int age = (step_ - i + kSpokes) % kSpokes;  // 0: the leading spoke
        QColor spoke = color;
        spoke.setAlphaF(color.alphaF() * (1.0 - (1.0 - look_.tail) * age / double(kSpokes - 1)));
        p.setPen(QPen(spoke, pen, Qt::SolidLine, Qt::RoundCap));
        const double a = i * std::numbers::pi / 6;
        const QPointF along(std::sin(a), -std::cos(a));
        p.drawLine(along * inner, along * outer);
    }
}

}  // namespace velmora

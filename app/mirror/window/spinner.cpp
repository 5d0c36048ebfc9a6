#include "app/mirror/window/spinner.h"

#include <QPainter>
#include <QVariantAnimation>
#include <cmath>
#include <numbers>

#include "app/design/a11y.h"

namespace velmora {

Spinner::Spinner(bool regular, QWidget* parent) : QWidget(parent) {
    setFixedSize(regular ? QSize(32, 32) : QSize(16, 16));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    a11y::hide(this);
    turn_.setInterval(83);
    connect(&turn_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % 12;
        update();
    });
}

void Spinner::setOpacity(double opacity) {
    opacity_ = opacity;
    update();
}

void Spinner::showEvent(QShowEvent*) {
    turn_.start();
}

void Spinner::hideEvent(QHideEvent*) {
    turn_.stop();
}

void Spinner::paintEvent(QPaintEvent*) {
    if (opacity_ <= 0) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(opacity_);
    const double r = width() / 2.0;
    p.translate(r, r);
    const double w = std::max(1.5, r * 0.17);
    for (int i = 0; i < 12; ++i) {
        const int age = (step_ - i + 12) % 12;  // 0: the leading spoke
        p.setPen(QPen(QColor(255, 255, 255, 235 - age * 15), w, Qt::SolidLine, Qt::RoundCap));
        const double a = i * std::numbers::pi / 6;
        p.drawLine(QPointF(std::sin(a) * r * 0.5, -std::cos(a) * r * 0.5),
                   QPointF(std::sin(a) * (r - w), -std::cos(a) * (r - w)));
    }
}

DelayedSpinner::DelayedSpinner(Executor& executor, QWidget* parent) : Spinner(false, parent) {
    setOpacity(0);
    delay_ = executor.postAfter(kDelay, [this] {
        shown_ = true;
        auto* fade = new QVariantAnimation(this);
        fade->setStartValue(0.0);
        fade->setEndValue(1.0);
        fade->setDuration(kFadeMs);
        fade->setEasingCurve(QEasingCurve::InQuad);
        connect(fade, &QVariantAnimation::valueChanged, this,
                [this](const QVariant& v) { setOpacity(v.toDouble()); });
        fade->start(QAbstractAnimation::DeleteWhenStopped);
    });
}

DelayedSpinner::~DelayedSpinner() {
    delay_.cancel();
}

}  // namespace velmora

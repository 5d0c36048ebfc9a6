#include "app/shell/phones/activity_indicator.h"

#include <QPainter>
#include <QTimerEvent>

#include "app/design/a11y.h"
#include "app/design/palette.h"
#include "app/design/theme.h"

namespace velmora {

namespace {
constexpr int spokes = 12;
}

ActivityIndicator::ActivityIndicator(int size, QWidget* parent) : QWidget(parent), size_(size) {
    setFixedSize(size, size);
    a11y::hide(this);
}

void ActivityIndicator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(width() / 2.0, height() / 2.0);
    const double r = size_ / 2.0;
    QColor c = design::resolved(SystemColor::primary);
    for (int i = 0; i < spokes; ++i) {
        const int age = (step_ - i + spokes) % spokes;  // 0: the lead spoke
        QColor spoke = c;
        spoke.setAlphaF(c.alphaF() * (1.0 - 0.75 * age / double(spokes - 1)));
        p.setPen(QPen(spoke, std::max(1.5, size_ / 9.0), Qt::SolidLine, Qt::RoundCap));
        p.save();
        p.rotate(i * 360.0 / spokes);
        p.drawLine(QPointF(0, -r * 0.45), QPointF(0, -r * 0.9));
        p.restore();
    }
}

void ActivityIndicator::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_) return;
    step_ = (step_ + 1) % spokes;
    update();
}

void ActivityIndicator::showEvent(QShowEvent*) {
    if (!timer_) timer_ = startTimer(80);
}

void ActivityIndicator::hideEvent(QHideEvent*) {
    if (timer_) killTimer(timer_);
    timer_ = 0;
}

}  // namespace velmora

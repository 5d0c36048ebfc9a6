#include "app/mirror/window/fade.h"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QWidget>

namespace velmora {

QPointer<QAbstractAnimation> fade(QWidget* widget, bool in, std::function<void()> then) {
    auto* effect = new QGraphicsOpacityEffect(widget);
    effect->setOpacity(in ? 0 : 1);
    widget->setGraphicsEffect(effect);
    auto* animation = new QPropertyAnimation(effect, "opacity", widget);
    animation->setDuration(kFadeMs);
    animation->setStartValue(in ? 0.0 : 1.0);
    animation->setEndValue(in ? 1.0 : 0.0);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    QObject::connect(animation, &QAbstractAnimation::finished, widget, [widget, in, then = std::move(then)] {
        if (in) widget->setGraphicsEffect(nullptr);
        if (then) then();
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    return animation;
}

}  // namespace velmora

#include "app/mirror/window/delayed_spinner.h"

#include <QVariantAnimation>

namespace velmora {

DelayedSpinner::DelayedSpinner(Executor& executor, QWidget* parent)
    : SpokeSpinner(16, SpinnerLook::onStage(), parent) {
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

#include "app/design/outside_decoration.h"

#include <QEvent>
#include <QPainter>

#include "app/design/a11y.h"

namespace velmora {

OutsideDecoration::OutsideDecoration(QWidget* control, int margin, bool above, Paint paint)
    : QWidget(control->parentWidget()),
      control_(control),
      margin_(margin),
      above_(above),
      paint_(std::move(paint)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    a11y::hide(this);
    control->installEventFilter(this);
    follow();
}

void OutsideDecoration::setWanted(bool wanted) {
    wanted_ = wanted;
    follow();
}

bool OutsideDecoration::eventFilter(QObject* watched, QEvent* event) {
    if (!control_ || watched == this) return false;
    switch (event->type()) {
        case QEvent::ParentChange:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ZOrderChange:
            follow();
            break;
        default:
            break;
    }
    return false;
}

QWidget* OutsideDecoration::hostFor(const QRect& wanted) const {
    // `wanted` is in the control's parent's coordinates; climb while an ancestor would cut it.
    QWidget* host = control_->parentWidget();
    QRect rect = wanted;
    while (host && !host->rect().contains(rect) && host->parentWidget() && !host->isWindow()) {
        rect.translate(host->pos());
        host = host->parentWidget();
    }
    return host;
}

void OutsideDecoration::follow() {
    QWidget* parent = control_ ? control_->parentWidget() : nullptr;
    if (!parent) {
        hide();
        return;
    }
    const QRect wanted = control_->geometry().adjusted(-margin_, -margin_, margin_, margin_);
    QWidget* host = hostFor(wanted);
    if (host != parentWidget()) setParent(host);
    // Moves and resizes of the containers between host and control move the control within the host too.
    QWidget* branch = control_;
    for (QWidget* w = parent; w && w != host; w = w->parentWidget()) {
        w->removeEventFilter(this);
        w->installEventFilter(this);
        branch = w;
    }
    setGeometry(QRect(control_->mapTo(host, QPoint(0, 0)), control_->size())
                    .adjusted(-margin_, -margin_, margin_, margin_));
    if (above_) {
        raise();
    } else {
        stackUnder(branch);
    }
    setVisible(wanted_ && control_->isVisible());
    update();
}

void OutsideDecoration::paintEvent(QPaintEvent*) {
    if (!control_) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paint_(p, QRectF(margin_, margin_, control_->width(), control_->height()));
}

}  // namespace velmora

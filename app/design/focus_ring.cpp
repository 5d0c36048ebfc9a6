#include "app/design/focus_ring.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>

#include <QWidget>
#include "app/design/kit_style.h"

#include "app/design/outside_decoration.h"
#include "app/design/theme.h"

namespace velmora {

namespace {

constexpr int kRingWidth = 2;

bool isKeyboardReason(Qt::FocusReason reason) {
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
           reason == Qt::ShortcutFocusReason;
}

}  // namespace

KeyFocusRing::KeyFocusRing(QWidget* control, double radius) : QObject(control), control_(control) {
    ring_ = new OutsideDecoration(control, kRingWidth, true, [radius](QPainter& p, const QRectF& c) {
        // An inner border of the grown rectangle: the band covers exactly the 2 pixels around the control.
        const QRectF band =
            c.adjusted(-kRingWidth / 2.0, -kRingWidth / 2.0, kRingWidth / 2.0, kRingWidth / 2.0);
        const double r = radius + kRingWidth / 2.0;
        QPainterPath path;
        path.addRoundedRect(band, r, r);
        p.strokePath(path, QPen(design::resolved(DS::accent), kRingWidth));
    });
    ring_->setWanted(false);
    control->installEventFilter(this);
}

KeyFocusRing::~KeyFocusRing() {
    delete ring_.data();
}

bool KeyFocusRing::isShown() const {
    return ring_ && ring_->isWanted();
}

bool KeyFocusRing::eventFilter(QObject* watched, QEvent* event) {
    if (watched != control_ || !ring_) return false;
    if (event->type() == QEvent::FocusIn) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Coming back to the window keeps whatever the last focus change was.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            byKeyboard_ = isKeyboardReason(reason);
        }
        ring_->setWanted(byKeyboard_);
    } else if (event->type() == QEvent::FocusOut) {
        ring_->setWanted(false);
    }
    return false;
}

KeyFocusRing* keyFocusRing(QWidget* control, double radius) {
    return new KeyFocusRing(control, radius);
}

namespace {

// The kit's style with its focus frame left out.
class NoFocusFrameStyle : public QProxyStyle {
  public:
    NoFocusFrameStyle() : QProxyStyle(new KitStyle) {}
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_FrameFocusRect) return;
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

// Gives every widget added under the root the same style.
class NoFocusFrameSpreader : public QObject {
  public:
    NoFocusFrameSpreader(QWidget* root, QStyle* style) : QObject(root), style_(style) { apply(root); }

    bool eventFilter(QObject*, QEvent* event) override {
        // Polished, the child is whole; when it was merely added, its own constructor has not run yet.
        if (event->type() == QEvent::ChildPolished) {
            if (auto* w = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child())) apply(w);
        }
        return false;
    }

  private:
    void apply(QWidget* w) {
        if (w->style() != style_) w->setStyle(style_);
        w->installEventFilter(this);
        for (QWidget* child : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            apply(child);
    }

    QStyle* style_;
};

// The one style of every kit panel. Widgets do not own their style, and one may outlive its panel in a queue
// of deletions: the application keeps it. One for all panels, since panels are made again and again.
QStyle* noFocusFrameStyle() {
    static QPointer<NoFocusFrameStyle> style;
    if (!style) {
        style = new NoFocusFrameStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

}  // namespace

void noFocusRing(QWidget* root) {
    new NoFocusFrameSpreader(root, noFocusFrameStyle());
}

}  // namespace velmora

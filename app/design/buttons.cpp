#include "app/design/buttons.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "app/design/focus_ring.h"
#include "app/design/layer_effects.h"
#include "app/design/outside_decoration.h"
#include "app/design/theme.h"

namespace velmora {

namespace {

// Room around the button for its shadow (offset plus blur).
constexpr int kShadowMargin = 5;

QPainterPath platePath(const QRectF& r, double radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

void paintPlate(QPainter& p, const QRectF& r, const ButtonLook& look) {
    const QPainterPath plate = platePath(r, look.radius);
    if (look.gradient) {
        QLinearGradient g(r.topLeft(), r.bottomRight());
        g.setColorAt(0, design::resolved(DS::gradStart));
        g.setColorAt(1, design::resolved(DS::gradEnd));
        p.fillPath(plate, g);
    } else {
        p.fillPath(plate, design::resolved(look.plate));
    }
    if (look.borderWidth <= 0) return;
    const double half = look.borderWidth / 2;
    p.strokePath(platePath(r.adjusted(half, half, -half, -half), look.radius - half),
                 QPen(design::resolved(look.border), look.borderWidth));
}

}  // namespace

StyledButton::StyledButton(const QString& text, LookFor lookFor, QWidget* parent)
    : QAbstractButton(parent), lookFor_(std::move(lookFor)) {
    setText(text);
    setFocusPolicy(Qt::StrongFocus);
    const ButtonLook look = currentLook();
    ring_ = keyFocusRing(this, look.radius);
    shadow_ = new OutsideDecoration(this, kShadowMargin, false, [this](QPainter& p, const QRectF& plate) {
        const ButtonLook l = currentLook();
        const QColor color = design::resolved(l.shadow);
        // Offset and blur are points; the layers work in device pixels.
        const double dpr = std::sqrt(std::abs(p.deviceTransform().determinant()));
        layers::drawShadow(p, plate, l.opacity, color, l.shadowOffset * dpr, l.shadowRadius * dpr,
                           [&](QPainter& q) { paintPlate(q, plate, l); });
    });
    connect(this, &QAbstractButton::pressed, shadow_, qOverload<>(&QWidget::update));
    connect(this, &QAbstractButton::released, shadow_, qOverload<>(&QWidget::update));
    applyLook();
}

StyledButton::~StyledButton() {
    delete shadow_.data();
}

ButtonLook StyledButton::currentLook() const {
    return lookFor_(isEnabled(), isDown());
}

void StyledButton::applyLook() {
    const ButtonLook look = currentLook();
    setFont(design::font(look.fontSize, look.weight));
    setSizePolicy(look.fillsWidth ? QSizePolicy::Expanding : QSizePolicy::Fixed, QSizePolicy::Fixed);
    updateGeometry();
}

QSize StyledButton::sizeHint() const {
    const ButtonLook look = currentLook();
    const QFontMetricsF fm(font());
    const double width = std::ceil(fm.horizontalAdvance(text())) + 2 * look.horizontalPadding;
    const double height = std::max(look.minHeight, std::ceil(fm.height()));
    return {static_cast<int>(width), static_cast<int>(std::ceil(height))};
}

QSize StyledButton::minimumSizeHint() const {
    const QSize hint = sizeHint();
    return currentLook().fillsWidth ? QSize(0, hint.height()) : hint;
}

void StyledButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && shadow_) shadow_->update();
    QAbstractButton::changeEvent(event);
}

void StyledButton::paintEvent(QPaintEvent*) {
    const ButtonLook look = currentLook();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(look.opacity);
    paintPlate(p, plateRect(), look);
    p.setPen(design::resolved(look.text));
    p.setFont(font());
    const QRectF label = plateRect().adjusted(look.horizontalPadding, 0, -look.horizontalPadding, 0);
    const QString shown = QFontMetricsF(font()).elidedText(text(), Qt::ElideRight, label.width());
    p.drawText(label, Qt::AlignCenter, shown);
}

PrimaryButton::PrimaryButton(const QString& text, bool tall, QWidget* parent)
    : StyledButton(
          text,
          [tall](bool enabled, bool pressed) { return PrimaryButtonStyle::look(tall, enabled, pressed); },
          parent) {}

SecondaryButton::SecondaryButton(const QString& text, double height, bool fullWidth, QWidget* parent)
    : StyledButton(
          text,
          [height, fullWidth](bool enabled, bool pressed) {
              return SecondaryButtonStyle::look(height, fullWidth, enabled, pressed);
          },
          parent) {}

RowButton::RowButton(const QString& text, RowButtonStyle::Kind kind, QWidget* parent)
    : StyledButton(
          text, [kind](bool enabled, bool pressed) { return RowButtonStyle::look(kind, enabled, pressed); },
          parent) {}

}  // namespace velmora

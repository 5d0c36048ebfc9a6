#include "app/shell/prefs/prefs_controls.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "app/design/button_look.h"
#include "app/design/text_block.h"
#include "app/design/theme.h"

namespace velmora {

GlyphButton::GlyphButton(PanelSymbol symbol, QWidget* parent) : QAbstractButton(parent), symbol_(symbol) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void GlyphButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor color = design::resolved(SystemColor::primary);
    if (!isEnabled()) color.setAlphaF(color.alphaF() * 0.3);
    if (isDown()) color.setAlphaF(color.alphaF() * 0.6);
    QRectF box(0, 0, 11, 11);
    box.moveCenter(QRectF(rect()).center());
    drawPanelSymbol(painter, symbol_, box, color);
}

SmallSwitch::SmallSwitch(QWidget* parent) : QAbstractButton(parent) {
    setFixedSize(sizeHint());
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::clicked, this, [this] { emit flipRequested(!on_); });
}

void SmallSwitch::setOn(bool on) {
    if (on_ == on) return;
    on_ = on;
    update();
}

void SmallSwitch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) painter.setOpacity(0.45);
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const double radius = track.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(design::resolved(on_ ? DS::accent : DS::fill2));
    painter.drawRoundedRect(track, radius, radius);
    const double knob = track.height() - 3;
    const double x = on_ ? track.right() - 1.5 - knob : track.left() + 1.5;
    painter.setBrush(QColor(255, 255, 255));
    painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
    painter.drawEllipse(QRectF(x, track.top() + 1.5, knob, knob));
}

SwitchRow::SwitchRow(const QString& title, const QString& subtitle, QWidget* parent)
    : QWidget(parent),
      title_(new TextBlock(title, design::font(13, QFont::Normal), SystemColor::primary, true)),
      subtitle_(new TextBlock(subtitle, design::font(12, QFont::Normal), SystemColor::secondary, true)),
      subtitleText_(subtitle),
      switch_(new SmallSwitch) {
    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    texts->addWidget(title_);
    texts->addWidget(subtitle_);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 6, 10, 6);
    row->setSpacing(8);
    row->addLayout(texts, 1);
    row->addSpacing(6);
    row->addWidget(switch_, 0, Qt::AlignVCenter);
    setMinimumHeight(40);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    switch_->setAccessibleName(title);
    connect(switch_, &SmallSwitch::flipRequested, this, &SwitchRow::flipRequested);
}

void SwitchRow::setUnavailable(const std::optional<QString>& reason) {
    setEnabled(!reason);
    const QString shown = reason.value_or(subtitleText_);
    if (subtitle_->text() != shown) subtitle_->setText(shown);  // unchanged: no new layout pass
}

void SwitchRow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::EnabledChange) return;
    // A disabled row reads as one: its title fades like its switch; the subtitle, which may say why, stays.
    auto* fade = isEnabled() ? nullptr : new QGraphicsOpacityEffect(title_);
    if (fade) fade->setOpacity(0.45);
    title_->setGraphicsEffect(fade);
}

void SwitchRow::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void SwitchRow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
    if (isEnabled()) emit flipRequested(!switch_->isOn());
}

KitLineEdit::KitLineEdit(std::optional<DynColor> base, QWidget* parent) : QLineEdit(parent), base_(base) {
    setFont(design::font(12, QFont::Normal));
    setAttribute(Qt::WA_MacShowFocusRect, false);
}

void KitLineEdit::paintEvent(QPaintEvent* event) {
    // The appearance may have changed since the last paint: each paint resolves the colours again.
    QPalette colours = palette();
    colours.setColor(QPalette::Base, base_ ? design::resolved(*base_) : QColor(Qt::transparent));
    colours.setColor(QPalette::Text, design::resolved(SystemColor::primary));
    colours.setColor(QPalette::PlaceholderText, design::resolved(SystemColor::secondary));
    colours.setColor(QPalette::Window, design::resolved(SystemColor::window));
    if (colours != palette()) setPalette(colours);
    QLineEdit::paintEvent(event);
}

TextBlock* oneLineText(const QString& text, const QFont& font, const DynColor& color) {
    auto* block = new TextBlock(text, font, color, false);
    block->setMinimumWidth(1);  // asks for its whole width, needs next to none
    return block;
}

StyledButton* smallSecondaryButton(const QString& text, std::optional<DynColor> textColor) {
    return new StyledButton(text, [textColor](bool enabled, bool pressed) {
        ButtonLook look = SecondaryButtonStyle::look(24, false, enabled, pressed);
        look.fontSize = 12;
        if (textColor) look.text = *textColor;
        return look;
    });
}

StyledButton* linkButton(const QString& text, const DynColor& color) {
    auto* button = new StyledButton(text, [color](bool enabled, bool pressed) {
        ButtonLook look;
        look.plate = fixedColor(0, 0, 0, 0);
        look.fontSize = 12;
        look.text = color;
        look.opacity = !enabled ? 0.4 : pressed ? 0.7 : 1.0;
        return look;
    });
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

}  // namespace velmora

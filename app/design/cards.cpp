#include "app/design/cards.h"

#include <QPainter>
#include <QPainterPath>

#include "app/design/a11y.h"
#include "app/design/theme.h"

namespace velmora {

namespace {

QPainterPath rounded(const QRectF& r, double radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

// The vertical policy of a card. Its height follows its width once a row's text wraps, and a layout bounds
// a widget whose policy does not grow to its size hint, which counts every text as one line: a card that
// refused to grow would cut the lines under the first. Spare room in a column belongs to a stretch.
QSizePolicy::Policy tallAsItsContent() {
    return QSizePolicy::Preferred;
}

bool stretches(QWidget* w) {
    return w->sizePolicy().horizontalPolicy() & QSizePolicy::ExpandFlag;
}

}  // namespace

ListCard::ListCard(QWidget* parent) : QWidget(parent), layout_(new QVBoxLayout(this)) {
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    setSizePolicy(QSizePolicy::Preferred, tallAsItsContent());
}

void ListCard::add(QWidget* row) {
    layout_->addWidget(row, 0, stretches(row) ? Qt::Alignment() : Qt::AlignHCenter);
}

void ListCard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(rect());
    p.fillPath(rounded(r, 10), design::resolved(DS::card));
    constexpr double kBorder = 0.5;
    p.strokePath(rounded(r.adjusted(kBorder / 2, kBorder / 2, -kBorder / 2, -kBorder / 2), 10 - kBorder / 2),
                 QPen(design::resolved(DS::cardBorder), kBorder));
}

Card::Card(std::optional<DynColor> tint, QWidget* parent)
    : QWidget(parent), tint_(tint), layout_(new QVBoxLayout(this)) {
    layout_->setContentsMargins(12, 12, 12, 12);
    layout_->setSpacing(8);
    // As wide as offered, as tall as its content.
    setSizePolicy(QSizePolicy::Expanding, tallAsItsContent());
}

void Card::add(QWidget* content) {
    layout_->addWidget(content, 0, stretches(content) ? Qt::Alignment() : Qt::AlignLeft);
}

DynColor Card::plate() const {
    return tint_ ? tint_->withOpacity(0.12) : SystemColor::solidPrimary.withOpacity(0.06);
}

void Card::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(rounded(QRectF(rect()), 10), design::resolved(plate()));
}

RowDivider::RowDivider(QWidget* parent) : QWidget(parent) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    a11y::hide(this);
}

void RowDivider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Antialiased, the half-pixel band shows as a half-strength pixel row on a 1x screen.
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRectF(0, 0, width(), 0.5), design::resolved(DS::separator));
}

SectionLabel::SectionLabel(const QString& text, QWidget* parent)
    : TextBlock(text, design::font(11, QFont::DemiBold), SystemColor::secondary, false, parent) {
    setContentsMargins(4, 0, 0, 0);
    a11y::setRole(this, QAccessible::Heading);
}

ConnChip::ConnChip(const QString& text, QWidget* parent)
    : TextBlock(text, design::font(10, QFont::Bold), SystemColor::secondary, false, parent) {
    setContentsMargins(4, 1, 4, 1);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ConnChip::paintBackground(QPainter& p) {
    p.fillPath(rounded(QRectF(rect()), 4), design::resolved(DS::fill2));
}

}  // namespace velmora

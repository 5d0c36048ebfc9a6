#include "app/design/fold_row.h"

#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <algorithm>

#include "app/design/a11y.h"
#include "app/design/focus_ring.h"
#include "app/design/symbols.h"
#include "app/design/theme.h"
#include "core/l10n/l10n.h"

namespace velmora {

namespace {

constexpr int kPadding = 8;
constexpr int kSpacing = 8;
constexpr int kChevronWidth = 12;
constexpr int kDotSize = 6;
constexpr int kMinHeight = 30;
constexpr int kAnimationMs = 150;

QFont titleFont() {
    return design::font(13, QFont::Medium);
}
QFont summaryFont() {
    return design::font(11, QFont::Normal);
}

QString localised(const char* key) {
    return QString::fromStdString(L10n::string(key));
}

}  // namespace

FoldBinding::FoldBinding(bool expanded, QObject* parent) : QObject(parent), expanded_(expanded) {}

void FoldBinding::setExpanded(bool expanded) {
    if (expanded == expanded_) return;
    expanded_ = expanded;
    emit expandedChanged(expanded);
}

FoldHeader::FoldHeader(const QString& title, const std::optional<QString>& summary,
                       const std::optional<DynColor>& dot, QWidget* parent)
    : QWidget(parent), title_(title), summary_(summary), dot_(dot) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    ring_ = keyFocusRing(this, 6);
    a11y::setRole(this, QAccessible::Button);
    setAccessibleName(summary ? title + QStringLiteral(", ") + *summary : title);
    setAccessibleDescription(localised("a11y.fold.hint"));
}

void FoldHeader::setChevronAngle(double degrees) {
    chevronAngle_ = degrees;
    update();
}

void FoldHeader::setSummary(const std::optional<QString>& summary) {
    if (summary == summary_) return;
    summary_ = summary;
    setAccessibleName(summary ? title_ + QStringLiteral(", ") + *summary : title_);
    updateGeometry();
    update();
}

QSize FoldHeader::sizeHint() const {
    int width =
        kPadding + kChevronWidth + kSpacing + QFontMetrics(titleFont()).horizontalAdvance(title_) + kSpacing;
    if (dot_) width += kDotSize + (summary_ ? kSpacing : 0);
    if (summary_) width += QFontMetrics(summaryFont()).horizontalAdvance(*summary_);
    width += kPadding;
    const int content = std::max(QFontMetrics(titleFont()).height(), QFontMetrics(summaryFont()).height());
    return {width, std::max(kMinHeight, content)};
}

QSize FoldHeader::minimumSizeHint() const {
    return {kPadding * 2 + kChevronWidth + kSpacing * 2, sizeHint().height()};
}

void FoldHeader::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QWidget::enterEvent(event);
}

void FoldHeader::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QWidget::leaveEvent(event);
}

void FoldHeader::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    pressed_ = true;
    event->accept();
}

void FoldHeader::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) return QWidget::mouseReleaseEvent(event);
    pressed_ = false;
    event->accept();
    // A press dragged off the header and released elsewhere is no click.
    if (rect().contains(event->position().toPoint())) emit clicked();
}

void FoldHeader::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key != Qt::Key_Space && key != Qt::Key_Return && key != Qt::Key_Enter)
        return QWidget::keyPressEvent(event);
    event->accept();
    emit clicked();
}

void FoldHeader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(rect());
    if (hovered_) {
        QPainterPath plate;
        plate.addRoundedRect(r, 6, 6);
        p.fillPath(plate, design::resolved(DS::fill));
    }
    const QColor primary = design::resolved(SystemColor::primary);

    // The chevron turns about its own centre.
    const QRectF chevron(kPadding, 0, kChevronWidth, r.height());
    p.save();
    p.translate(chevron.center());
    p.rotate(chevronAngle_);
    p.translate(-chevron.center());
    p.setOpacity(0.6);
    drawSymbol(p, Symbol::chevronRight, chevron, primary, 10);
    p.restore();

    // The trailing items take their natural width; the title gets what is left, at least 8 pixels apart.
    double right = r.width() - kPadding;
    if (summary_) {
        const QFontMetricsF fm(summaryFont());
        const double room = std::max(0.0, right - chevron.right() - kSpacing * 2);
        const QString shown = fm.elidedText(*summary_, Qt::ElideRight, room);
        const double w = std::min(fm.horizontalAdvance(shown) + 1, room);
        p.setFont(summaryFont());
        p.setPen(design::resolved(SystemColor::secondary));
        p.drawText(QRectF(right - w, 0, w, r.height()), Qt::AlignRight | Qt::AlignVCenter, shown);
        right -= w + kSpacing;
    }
    if (dot_) {
        p.setPen(Qt::NoPen);
        p.setBrush(design::resolved(*dot_));
        p.drawEllipse(QRectF(right - kDotSize, (r.height() - kDotSize) / 2, kDotSize, kDotSize));
        right -= kDotSize + kSpacing;
    }
    if (!summary_ && !dot_) right -= kSpacing;
    const double left = chevron.right() + kSpacing;
    const QFontMetricsF fm(titleFont());
    p.setFont(titleFont());
    p.setPen(primary);
    p.drawText(QRectF(left, 0, std::max(0.0, right - left), r.height()), Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(title_, Qt::ElideRight, std::max(0.0, right - left)));
}

FoldRow::FoldRow(const QString& title, const std::optional<QString>& summary,
                 const std::optional<DynColor>& summaryDot, FoldBinding* binding, QWidget* content,
                 QWidget* parent)
    : QWidget(parent), content_(content), binding_(binding), turn_(new QVariantAnimation(this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    header_ = new FoldHeader(title, summary, summaryDot, this);
    column->addWidget(header_);
    if (content_) column->addWidget(content_);

    turn_->setDuration(kAnimationMs);
    turn_->setEasingCurve(QEasingCurve::OutQuad);
    connect(turn_, &QVariantAnimation::valueChanged, header_,
            [this](const QVariant& v) { header_->setChevronAngle(v.toDouble()); });

    connect(header_, &FoldHeader::clicked, this, [this] {
        if (binding_) binding_->toggle();
    });
    if (binding_) {
        connect(binding_, &FoldBinding::expandedChanged, this,
                [this](bool expanded) { apply(expanded, true); });
    }
    apply(binding_ && binding_->isExpanded(), false);
}

void FoldRow::apply(bool expanded, bool animated) {
    a11y::setValue(header_, localised(expanded ? "a11y.fold.expanded" : "a11y.fold.collapsed"));
    const double target = expanded ? 90 : 0;
    turn_->stop();
    if (animated) {
        turn_->setStartValue(header_->chevronAngle());
        turn_->setEndValue(target);
        turn_->start();
    } else {
        header_->setChevronAngle(target);
    }
    if (!content_) return;
    // Collapsed, the content is gone from the layout, as if it were not there at all.
    content_->setVisible(expanded);
    // A content that brings a graphics effect of its own keeps it and simply appears.
    if (!expanded || !animated || content_->graphicsEffect()) return;
    auto* fade = new QGraphicsOpacityEffect(content_);
    content_->setGraphicsEffect(fade);
    auto* appear = new QPropertyAnimation(fade, "opacity", fade);
    appear->setDuration(kAnimationMs);
    appear->setEasingCurve(QEasingCurve::OutQuad);
    appear->setStartValue(0.0);
    appear->setEndValue(1.0);
    // The effect renders the content through an offscreen copy; it goes once the content is fully shown.
    connect(appear, &QPropertyAnimation::finished, content_, [content = content_] {
        if (content) content->setGraphicsEffect(nullptr);
    });
    appear->start();
}

ExpanderText::ExpanderText(const QString& title, QWidget* content, FoldBinding* external, QWidget* parent)
    : QWidget(parent) {
    FoldBinding* binding = external ? external : new FoldBinding(false, this);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    row_ = new FoldRow(title, std::nullopt, std::nullopt, binding, content, this);
    column->addWidget(row_);
}

}  // namespace velmora

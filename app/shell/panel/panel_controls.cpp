#include "app/shell/panel/panel_controls.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QTimer>
#include <QVBoxLayout>

#include "app/design/a11y.h"
#include "app/design/focus_ring.h"
#include "app/design/spoke_spinner.h"
#include "app/design/theme.h"
#include "app/shell/logic/panel_sizes.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

constexpr int kFooterFont = 12, kFooterIcon = 12, kFooterGap = 4, kFooterPad = 6, kFooterMinHeight = 24;
constexpr int kTileIcon = 16, kTileGap = 5, kTilePad = 8, kTileMinHeight = 56;

// The hint after a title: fainter than secondary text.
const DynColor tertiary = SystemColor::secondary.withOpacity(0.6);

void fillRounded(QPainter& p, const QRectF& r, double radius, const QColor& color) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    p.fillPath(path, color);
}

}  // namespace

FooterButton::FooterButton(const QString& title, const std::optional<QString>& shortcut,
                           const std::optional<PanelSymbol>& icon, QWidget* parent)
    : QAbstractButton(parent), shortcut_(shortcut), icon_(icon) {
    setText(title);
    setAccessibleName(title);
    setFont(design::font(kFooterFont, QFont::Normal));
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    keyFocusRing(this, 5);
}

QSize FooterButton::sizeHint() const {
    const QFontMetrics fm(font());
    int w = 2 * kFooterPad + fm.horizontalAdvance(text());
    if (icon_) w += kFooterIcon + kFooterGap;
    if (shortcut_) w += kFooterGap + fm.horizontalAdvance(*shortcut_);
    return {w, std::max(kFooterMinHeight, fm.height())};
}

void FooterButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (hovered_) fillRounded(p, QRectF(rect()), 5, design::resolved(DS::fill));
    const QFontMetrics fm(font());
    double x = kFooterPad;
    if (icon_) {
        const QRectF box(x, (height() - kFooterIcon) / 2.0, kFooterIcon, kFooterIcon);
        drawPanelSymbol(p, *icon_, box, design::resolved(SystemColor::primary));
        x += kFooterIcon + kFooterGap;
    }
    p.setFont(font());
    p.setPen(design::resolved(SystemColor::primary));
    const int titleWidth = fm.horizontalAdvance(text());
    p.drawText(QRectF(x, 0, titleWidth, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
    if (!shortcut_) return;
    x += titleWidth + kFooterGap;
    p.setPen(design::resolved(tertiary));
    p.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignVCenter | Qt::AlignLeft, *shortcut_);
}

void FooterButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void FooterButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

ActionTile::ActionTile(const QString& title, PanelSymbol icon, QWidget* parent)
    : QAbstractButton(parent), icon_(icon) {
    setText(title);
    setAccessibleName(title);
    setFont(design::font(12, QFont::Medium));
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    keyFocusRing(this, 9);
}

QStringList ActionTile::titleLines(int width) const {
    QTextLayout layout(text(), font());
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() == 2) {  // a third line: the second one ends in an ellipsis instead
            const QString rest = lines.back() + text().mid(line.textStart());
            lines.back() = QFontMetrics(font()).elidedText(rest, Qt::ElideRight, width);
            break;
        }
        lines << text().mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

QSize ActionTile::sizeHint() const {
    const QFontMetrics fm(font());
    const int lines = std::max<qsizetype>(1, titleLines(std::max(40, width() - 8)).size());
    return {72, std::max(kTileMinHeight, 2 * kTilePad + kTileIcon + kTileGap + lines * fm.height())};
}

QSize ActionTile::minimumSizeHint() const {
    return {40, kTileMinHeight};
}

void ActionTile::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF plate = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
    fillRounded(p, plate, 9, design::resolved(hovered_ ? DS::fill2 : DS::card));
    p.setPen(QPen(design::resolved(DS::cardBorder), 0.5));
    p.drawRoundedRect(plate, 9, 9);

    const QFontMetrics fm(font());
    const QStringList lines = titleLines(width() - 8);
    const int block = kTileIcon + kTileGap + static_cast<int>(lines.size()) * fm.height();
    double y = (height() - block) / 2.0;
    drawPanelSymbol(p, icon_, QRectF((width() - kTileIcon) / 2.0, y, kTileIcon, kTileIcon),
                    design::resolved(SystemColor::primary));
    y += kTileIcon + kTileGap;
    p.setFont(font());
    p.setPen(design::resolved(SystemColor::primary));
    for (const QString& line : lines) {
        p.drawText(QRectF(0, y, width(), fm.height()), Qt::AlignHCenter | Qt::AlignVCenter, line);
        y += fm.height();
    }
}

void ActionTile::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ActionTile::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

LinkButton::LinkButton(const QString& title, QWidget* parent) : QAbstractButton(parent) {
    setText(title);
    setAccessibleName(title);
    setFont(design::font(12, QFont::Medium));
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    keyFocusRing(this, 4);
}

QSize LinkButton::sizeHint() const {
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(text()) + 2, fm.height() + 2};
}

void LinkButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    QColor color = design::resolved(DS::accentText);
    if (isDown()) color.setAlphaF(0.6);
    p.setPen(color);
    p.drawText(rect(), Qt::AlignCenter, text());
}

SearchAgainButton::SearchAgainButton(const QString& label, std::function<void()> restartBrowsing,
                                     QWidget* parent)
    : PrimaryButton(label, false, parent), label_(label), restart_(std::move(restartBrowsing)) {
    connect(this, &QAbstractButton::clicked, this, &SearchAgainButton::press);
}

void SearchAgainButton::press() {
    if (busy_) return;
    busy_ = true;
    setEnabled(false);
    setText(QString::fromStdString(L10n::string("common.searching")));
    if (restart_) restart_();
    // The spinner and the timer belong to the button: a panel closed while busy takes them along.
    SpinnerLook look = SpinnerLook::inText();
    look.color = currentLook().text;
    spinner_ = new SpokeSpinner(kSpinnerSide, look, this);
    spinner_->setOpacity(currentLook().opacity);
    placeSpinner();
    spinner_->show();
    QTimer::singleShot(busyMs, Qt::PreciseTimer, this, [this] {
        delete spinner_;
        spinner_ = nullptr;
        busy_ = false;
        setEnabled(true);
        setText(label_);
    });
}

// Left of the centred "searching" text.
void SearchAgainButton::placeSpinner() {
    if (!spinner_) return;
    const int textWidth = fontMetrics().horizontalAdvance(text());
    spinner_->move(width() / 2 - textWidth / 2 - kSpinnerSide - 6, (height() - kSpinnerSide) / 2);
}

void SearchAgainButton::resizeEvent(QResizeEvent* event) {
    PrimaryButton::resizeEvent(event);
    placeSpinner();
}

BatteryGlyph::BatteryGlyph(long long level, QWidget* parent) : QWidget(parent), level_(level) {
    setFixedSize(20, 10);
    a11y::hide(this);
}

void BatteryGlyph::setLevel(long long level) {
    if (level == level_) return;
    level_ = level;
    update();
}

void BatteryGlyph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(design::resolved(SystemColor::secondary.withOpacity(0.6)), 1));
    p.drawRoundedRect(QRectF(0.5, 0.5, 19, 9), 3, 3);
    const BatteryBar bar = batteryBar(level_);
    fillRounded(p, QRectF(2, 2, bar.width, 6), 1.5, design::resolved(bar.low ? DS::err : DS::ok));
}

QWidget* cancelBelow(QWidget* content, std::function<void()> cancel, QWidget* parent) {
    auto* column = new QWidget(parent);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(content);
    auto* button = new SecondaryButton(QString::fromStdString(L10n::string("common.cancel")), 32, true);
    QObject::connect(button, &QAbstractButton::clicked, column, [cancel = std::move(cancel)] {
        if (cancel) cancel();
    });
    layout->addWidget(button);
    return column;
}

}  // namespace velmora

#include "app/mirror/window/action_bar.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "app/design/focus_ring.h"
#include "app/design/theme.h"
#include "app/mirror/logic/mirror_hud.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

constexpr int kInset = 4;              // above and below the buttons
constexpr double kLabelMinWidth = 50;  // per button

QString localized(const char* key) {
    return QString::fromStdString(L10n::string(key));
}

}  // namespace

const std::array<MirrorActionBar::Item, 5> MirrorActionBar::kItems{{
    {"back", MirrorSymbol::back, "mirror.back", "mirror.back.help"},
    {"home", MirrorSymbol::home, "mirror.home", "mirror.home.help"},
    {"recents", MirrorSymbol::recents, "mirror.recents", "mirror.recents.help"},
    {"notifications", MirrorSymbol::bell, "mirror.notifications", "mirror.notifications.help"},
    {"lock", MirrorSymbol::lock, "mirror.lock", "mirror.lock.help"},
}};

MirrorBarButton::MirrorBarButton(MirrorSymbol symbol, const QString& title, const QString& help,
                                 QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol) {
    setText(title);
    setToolTip(help);
    setAccessibleName(title);
    setFocusPolicy(Qt::TabFocus);
    keyFocusRing(this, 7);
}

void MirrorBarButton::setShowLabel(bool show) {
    showLabel_ = show;
    update();
}

void MirrorBarButton::enterEvent(QEnterEvent*) {
    hover_ = true;
    update();
}

void MirrorBarButton::leaveEvent(QEvent*) {
    hover_ = false;
    update();
}

void MirrorBarButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(isEnabled() ? 1.0 : 0.38);
    const QRectF plate = QRectF(rect()).adjusted(2, 0, -2, 0);
    if (isEnabled() && (isDown() || hover_)) {
        QPainterPath path;
        path.addRoundedRect(plate, 7, 7);
        p.fillPath(path, design::resolved(isDown() ? DS::fill2 : DS::fill));
    }
    const QFont title = design::font(10, QFont::Normal);
    const int titleHeight = showLabel_ ? QFontMetrics(title).height() : 0;
    const int spacing = showLabel_ ? 3 : 0;
    const double top = (height() - 18 - spacing - titleHeight) / 2.0;
    drawMirrorSymbol(p, symbol_, QRectF(0, top, width(), 18), design::resolved(SystemColor::primary),
                     symbolSize());
    if (!showLabel_) return;
    // One line: the title shrinks to 0.85 of its size before it is cut short.
    QFont f = title;
    const int room = width() - 6;
    if (QFontMetrics(f).horizontalAdvance(text()) > room) f.setPixelSize(9);
    p.setFont(f);
    p.setPen(design::resolved(SystemColor::secondary));
    const QString shown = QFontMetrics(f).elidedText(text(), Qt::ElideRight, room);
    p.drawText(QRectF(0, top + 18 + spacing, width(), titleHeight), Qt::AlignHCenter | Qt::AlignVCenter,
               shown);
}

MirrorActionBar::MirrorActionBar(MirrorHUD& hud, QWidget* parent) : QWidget(parent), hud_(hud) {
    setAccessibleName(localized("mirror.bar.a11y"));
    for (std::size_t i = 0; i < kItems.size(); ++i) {
        const Item& item = kItems[i];
        auto* b = new MirrorBarButton(item.symbol, localized(item.titleKey), localized(item.helpKey), this);
        const std::string id = item.id;
        connect(b, &QAbstractButton::clicked, this, [this, id] {
            if (hud_.onAction) hud_.onAction(id);
        });
        buttons_[i] = b;
    }
    subscription_ = hud_.subscribe([this] { refresh(); });
    refresh();
}

MirrorActionBar::~MirrorActionBar() {
    hud_.unsubscribe(subscription_);
}

void MirrorActionBar::refresh() {
    using enum MirrorPhase::Kind;
    const auto kind = hud_.phase().kind();
    const bool enabled = kind != reconnecting && kind != unresponsive && kind != restored;
    for (auto* b : buttons_)
        b->setEnabled(enabled);
}

void MirrorActionBar::resizeEvent(QResizeEvent*) {
    const int room = std::max(0, width() - kStatusRoom);  // the status pill sits at the trailing end
    const bool labels = room / 5.0 >= kLabelMinWidth;
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        const int left = static_cast<int>(room * static_cast<double>(i) / 5);
        const int right = static_cast<int>(room * static_cast<double>(i + 1) / 5);
        buttons_[i]->setGeometry(left, kInset, right - left, height() - 2 * kInset);
        buttons_[i]->setShowLabel(labels);
    }
}

void MirrorActionBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), design::resolved(DS::winbar));
    p.setPen(QPen(design::resolved(DS::separator), 0));  // a hairline: one device pixel along the top
    p.drawLine(QPointF(0, 0.5), QPointF(width(), 0.5));
}

}  // namespace velmora

#include "app/mirror/window/status_pill.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

#include "app/design/a11y.h"
#include "app/design/palette.h"
#include "app/mirror/logic/mirror_hud.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

constexpr int kDot = 7, kGap = 5, kLeft = 8, kRight = 10;

QFont pillFont() {
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPixelSize(11);
    return f;
}

}  // namespace

MirrorStatusPill::MirrorStatusPill(MirrorHUD& hud, QWidget* parent) : QWidget(parent), hud_(hud) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFont(pillFont());
    setAccessibleName(QString::fromStdString(L10n::string("mirror.status.a11y")));
    subscription_ = hud_.subscribe([this] { refresh(); });
    refresh();
}

MirrorStatusPill::~MirrorStatusPill() {
    hud_.unsubscribe(subscription_);
}

QString MirrorStatusPill::text() const {
    const auto latency = hud_.latencyMs();
    if (hud_.quality() == MirrorLinkQuality::lost || !latency)
        return QString::fromStdString(L10n::string("mirror.status.empty"));
    return QString::fromStdString(L10n::format("mirror.status.ms", {*latency}));
}

// The overlay is dark whatever the desktop's appearance, so the dark values apply.
QColor MirrorStatusPill::dotColor(MirrorLinkQuality quality) {
    switch (quality) {
        case MirrorLinkQuality::good:
            return DS::ok.resolve(Appearance::dark);
        case MirrorLinkQuality::slow:
            return DS::warn.resolve(Appearance::dark);
        case MirrorLinkQuality::lost:
            return DS::err.resolve(Appearance::dark);
        case MirrorLinkQuality::unknown:
            break;
    }
    return SystemColor::secondary.withOpacity(0.55).resolve(Appearance::dark);
}

void MirrorStatusPill::refresh() {
    a11y::setValue(this, text());
    const QSize wanted = sizeHint();
    if (size() != wanted) {
        const int right = geometry().right();
        setGeometry(right - wanted.width() + 1, y(), wanted.width(), wanted.height());  // grows leftwards
    }
    update();
}

QSize MirrorStatusPill::sizeHint() const {
    return {kLeft + kDot + kGap + QFontMetrics(font()).horizontalAdvance(text()) + kRight, kHeight};
}

void MirrorStatusPill::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(rect()), height() / 2.0, height() / 2.0);
    p.fillPath(capsule,
               QColor(0, 0, 0, 190));  // readable over any picture, the phone's own status bar included
    p.setPen(Qt::NoPen);
    p.setBrush(dotColor(hud_.quality()));
    p.drawEllipse(QRectF(kLeft, (height() - kDot) / 2.0, kDot, kDot));
    p.setPen(SystemColor::primary.resolve(Appearance::dark));
    p.drawText(QRect(kLeft + kDot + kGap, 0, width() - kLeft - kDot - kGap, height()),
               Qt::AlignLeft | Qt::AlignVCenter, text());
}

}  // namespace velmora

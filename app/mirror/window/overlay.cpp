#include "app/mirror/window/overlay.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "app/design/palette.h"
#include "app/design/theme.h"
#include "app/mirror/logic/mirror_hud.h"
#include "app/mirror/window/centred_text.h"
#include "app/mirror/window/fade.h"
#include "app/mirror/window/mirror_symbols.h"
#include "app/mirror/window/mirror_view.h"
#include "app/mirror/window/state_layer.h"
#include "app/mirror/window/status_pill.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

constexpr int kSide = 10;
constexpr int kHand = 11;  // the hand symbol's size
constexpr int kHandGap = 6;

const QColor kAmber = QColor::fromRgbF(0.96f, 0.71f, 0.24f);
const QColor kDarkBrown = QColor::fromRgbF(0.1f, 0.07f, 0.0f);

}  // namespace

MirrorStrip::MirrorStrip(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const bool paused = kind == Kind::paused;
    const QFont font = design::font(12, paused ? QFont::DemiBold : QFont::Medium);
    label_ = new CentredText(QString(), font, paused ? kDarkBrown : QColor(Qt::white), paused ? 2 : 0, this);
    if (paused) setText(QString::fromStdString(L10n::string("mirror.notice.control_paused")));
}

void MirrorStrip::setText(const QString& text) {
    label_->setText(text);
    setAccessibleName(text);
    resizeEvent(nullptr);
}

int MirrorStrip::heightForWidth(int width) const {
    const int vertical = kind_ == Kind::paused ? 6 : 7;
    return label_->heightForWidth(
               std::max(1, width - 2 * kSide - (kind_ == Kind::paused ? kHand + kHandGap : 0))) +
           2 * vertical;
}

void MirrorStrip::resizeEvent(QResizeEvent*) {
    const int vertical = kind_ == Kind::paused ? 6 : 7;
    const int symbol = kind_ == Kind::paused ? kHand + kHandGap : 0;
    const int room = std::max(1, width() - 2 * kSide - symbol);
    const int textWidth = std::min(label_->naturalWidth(), room);
    const int left = (width() - textWidth - symbol) / 2 + symbol;  // the row is centred as a whole
    label_->setGeometry(left, vertical, textWidth, label_->heightForWidth(textWidth));
}

void MirrorStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The top strip follows the picture's rounded corners.
    QPainterPath shape;
    if (y() == 0) {
        shape.addRoundedRect(QRectF(0, 0, width(), height() + 2 * MirrorView::kCornerRadius),
                             MirrorView::kCornerRadius, MirrorView::kCornerRadius);
        p.setClipPath(shape);
    }
    if (kind_ == Kind::notice) {
        // Nearly opaque: the phone's status bar icons beneath must not show through the text.
        p.fillRect(rect(), QColor(0, 0, 0, 242));
        return;
    }
    p.fillRect(rect(), kAmber);
    const QRect text = label_->geometry();
    const QRectF hand(text.left() - kHandGap - kHand, text.center().y() - kHand / 2.0 - 1, kHand, kHand + 2);
    drawMirrorSymbol(p, MirrorSymbol::hand, hand, kDarkBrown, kHand + 1);
}

MirrorOverlay::MirrorOverlay(MirrorHUD& hud, Executor& executor, QWidget* parent)
    : QWidget(parent),
      hud_(hud),
      state_(new MirrorStateLayer(hud, executor, this)),
      paused_(new MirrorStrip(MirrorStrip::Kind::paused, this)),
      notice_(new MirrorStrip(MirrorStrip::Kind::notice, this)),
      pill_(new MirrorStatusPill(hud, this)) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);  // blocks nothing until the window says so
    subscription_ = hud_.subscribe([this] { refresh(); });
    refresh();
}

MirrorOverlay::~MirrorOverlay() {
    hud_.unsubscribe(subscription_);
}

void MirrorOverlay::setBlocksMouse(bool blocks) {
    blocks_ = blocks;
    setAttribute(Qt::WA_TransparentForMouseEvents, !blocks);
}

void MirrorOverlay::refresh() {
    // A strip that comes fades in; one that goes leaves at once.
    for (const auto& [strip, wanted] :
         {std::pair{paused_, hud_.controlPaused()}, {notice_, hud_.notice().has_value()}}) {
        if (wanted && strip->isHidden()) fade(strip, true);
        strip->setVisible(wanted);
    }
    if (hud_.notice()) notice_->setText(QString::fromStdString(*hud_.notice()));
    place();
}

void MirrorOverlay::resizeEvent(QResizeEvent*) {
    place();
}

void MirrorOverlay::place() {
    state_->setGeometry(rect());
    int top = 0;
    for (MirrorStrip* strip : {paused_, notice_}) {
        if (strip->isHidden()) continue;
        const int h = strip->heightForWidth(width());
        strip->setGeometry(0, top, width(), h);
        top += h;
    }
}

}  // namespace velmora

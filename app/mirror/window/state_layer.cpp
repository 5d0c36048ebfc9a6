#include "app/mirror/window/state_layer.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "app/design/a11y.h"
#include "app/design/buttons.h"
#include "app/design/theme.h"
#include "app/mirror/logic/mirror_hud.h"
#include "app/mirror/window/centred_text.h"
#include "app/mirror/window/delayed_spinner.h"
#include "app/mirror/window/fade.h"
#include "app/mirror/window/mirror_symbols.h"
#include "app/mirror/window/mirror_view.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

using enum MirrorPhase::Kind;

QColor dark(const DynColor& c) {
    return c.resolve(Appearance::dark);
}

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// One of the chrome's symbols as a widget.
class SymbolView : public QWidget {
  public:
    SymbolView(MirrorSymbol symbol, QColor color, int size, DynColor plate = {}, double side = 0)
        : symbol_(symbol), color_(color), size_(size), plate_(plate), tile_(side > 0) {
        setFixedSize(tile_ ? QSize(static_cast<int>(side), static_cast<int>(side))
                           : QSize(size + 4, size + 4));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        a11y::hide(this);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (tile_) {
            QPainterPath tile;
            tile.addRoundedRect(QRectF(rect()), 13, 13);
            p.fillPath(tile, dark(plate_));
        }
        drawMirrorSymbol(p, symbol_, QRectF(rect()), color_, size_);
    }

  private:
    MirrorSymbol symbol_;
    QColor color_;
    int size_;
    DynColor plate_;
    bool tile_;
};

// The kit's primary button, hugging its title with 18 points each side instead of filling the width.
class RetryButton : public PrimaryButton {
  public:
    explicit RetryButton(const QString& title) : PrimaryButton(title) {
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        setFocusPolicy(Qt::TabFocus);  // a click leaves the keyboard with the mirror view
    }
    QSize sizeHint() const override { return PrimaryButton::sizeHint() + QSize(36, 0); }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

CentredText* text(const std::string& s, int size, QFont::Weight weight, const DynColor& color) {
    return new CentredText(qs(s), design::font(size, weight), dark(color));
}

bool dimmed(MirrorPhase::Kind kind) {
    return kind == reconnecting || kind == unresponsive || kind == restored || kind == failed;
}

}  // namespace

MirrorStateLayer::MirrorStateLayer(MirrorHUD& hud, Executor& executor, QWidget* parent)
    : QWidget(parent), hud_(hud), executor_(executor) {
    subscription_ = hud_.subscribe([this] { phaseChanged(); });
    target_ = hud_.phase();
    rebuild();
}

MirrorStateLayer::~MirrorStateLayer() {
    hud_.unsubscribe(subscription_);
}

// A new panel fades in over the old one's place; going live, the panel fades out before it goes. Clicks
// follow the phase at once (the overlay host decides), whatever the fade still shows.
void MirrorStateLayer::phaseChanged() {
    if (hud_.phase() == target_) return;
    target_ = hud_.phase();
    if (fading_) {
        fading_->stop();  // deletes it; a stopped fade runs nothing more
        setGraphicsEffect(nullptr);
    }
    if (target_.kind() == live && shown_.kind() != live) {
        fading_ = fade(this, false, [this] {
            setGraphicsEffect(nullptr);
            rebuild();
        });
        return;
    }
    rebuild();
    if (shown_.kind() != live) fading_ = fade(this, true);
}

void MirrorStateLayer::rebuild() {
    shown_ = hud_.phase();
    delete content_;
    content_ = nullptr;
    retry_ = nullptr;
    items_.clear();
    const auto kind = shown_.kind();
    setAttribute(Qt::WA_TransparentForMouseEvents, kind == live);
    update();
    if (kind == live) return;

    content_ = new QWidget(this);
    const int gap = kind == loading || kind == reconnecting ? 10 : 12;
    const auto add = [&](QWidget* w, int before) {
        w->setParent(content_);
        items_.push_back({w, items_.empty() ? 0 : before});
    };
    const auto title = [&](const char* key) {
        add(text(L10n::string(key), 13, QFont::DemiBold, SystemColor::primary), gap);
    };
    const auto retry = [&](const std::string& label) {
        auto* button = new RetryButton(qs(label));
        connect(button, &QAbstractButton::clicked, this, [this] {
            if (hud_.onRetry) hud_.onRetry();
        });
        retry_ = button;
        add(button, gap);
    };
    switch (kind) {
        case live:
            break;
        case loading:
            add(new DelayedSpinner(executor_), gap);
            add(text(L10n::string("mirror.state.loading"), 12, QFont::Normal, SystemColor::secondary), gap);
            break;
        case awaitingApproval:
            add(new SymbolView(MirrorSymbol::phone, dark(DS::accentText), 24, DS::accentTint, 52), gap);
            title("mirror.state.awaiting.title");
            add(text(L10n::format("mirror.state.awaiting.text",
                                  {L10n::string("ref.android.mirror_notif_title")}),
                     12, QFont::Normal, SystemColor::secondary),
                4);  // the title and its detail form one group
            break;
        case reconnecting:
            add(new SpokeSpinner(32, SpinnerLook::onStage()), gap);
            title("mirror.state.reconnecting");
            break;
        case unresponsive:
            add(new SymbolView(MirrorSymbol::warningFilled, dark(DS::warn), 26), gap);
            title("mirror.state.unresponsive");
            retry(L10n::string("mirror.retry"));
            break;
        case restored:
            add(new SymbolView(MirrorSymbol::checkFilled, dark(DS::ok), 26), gap);
            title("mirror.state.restored");
            retry(L10n::string("mirror.restart"));
            break;
        case failed:
            add(new SymbolView(MirrorSymbol::errorFilled, dark(DS::err), 26), gap);
            // Over the dimmed picture the secondary grey is lost among the phone's own light shapes.
            add(text(shown_.failureText(), 12, QFont::Normal, SystemColor::primary), gap);
            retry(L10n::string("mirror.retry"));
            break;
    }
    if (dimmed(kind))
        for (const Item& item : items_)
            if (auto* t = qobject_cast<CentredText*>(item.widget)) t->setHalo(true);
    place();
    content_->show();
}

// A centred column inside 16 points of padding: texts wrap to the panel's width and take the height their
// lines need; the column is centred as a whole and may overflow a panel too short for it.
void MirrorStateLayer::place() {
    if (!content_) return;
    content_->setGeometry(rect());
    const int room = std::max(1, width() - 32);
    std::vector<QRect> boxes;
    int total = 0;
    for (const Item& item : items_) {
        QSize size = item.widget->sizeHint().isValid() ? item.widget->sizeHint() : item.widget->size();
        if (auto* t = qobject_cast<CentredText*>(item.widget)) {
            const int w = std::min(t->naturalWidth(), room);
            size = {w, t->heightForWidth(w)};
        }
        size.setWidth(std::min(size.width(), room));
        total += item.before + size.height();
        boxes.push_back(QRect(QPoint(), size));
    }
    int y = (height() - total) / 2;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        y += items_[i].before;
        const QSize size = boxes[i].size();
        items_[i].widget->setGeometry((width() - size.width()) / 2, y, size.width(), size.height());
        y += size.height();
    }
}

void MirrorStateLayer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    place();
}

void MirrorStateLayer::paintEvent(QPaintEvent*) {
    const auto kind = shown_.kind();
    if (kind == live) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath panel;
    panel.addRoundedRect(QRectF(rect()), MirrorView::kCornerRadius, MirrorView::kCornerRadius);
    if (dimmed(kind)) {
        p.fillPath(panel, QColor(0, 0, 0, 153));
        // The texts get a darker plate of their own: under 60 % black the phone's bright shapes still cross
        // the lines and break them up.
        QRect column;
        for (const Item& item : items_)
            column |= item.widget->geometry();
        if (!column.isEmpty()) {
            QPainterPath plate;
            plate.addRoundedRect(QRectF(column.adjusted(-14, -12, 14, 12)).intersected(QRectF(rect())), 12,
                                 12);
            p.fillPath(plate, QColor(0, 0, 0, 165));
        }
        return;
    }
    // Opaque: the picture's antialiased corners beneath must not show round the panel's own.
    p.fillRect(rect(), QColor(13, 13, 16));
    QLinearGradient stage(0, 0, 0, height());
    stage.setColorAt(0, dark(DS::stageTop));
    stage.setColorAt(1, dark(DS::stageBottom));
    p.fillPath(panel, stage);
}

}  // namespace velmora

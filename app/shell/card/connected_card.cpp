#include "app/shell/card/connected_card.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "app/design/a11y.h"
#include "app/design/buttons.h"
#include "app/design/cards.h"
#include "app/design/glyphs.h"
#include "app/design/notice.h"
#include "app/design/spoke_spinner.h"
#include "app/design/text_block.h"
#include "app/design/theme.h"
#include "app/shell/card/card_actions.h"
#include "app/shell/card/drop_area.h"
#include "app/shell/panel/panel_controls.h"
#include "app/shell/panel/panel_symbols.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

TextBlock* text(const std::string& s, int px, const DynColor& color, QFont::Weight weight = QFont::Normal) {
    return new TextBlock(q(s), design::font(px, weight), color, false);
}

// A sentence of the update notice: it wraps at the notice's width.
TextBlock* sentence(const std::string& s, const DynColor& color) {
    return new TextBlock(q(s), design::font(12, QFont::Normal), color, true);
}

// `mark` centred on the first line of a sentence beside it, however many lines the sentence takes.
QWidget* onFirstLine(QWidget* mark) {
    auto* box = new QWidget();
    box->setFixedSize(mark->width(), QFontMetrics(design::font(12, QFont::Normal)).height());
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(mark, 0, Qt::AlignCenter);
    return box;
}

QWidget* row(QBoxLayout::Direction direction, int spacing, QMargins margins = {}) {
    auto* w = new QWidget();
    w->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);  // a card's row spans the card
    auto* layout = new QBoxLayout(direction, w);
    layout->setSpacing(spacing);
    layout->setContentsMargins(margins);
    return w;
}

QBoxLayout* layoutOf(QWidget* w) {
    return static_cast<QBoxLayout*>(w->layout());
}

// A file name that keeps its beginning and its end when it has to be cut.
class MiddleElided : public QWidget {
  public:
    explicit MiddleElided(const QString& text) : text_(text) {
        setFont(design::font(12, QFont::Normal));
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setAccessibleName(text);
    }
    QSize sizeHint() const override {
        return {fontMetrics().horizontalAdvance(text_), fontMetrics().height()};
    }
    QSize minimumSizeHint() const override { return {20, fontMetrics().height()}; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(design::resolved(SystemColor::primary));
        p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(text_, Qt::ElideMiddle, width()));
    }

  private:
    QString text_;
};

// The primary button's label with its symbol in front; the button takes the clicks.
QWidget* symbolLabel(PanelSymbol symbol, const QString& label, const DynColor& color) {
    auto* line = row(QBoxLayout::LeftToRight, 9);
    layoutOf(line)->addStretch();
    layoutOf(line)->addWidget(new SymbolView(symbol, 16, color));
    layoutOf(line)->addWidget(new TextBlock(label, design::font(14, QFont::DemiBold), color, false));
    layoutOf(line)->addStretch();
    line->setAttribute(Qt::WA_TransparentForMouseEvents);
    return line;
}

}  // namespace

ConnectedCard::ConnectedCard(std::shared_ptr<CardActions> actions, QWidget* parent)
    : PanelBody(parent), actions_(std::move(actions)), layout_(new QVBoxLayout(this)) {
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(10);
    drop_ = new DropArea(this);
    drop_->hide();
}

void ConnectedCard::refresh(const PanelView& view) {
    CardFacts facts;
    facts.phoneNeedsUpdate = view.inputs.phoneNeedsUpdate;
    facts.fastLinkAvailable = actions_->fastLinkAvailable();
    facts.dropping = view.dropping;
    facts.install = actions_->installStatus();
    facts.cablePhone = actions_->cablePhonePresent();
    present(cardValues(view.inputs.state, facts));
}

void ConnectedCard::present(const CardValues& values) {
    drop_->present(q(values.dropText), values.dropEmphasis, values.dropHighlight);
    // The drag flag changes only the drop area; anything else rebuilds the card.
    auto same = [&](CardValues a, CardValues b) {
        for (auto* v : {&a, &b})
            v->dropText.clear(), v->dropEmphasis = v->dropHighlight = false;
        return a == b;
    };
    const bool rebuild = !shown_ || !same(*shown_, values);
    shown_ = values;
    if (!rebuild) return;
    drop_->setParent(this);  // kept across rebuilds
    if (content_) {
        content_->hide();
        content_->deleteLater();
    }
    content_ = build(values);
    layout_->addWidget(content_);
}

QWidget* ConnectedCard::build(const CardValues& v) {
    auto* card = row(QBoxLayout::TopToBottom, 10);
    auto* l = layoutOf(card);
    l->addWidget(phoneCard(v));
    for (const auto& notice : v.notices)
        l->addWidget(noticeFor(notice));
    l->addWidget(mirrorButton(v));
    l->addWidget(tiles(v));
    l->addWidget(drop_);
    drop_->show();
    l->addWidget(receivedSection(v));
    l->addWidget(disconnectRow());
    return card;
}

QWidget* ConnectedCard::phoneCard(const CardValues& v) {
    auto* card = new ListCard();
    auto* line = row(QBoxLayout::LeftToRight, 10, {10, 10, 10, 10});
    auto* l = layoutOf(line);
    l->addWidget(new PhoneGlyph(PhoneGlyph::Tone::paired, 32));
    auto* lines = row(QBoxLayout::TopToBottom, 1);
    layoutOf(lines)->addWidget(text(v.name, 13, SystemColor::primary, QFont::DemiBold));
    auto* link = row(QBoxLayout::LeftToRight, 5);
    layoutOf(link)->addWidget(new StatusDot(v.slowLink ? DS::warn : DS::ok, 6));
    layoutOf(link)->addWidget(text(v.linkLine, 12, SystemColor::secondary), 1);
    layoutOf(lines)->addWidget(link);
    l->addWidget(lines, 1);
    l->addSpacing(6);
    if (v.battery) {
        auto* battery = row(QBoxLayout::LeftToRight, 5);
        layoutOf(battery)->addWidget(new BatteryGlyph(*v.battery));
        auto* percent = text(v.batteryText, 12, SystemColor::secondary);
        a11y::hide(percent);
        layoutOf(battery)->addWidget(percent);
        battery->setAccessibleName(q(v.batteryA11y));
        l->addWidget(battery);
    }
    card->add(line);
    return card;
}

QWidget* ConnectedCard::noticeFor(const CardNotice& n) {
    QWidget* extra = nullptr;
    if (n.extra == CardNotice::Extra::switchLink) {
        extra = row(QBoxLayout::LeftToRight, 0, {0, 4, 0, 0});
        auto* button = new LinkButton(q(L10n::string("panel.ble_slow.switch")));
        connect(button, &QAbstractButton::clicked, this, [a = actions_] { a->switchToFastLink(); });
        layoutOf(extra)->addWidget(button);
        layoutOf(extra)->addStretch();
    } else if (n.extra != CardNotice::Extra::none) {
        extra = updateActions(n);
    }
    const auto kind = n.kind == CardNotice::Kind::warn ? Notice::Kind::warn : Notice::Kind::info;
    return new Notice(kind, q(n.title), q(n.text), extra);
}

// Under the update notice: what the companion-app installer is doing, or what the user can do.
QWidget* ConnectedCard::updateActions(const CardNotice& n) {
    using Extra = CardNotice::Extra;
    auto* line = row(QBoxLayout::LeftToRight, 6, {0, n.extra == Extra::plugHint ? 4 : 6, 0, 0});
    auto* l = layoutOf(line);
    switch (n.extra) {
        case Extra::installing:
            l->addWidget(onFirstLine(new SpokeSpinner(12, SpinnerLook::inText())), 0, Qt::AlignTop);
            l->addWidget(sentence(L10n::string("panel.update.installing"), SystemColor::primary), 1);
            break;
        case Extra::installDone:
            l->addWidget(onFirstLine(new SymbolView(PanelSymbol::checkmarkCircle, 12, SystemColor::primary)),
                         0, Qt::AlignTop);
            l->addWidget(sentence(L10n::string("panel.update.done"), SystemColor::primary), 1);
            break;
        case Extra::installFailed:
            l->addWidget(sentence(n.detail, DS::err), 1);
            break;
        case Extra::updateButton: {
            auto* button = new SecondaryButton(q(L10n::string("panel.update.button")), 24, false);
            connect(button, &QAbstractButton::clicked, this, [a = actions_] { a->installUpdate(); });
            l->addWidget(button);
            l->addStretch();
            break;
        }
        default:
            l->addWidget(sentence(L10n::string("panel.update.plug"), SystemColor::secondary), 1);
            break;
    }
    return line;
}

QWidget* ConnectedCard::mirrorButton(const CardValues& v) {
    auto* button = new PrimaryButton(QString(), true);
    const auto symbol = v.mirroring ? PanelSymbol::stopCircle : PanelSymbol::rectangleOnRectangle;
    auto* label = symbolLabel(symbol, q(v.mirrorText), button->currentLook().text);
    auto* inside = new QHBoxLayout(button);
    inside->setContentsMargins(0, 0, 0, 0);
    inside->addWidget(label);
    button->setAccessibleName(q(v.mirrorText));
    connect(button, &QAbstractButton::clicked, this,
            [a = actions_, mirroring = v.mirroring] { mirroring ? a->stopMirror() : a->startMirror(); });
    return button;
}

QWidget* ConnectedCard::tiles(const CardValues& v) {
    auto* line = row(QBoxLayout::LeftToRight, 6);
    auto add = [&](const std::string& title, PanelSymbol symbol, void (CardActions::*action)()) {
        auto* tile = new ActionTile(q(title), symbol);
        connect(tile, &QAbstractButton::clicked, this, [a = actions_, action] { ((*a).*action)(); });
        layoutOf(line)->addWidget(tile, 1);
    };
    add(L10n::string("panel.tile.send_files"), PanelSymbol::arrowUpDoc, &CardActions::pickAndSendFiles);
    add(L10n::string("panel.tile.send_clipboard"), PanelSymbol::docOnClipboard, &CardActions::sendClipboard);
    add(v.ringTitle, PanelSymbol::bell, &CardActions::toggleRing);
    return line;
}

QWidget* ConnectedCard::receivedSection(const CardValues& v) {
    auto* section = row(QBoxLayout::TopToBottom, 5);
    auto* l = layoutOf(section);
    if (!v.received.empty()) {
        l->addWidget(new SectionLabel(q(L10n::string("panel.received.title"))));
        auto* card = new ListCard();
        bool first = true;
        for (const auto& file : v.received) {
            if (!first) {
                auto* divider = new RowDivider();
                auto* faint = new QGraphicsOpacityEffect(divider);
                faint->setOpacity(0.5);
                divider->setGraphicsEffect(faint);
                card->add(divider);
            }
            first = false;
            auto* line = row(QBoxLayout::LeftToRight, 8, {10, 6, 10, 6});
            auto* fl = layoutOf(line);
            fl->addWidget(new SymbolView(PanelSymbol::doc, 13, SystemColor::secondary));
            fl->addWidget(new MiddleElided(q(file.name)), 1);
            fl->addSpacing(4);
            auto button = [&](const char* title, const char* a11yKey, auto action) {
                auto* b = new SecondaryButton(q(L10n::string(title)), 22, false);
                b->setAccessibleName(q(L10n::format(a11yKey, {file.name})));
                connect(b, &QAbstractButton::clicked, this,
                        [a = actions_, path = file.path, action] { ((*a).*action)(path); });
                fl->addWidget(b);
            };
            button("panel.received.show", "a11y.received.show", &CardActions::reveal);
            button("panel.received.open", "a11y.received.open", &CardActions::open);
            card->add(line);
        }
        l->addWidget(card);
    }
    auto* folderLine = row(QBoxLayout::LeftToRight, 0, {4, 0, 0, 0});
    auto* folder = new LinkButton(q(L10n::string("panel.received.folder")));
    connect(folder, &QAbstractButton::clicked, this, [a = actions_] { a->openFolder(); });
    layoutOf(folderLine)->addWidget(folder);
    layoutOf(folderLine)->addStretch();
    l->addWidget(folderLine);
    return section;
}

QWidget* ConnectedCard::disconnectRow() {
    auto* line = row(QBoxLayout::LeftToRight, 0);
    layoutOf(line)->addStretch();
    auto* button = new LinkButton(q(L10n::string("common.disconnect")));
    connect(button, &QAbstractButton::clicked, this, [a = actions_] { a->disconnect(); });
    layoutOf(line)->addWidget(button);
    return line;
}

}  // namespace velmora

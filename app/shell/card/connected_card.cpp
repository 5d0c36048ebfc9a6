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

// Deletes what `holder` holds; a part under the pointer goes at the next turn of the event loop.
void clearHolder(QWidget* holder) {
    for (auto* child : holder->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        child->hide();
        child->deleteLater();
    }
}

// Adds `part` to `holder` and shows it now, not at the next turn of the event loop: the frame's height that
// follows this refresh must count it.
void shownNow(QWidget* holder, QWidget* part) {
    holder->layout()->addWidget(part);
    part->show();
}

QWidget* holder(int spacing) {
    return row(QBoxLayout::TopToBottom, spacing);
}

}  // namespace

ConnectedCard::ConnectedCard(std::shared_ptr<CardActions> actions, QWidget* parent)
    : PanelBody(parent), actions_(std::move(actions)), layout_(new QVBoxLayout(this)) {
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(10);
    layout_->addWidget(phoneCard());
    notices_ = holder(10);
    notices_->hide();
    layout_->addWidget(notices_);
    layout_->addWidget(mirrorButton());
    layout_->addWidget(tiles());
    drop_ = new DropArea();
    layout_->addWidget(drop_);
    layout_->addWidget(receivedSection());
    layout_->addWidget(disconnectRow());
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

void ConnectedCard::present(const CardValues& v) {
    if (shown_ == v) return;
    drop_->present(q(v.dropText), v.dropEmphasis, v.dropHighlight, v.dropFailure);
    showPhone(v);
    if (!shown_ || shown_->notices != v.notices) showNotices(v.notices);
    if (!shown_ || shown_->mirroring != v.mirroring || shown_->mirrorText != v.mirrorText) {
        mirrorSymbol_->setSymbol(v.mirroring ? PanelSymbol::stopCircle : PanelSymbol::rectangleOnRectangle);
        mirrorText_->setText(q(v.mirrorText));
        mirror_->setAccessibleName(q(v.mirrorText));
    }
    ring_->setText(q(v.ringTitle));
    if (!shown_ || shown_->received != v.received) showReceived(v.received);
    shown_ = v;
}

QWidget* ConnectedCard::phoneCard() {
    auto* card = new ListCard();
    auto* line = row(QBoxLayout::LeftToRight, 10, {10, 10, 10, 10});
    auto* l = layoutOf(line);
    l->addWidget(new PhoneGlyph(PhoneGlyph::Tone::paired, 32));
    auto* lines = row(QBoxLayout::TopToBottom, 1);
    name_ = text({}, 13, SystemColor::primary, QFont::DemiBold);
    layoutOf(lines)->addWidget(name_);
    auto* link = row(QBoxLayout::LeftToRight, 5);
    linkDot_ = new StatusDot(DS::ok, 6);
    layoutOf(link)->addWidget(linkDot_);
    linkLine_ = text({}, 12, SystemColor::secondary);
    layoutOf(link)->addWidget(linkLine_, 1);
    layoutOf(lines)->addWidget(link);
    l->addWidget(lines, 1);
    l->addSpacing(6);
    battery_ = row(QBoxLayout::LeftToRight, 5);
    battery_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    batteryGlyph_ = new BatteryGlyph(0);
    layoutOf(battery_)->addWidget(batteryGlyph_);
    batteryText_ = text({}, 12, SystemColor::secondary);
    a11y::hide(batteryText_);
    layoutOf(battery_)->addWidget(batteryText_);
    battery_->hide();
    l->addWidget(battery_);
    card->add(line);
    return card;
}

void ConnectedCard::showPhone(const CardValues& v) {
    name_->setText(q(v.name));
    linkDot_->setColor(v.slowLink ? DS::warn : DS::ok);
    linkLine_->setText(q(v.linkLine));
    battery_->setVisible(v.battery.has_value());
    if (!v.battery) return;
    batteryGlyph_->setLevel(*v.battery);
    batteryText_->setText(q(v.batteryText));
    battery_->setAccessibleName(q(v.batteryA11y));
}

void ConnectedCard::showNotices(const std::vector<CardNotice>& notices) {
    clearHolder(notices_);
    for (const auto& notice : notices)
        shownNow(notices_, noticeFor(notice));
    notices_->setVisible(!notices.empty());
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

QWidget* ConnectedCard::mirrorButton() {
    auto* button = new PrimaryButton(QString(), true);
    const DynColor color = button->currentLook().text;
    auto* label = row(QBoxLayout::LeftToRight, 9);
    layoutOf(label)->addStretch();
    mirrorSymbol_ = new SymbolView(PanelSymbol::rectangleOnRectangle, 16, color);
    layoutOf(label)->addWidget(mirrorSymbol_);
    mirrorText_ = new TextBlock({}, design::font(14, QFont::DemiBold), color, false);
    layoutOf(label)->addWidget(mirrorText_);
    layoutOf(label)->addStretch();
    label->setAttribute(Qt::WA_TransparentForMouseEvents);  // the button takes the clicks
    auto* inside = new QHBoxLayout(button);
    inside->setContentsMargins(0, 0, 0, 0);
    inside->addWidget(label);
    // What the press does is read when it lands: the state may have flipped since the button was drawn.
    connect(button, &QAbstractButton::clicked, this, [this] {
        if (shown_ && shown_->mirroring)
            actions_->stopMirror();
        else
            actions_->startMirror();
    });
    mirror_ = button;
    return button;
}

QWidget* ConnectedCard::tiles() {
    auto* line = row(QBoxLayout::LeftToRight, 6);
    auto add = [&](const std::string& title, PanelSymbol symbol, void (CardActions::*action)()) {
        auto* tile = new ActionTile(q(title), symbol);
        connect(tile, &QAbstractButton::clicked, this, [a = actions_, action] { ((*a).*action)(); });
        layoutOf(line)->addWidget(tile, 1);
        return tile;
    };
    add(L10n::string("panel.tile.send_files"), PanelSymbol::arrowUpDoc, &CardActions::pickAndSendFiles);
    add(L10n::string("panel.tile.send_clipboard"), PanelSymbol::docOnClipboard, &CardActions::sendClipboard);
    ring_ = add(L10n::string("panel.tile.ring"), PanelSymbol::bell, &CardActions::toggleRing);
    return line;
}

QWidget* ConnectedCard::receivedSection() {
    auto* section = row(QBoxLayout::TopToBottom, 5);
    receivedList_ = holder(5);
    receivedList_->hide();
    layoutOf(section)->addWidget(receivedList_);
    auto* folderLine = row(QBoxLayout::LeftToRight, 0, {4, 0, 0, 0});
    auto* folder = new LinkButton(q(L10n::string("panel.received.folder")));
    connect(folder, &QAbstractButton::clicked, this, [a = actions_] { a->openFolder(); });
    layoutOf(folderLine)->addWidget(folder);
    layoutOf(folderLine)->addStretch();
    layoutOf(section)->addWidget(folderLine);
    return section;
}

void ConnectedCard::showReceived(const std::vector<ReceivedRow>& received) {
    clearHolder(receivedList_);
    receivedList_->setVisible(!received.empty());
    if (received.empty()) return;
    shownNow(receivedList_, new SectionLabel(q(L10n::string("panel.received.title"))));
    auto* card = new ListCard();
    bool first = true;
    for (const auto& file : received) {
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
    shownNow(receivedList_, card);
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

#include "app/shell/phones/phone_list_body.h"

#include <QPainter>
#include <QVBoxLayout>

#include "app/design/a11y.h"
#include "app/design/buttons.h"
#include "app/design/cards.h"
#include "app/design/glyphs.h"
#include "app/design/notice.h"
#include "app/design/spoke_spinner.h"
#include "app/design/theme.h"
#include "app/shell/panel/panel_controls.h"
#include "app/shell/phones/body_parts.h"
#include "app/shell/phones/phone_list_actions.h"
#include "app/shell/phones/phone_row.h"
#include "core/l10n/l10n.h"

namespace velmora {

using namespace phones;

namespace {

// The step's number on a tinted disc; the title and subtitle say the rest, so assistive tools skip it.
class StepBadge : public QWidget {
  public:
    explicit StepBadge(int number) : number_(QString::number(number)) {
        setFixedSize(20, 20);
        a11y::hide(this);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(design::resolved(DS::accentTint));
        p.drawEllipse(rect());
        p.setPen(design::resolved(DS::accentText));
        p.setFont(design::font(11, QFont::Bold));
        p.drawText(rect(), Qt::AlignCenter, number_);
    }

  private:
    QString number_;
};

QWidget* stepRow(const StepView& step) {
    QWidget* row = box(QBoxLayout::LeftToRight, 10, {12, 10, 12, 10});
    auto* badge = new StepBadge(step.number);
    layoutOf(row)->addWidget(badge, 0, Qt::AlignVCenter);
    QWidget* texts = box(QBoxLayout::TopToBottom, 1);
    layoutOf(texts)->addWidget(text(step.title, 13, SystemColor::primary, true, QFont::Medium));
    layoutOf(texts)->addWidget(text(step.subtitle, 12, SystemColor::secondary, true));
    layoutOf(row)->addWidget(texts, 1);
    return row;
}

// A spinner and a secondary line: "searching".
QWidget* waitingLine(const std::string& label) {
    QWidget* line = box(QBoxLayout::LeftToRight, 8);
    layoutOf(line)->addWidget(new SpokeSpinner(12, SpinnerLook::inText()), 0, Qt::AlignVCenter);
    layoutOf(line)->addWidget(text(label, 12, SystemColor::secondary, true), 1);
    return line;
}

}  // namespace

PhoneListBody::PhoneListBody(PhoneListActions& actions, InstallSectionFactory installSection, QWidget* parent)
    : QWidget(parent),
      actions_(actions),
      makeInstall_(std::move(installSection)),
      layout_(new QVBoxLayout(this)) {
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(10);
}

void PhoneListBody::present(const PhoneListValues& values) {
    if (shown_ == values) return;
    const bool sameInstall = shown_ && shown_->body == values.body && shown_->adbMissing == values.adbMissing;
    if (!sameInstall) {
        retire(install_);
        install_ = nullptr;
        if (showsInstallSection(values.body) && makeInstall_) {
            install_ = makeInstall_(values.adbMissing);
            layout_->insertWidget(0, install_);
        }
    }
    retire(content_);
    content_ = build(values);
    layout_->addWidget(content_);
    shown_ = values;
}

QWidget* PhoneListBody::build(const PhoneListValues& v) {
    switch (v.body) {
        case ListBody::empty:
            return emptyBody(v);
        case ListBody::found:
            return foundBody(v.found);
        case ListBody::connecting:
            return connectingBody(v.connectingLabel);
        case ListBody::lost:
            return lostBody(v.lostName);
        case ListBody::bluetoothOff:
            return bluetoothOffBody();
        case ListBody::localDenied:
            return localDeniedBody();
    }
    return new QWidget;
}

// Busy for 2 s after a press, so a second press cannot start a second search.
QWidget* PhoneListBody::searchAgainButton(const std::string& label) {
    return new SearchAgainButton(q(label), [this] { actions_.searchAgain(); });
}

QWidget* PhoneListBody::emptyBody(const PhoneListValues& v) {
    QWidget* body = box(QBoxLayout::TopToBottom, 10);
    layoutOf(body)->addWidget(waitingLine(L10n::string("panel.empty.searching")));
    auto* card = new ListCard;
    for (std::size_t i = 0; i < v.steps.size(); ++i) {
        if (i > 0) card->add(new RowDivider);
        card->add(stepRow(v.steps[i]));
    }
    layoutOf(body)->addWidget(card);
    layoutOf(body)->addWidget(searchAgainButton(L10n::string("panel.search_again")));
    return body;
}

QWidget* PhoneListBody::phoneSection(const std::string& caption, const std::vector<PhoneRowView>& rows) {
    QWidget* section = box(QBoxLayout::TopToBottom, 5);
    layoutOf(section)->addWidget(new SectionLabel(q(caption)));
    auto* card = new ListCard;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0) card->add(new RowDivider);
        card->add(new PhoneRow(rows[i], [this, phone = rows[i].phone] { actions_.connectTo(phone); }));
    }
    layoutOf(section)->addWidget(card);
    return section;
}

QWidget* PhoneListBody::foundBody(const FoundView& found) {
    QWidget* body = box(QBoxLayout::TopToBottom, 10);
    if (!found.known.empty())
        layoutOf(body)->addWidget(phoneSection(L10n::string("panel.found.known"), found.known));
    if (!found.fresh.empty()) {
        QWidget* fresh = phoneSection(L10n::string("panel.found.fresh"), found.fresh);
        if (found.pairHint) {
            QWidget* hint = box(QBoxLayout::TopToBottom, 0, {4, 0, 4, 0});
            layoutOf(hint)->addWidget(text(*found.pairHint, 12, SystemColor::secondary, true));
            layoutOf(fresh)->addWidget(hint);
        }
        layoutOf(body)->addWidget(fresh);
    }
    return body;
}

QWidget* PhoneListBody::connectingBody(const std::string& label) {
    QWidget* body = box(QBoxLayout::TopToBottom, 8);
    auto* card = new ListCard;
    QWidget* inner = box(QBoxLayout::TopToBottom, 12, {12, 12, 12, 12});
    QWidget* row = box(QBoxLayout::LeftToRight, 10);
    layoutOf(row)->addWidget(new PhoneGlyph(PhoneGlyph::Tone::paired, 30));
    QWidget* texts = box(QBoxLayout::TopToBottom, 1);
    layoutOf(texts)->addWidget(text(label, 13, SystemColor::primary, false, QFont::Medium));
    layoutOf(texts)->addWidget(text(L10n::string("common.connecting"), 12, SystemColor::secondary, false));
    layoutOf(row)->addWidget(texts, 1);
    layoutOf(row)->addWidget(new SpokeSpinner(16, SpinnerLook::inText()), 0, Qt::AlignVCenter);
    layoutOf(inner)->addWidget(row);
    layoutOf(inner)->addWidget(
        text(L10n::string("panel.connecting.code_hint"), 12, SystemColor::secondary, true));
    card->add(inner);
    layoutOf(body)->addWidget(card);
    layoutOf(body)->addWidget(cancelBelow(card, [this] { actions_.cancelConnecting(); }));
    return body;
}

QWidget* PhoneListBody::lostBody(const std::string& name) {
    QWidget* body = box(QBoxLayout::TopToBottom, 10);
    auto* card = new ListCard;
    QWidget* row = box(QBoxLayout::LeftToRight, 10, {10, 10, 10, 10});
    layoutOf(row)->addWidget(new PhoneGlyph(PhoneGlyph::Tone::lost, 32));
    QWidget* texts = box(QBoxLayout::TopToBottom, 1);
    layoutOf(texts)->addWidget(text(name, 13, SystemColor::primary, false, QFont::DemiBold));
    QWidget* status = box(QBoxLayout::LeftToRight, 5);
    layoutOf(status)->addWidget(new StatusDot(DS::err, 6), 0, Qt::AlignVCenter);
    layoutOf(status)->addWidget(text(L10n::string("panel.lost.status"), 11, DS::err, false), 1);
    layoutOf(texts)->addWidget(status);
    layoutOf(row)->addWidget(texts, 1);
    card->add(row);
    layoutOf(body)->addWidget(card);
    layoutOf(body)->addWidget(new Notice(Notice::Kind::err, q(L10n::string("panel.lost.title")),
                                         q(L10n::string("panel.lost.text"))));
    QWidget* buttons = box(QBoxLayout::LeftToRight, 6);
    layoutOf(buttons)->addWidget(searchAgainButton(L10n::string("common.try_again")), 1);
    auto* disconnect = new SecondaryButton(q(L10n::string("common.disconnect")), 32, true);
    connect(disconnect, &QAbstractButton::clicked, this, [this] { actions_.disconnect(); });
    layoutOf(buttons)->addWidget(disconnect, 1);
    layoutOf(body)->addWidget(buttons);
    return body;
}

QWidget* PhoneListBody::bluetoothOffBody() {
    QWidget* body = box(QBoxLayout::TopToBottom, 10);
    layoutOf(body)->addWidget(new Notice(Notice::Kind::warn, q(L10n::string("panel.bt_off.title")),
                                         q(L10n::string("panel.bt_off.text"))));
    auto* open = new PrimaryButton(q(L10n::string("panel.bt_off.button")), false);
    connect(open, &QAbstractButton::clicked, this, [this] { actions_.openBluetoothSettings(); });
    layoutOf(body)->addWidget(open);
    layoutOf(body)->addWidget(waitingLine(L10n::string("panel.bt_off.searching")));
    return body;
}

QWidget* PhoneListBody::localDeniedBody() {
    QWidget* body = box(QBoxLayout::TopToBottom, 10);
    layoutOf(body)->addWidget(new Notice(Notice::Kind::err, q(L10n::string("panel.local_denied.title")),
                                         q(L10n::string("panel.local_denied.text"))));
    auto* open = new PrimaryButton(q(L10n::string("panel.local_denied.button")), false);
    connect(open, &QAbstractButton::clicked, this, [this] { actions_.openLocalNetworkSettings(); });
    layoutOf(body)->addWidget(open);
    layoutOf(body)->addWidget(
        text(L10n::string("panel.local_denied.path"), 12, SystemColor::secondary, true));
    return body;
}

}  // namespace velmora

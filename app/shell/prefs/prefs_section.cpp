#include "app/shell/prefs/prefs_section.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QShortcut>
#include <QVBoxLayout>
#include <utility>

#include "app/design/cards.h"
#include "app/design/glyphs.h"
#include "app/design/text_block.h"
#include "app/design/theme.h"
#include "app/shell/prefs/connection_prefs_view.h"
#include "app/shell/prefs/notif_prefs_view.h"
#include "app/shell/prefs/prefs_controls.h"
#include "core/l10n/l10n.h"

namespace velmora {

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

QVBoxLayout* section(QVBoxLayout* column, const QString& header) {
    auto* stack = new QVBoxLayout;
    stack->setSpacing(5);
    stack->addWidget(new SectionLabel(header));
    column->addLayout(stack);
    return stack;
}

// The titles of the switches, in the order of kAllPreferences. The keep row's subtitle says what keeping the
// capture ready means here.
std::array<std::pair<std::string, std::string>, kAllPreferences.size()> switchTexts() {
    return {{{L10n::string("prefs.clipboard.title"), L10n::string("prefs.clipboard.sub")},
             {L10n::string("prefs.audio.title"), L10n::string("prefs.audio.sub")},
             {L10n::string("prefs.mute.title"), L10n::string("prefs.mute.sub")},
             {L10n::string("prefs.keep.title"), L10n::string("prefs.keep.sub_desktop")},
             {L10n::string("prefs.capture.title"), L10n::string("prefs.capture.sub")}}};
}

}  // namespace

QString prefsSummary(const PrefsValues& values) {
    const auto counts = prefs::summaryCounts(values.linkPrefs, values.phoneApps, values.filter);
    const std::int64_t links = counts.enabledKinds, apps = counts.appsOn;
    const std::string linksText =
        links == 1 ? L10n::string("prefs.summary.links.one") : L10n::format("prefs.summary.links", {links});
    const std::string appsText =
        apps == 1 ? L10n::string("prefs.summary.apps.one") : L10n::format("prefs.summary.apps", {apps});
    return q(L10n::format("prefs.summary", {linksText, appsText}));
}

PrefsSection::PrefsSection(PrefsActions& actions, QWidget* parent)
    : QWidget(parent),
      actions_(actions),
      connections_(new ConnectionPrefsView(actions, [this] { refresh(); })),
      notifications_(new NotifPrefsView(actions, [this] { refresh(); })),
      paired_(new QWidget),
      pairedColumn_(new QVBoxLayout(paired_)),
      address_(new KitLineEdit(DS::card)),
      bench_(linkButton(q(L10n::string("prefs.bench.button")), DS::accentText)),
      benchText_(new TextBlock({}, design::font(12, QFont::Normal), SystemColor::secondary, true)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 8);
    column->setSpacing(14);
    section(column, q(L10n::string("prefs.connections.header")))->addWidget(connections_);
    column->addWidget(notifications_);

    auto* card = new ListCard;
    const auto texts = switchTexts();
    for (std::size_t i = 0; i < kAllPreferences.size(); ++i) {
        if (i > 0) card->add(new RowDivider);
        switches_[i] = new SwitchRow(q(texts[i].first), q(texts[i].second));
        card->add(switches_[i]);
        connect(switches_[i], &SwitchRow::flipRequested, this, [this, which = kAllPreferences[i]](bool on) {
            actions_.setPreference(which, on);
            refresh();
        });
    }
    column->addWidget(card);

    pairedColumn_->setContentsMargins(0, 0, 0, 0);
    pairedColumn_->setSpacing(5);
    pairedColumn_->addWidget(new SectionLabel(q(L10n::string("prefs.paired.header"))));
    column->addWidget(paired_);

    auto* manual = section(column, q(L10n::string("prefs.manual.header")));
    auto* entry = new QHBoxLayout;
    entry->setSpacing(6);
    address_->setPlaceholderText("192.168.0.35:47625");
    auto* connectButton = smallSecondaryButton(q(L10n::string("common.connect")));
    entry->addWidget(address_, 1);
    entry->addWidget(connectButton);
    manual->addLayout(entry);
    manual->addWidget(new TextBlock(q(L10n::string("prefs.manual.hint")), design::font(12, QFont::Normal),
                                    SystemColor::secondary, true));
    // The text goes to the model as typed: the model reads hosts, ports and IPv6 brackets.
    connect(connectButton, &QAbstractButton::clicked, this,
            [this] { actions_.connectManual(address_->text().toStdString()); });

    // The result (or why there is none) under the link, at the section's full width: a failure's sentence
    // needs the room.
    auto* bench = new QVBoxLayout;
    bench->setSpacing(4);
    auto* benchLine = new QHBoxLayout;
    benchLine->addWidget(bench_);
    benchLine->addStretch();
    bench->addLayout(benchLine);
    bench->addWidget(benchText_);
    column->addLayout(bench);
    connect(bench_, &QAbstractButton::clicked, this, [this] {
        actions_.runBench();
        refresh();
    });
    refresh();
}

void PrefsSection::refresh() {
    const PrefsValues old = values_;
    values_ = actions_.values();
    connections_->show(values_);
    notifications_->show(values_);
    // A desktop that cannot hide the mirror window from captures: that switch shows what happens (captured)
    // and why it cannot change; the stored wish stays as it is.
    const bool captured = values_.captureUnavailable.has_value();
    for (std::size_t i = 0; i < kAllPreferences.size(); ++i)
        switches_[i]->setOn(values_.switches[i] ||
                            (captured && kAllPreferences[i] == Preference::allowMirrorCapture));
    switchRow(Preference::allowMirrorCapture)
        ->setUnavailable(captured ? std::optional(q(*values_.captureUnavailable)) : std::nullopt);
    // The phone's sound cannot be muted while it does not play here; the mute choice is kept meanwhile.
    switchRow(Preference::muteDevice)->setEnabled(values_.preference(Preference::playAudio));
    if (!pairedCard_ || old.paired != values_.paired) rebuildPaired();
    bench_->setEnabled(values_.connected);
    benchText_->setVisible(values_.benchText.has_value());
    benchText_->setText(q(values_.benchText.value_or("")));
    benchText_->setColor(values_.benchFailed ? DS::err : SystemColor::secondary);
}

void PrefsSection::rebuildPaired() {
    // The new card comes before the old one goes: the focus passes from one to the other in place, and
    // the panel does not scroll to wherever the focus chain would take it from a vanishing card.
    QWidget* old = std::exchange(pairedCard_, nullptr);
    const QWidget* focus = QApplication::focusWidget();
    QString focusedPeer;
    if (old && old->isAncestorOf(focus))
        for (const QWidget* w = focus; w && w != old; w = w->parentWidget())
            if (!w->objectName().isEmpty()) focusedPeer = w->objectName();
    if (forgetting_.pending() &&
        std::ranges::none_of(values_.paired, [&](const Peer& peer) { return forgetting_.asking(peer.id); }))
        forgetting_.cancel();
    paired_->setVisible(!values_.paired.empty());
    if (!values_.paired.empty()) {
        auto* card = new ListCard;
        QWidget* asked = nullptr;  // the confirmation's safe answer
        QWidget* same = nullptr;   // the Forget of the phone whose line held the focus
        for (std::size_t i = 0; i < values_.paired.size(); ++i) {
            const Peer& peer = values_.paired[i];
            if (i > 0) card->add(new RowDivider);
            QWidget* focusable = nullptr;
            card->add(pairedEntry(peer, focusable));
            if (forgetting_.asking(peer.id))
                asked = focusable;
            else if (focusedPeer == q(peer.id))
                same = focusable;
        }
        pairedCard_ = card;
        pairedColumn_->addWidget(card);
        card->show();
        if (QWidget* next = asked ? asked : same; next && next->isVisible())
            next->setFocus(Qt::OtherFocusReason);
    }
    if (old) {
        old->hide();
        old->deleteLater();
    }
}

QWidget* PrefsSection::pairedEntry(const Peer& peer, QWidget*& focusable) {
    auto* entry = new QWidget;
    entry->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    entry->setObjectName(QString::fromStdString(peer.id));
    const QString name = q(peer.name);
    if (!forgetting_.asking(peer.id)) {
        entry->setMinimumHeight(36);
        auto* row = new QHBoxLayout(entry);
        row->setContentsMargins(10, 0, 10, 0);
        row->setSpacing(8);
        row->addWidget(new PhoneGlyph(PhoneGlyph::Tone::paired, 24));
        row->addWidget(oneLineText(name, design::font(13, QFont::Normal), SystemColor::primary), 1);
        auto* forget = linkButton(q(L10n::string("common.forget")), DS::err);
        forget->setAccessibleName(q(L10n::format("a11y.forget", {peer.name})));
        row->addWidget(forget);
        connect(forget, &QAbstractButton::clicked, this, [this, id = peer.id] {
            forgetting_.ask(id);
            rebuildPaired();
        });
        focusable = forget;
        return entry;
    }
    auto* stack = new QVBoxLayout(entry);
    stack->setContentsMargins(10, 8, 10, 8);
    stack->setSpacing(6);
    stack->addWidget(new TextBlock(q(L10n::format("prefs.forget.title", {peer.name})),
                                   design::font(13, QFont::Medium), SystemColor::primary, true));
    stack->addWidget(new TextBlock(q(L10n::string("prefs.forget.text")), design::font(12, QFont::Normal),
                                   SystemColor::secondary, true));
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    auto* cancel = smallSecondaryButton(q(L10n::string("common.cancel")));
    auto* confirm = smallSecondaryButton(q(L10n::string("common.forget")), DS::err);
    confirm->setAccessibleName(q(L10n::format("a11y.forget.confirm", {peer.name})));
    buttons->addWidget(cancel);
    buttons->addWidget(confirm);
    buttons->addStretch(1);
    stack->addLayout(buttons);
    // Return means the safe answer.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), entry);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, cancel, &QAbstractButton::click);
    }
    connect(cancel, &QAbstractButton::clicked, this, [this] {
        forgetting_.cancel();
        rebuildPaired();
    });
    connect(confirm, &QAbstractButton::clicked, this, [this] {
        const auto before = values_.paired;
        if (const auto id = forgetting_.confirm()) actions_.forget(*id);
        refresh();
        if (values_.paired == before) rebuildPaired();  // the confirmation closes all the same
    });
    focusable = cancel;
    return entry;
}

}  // namespace velmora

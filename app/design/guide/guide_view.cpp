#include "app/design/guide/guide_view.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

#include <QShortcut>
#include <QVBoxLayout>
#include "app/design/kit_style.h"

#include "app/design/a11y.h"
#include "app/design/app_icon_plate.h"
#include "app/design/appearance.h"
#include "app/design/brand.h"
#include "app/design/buttons.h"
#include "app/design/cards.h"
#include "app/design/fold_row.h"
#include "app/design/guide/key_plate.h"
#include "app/design/guide/step_band.h"
#include "app/design/notice.h"
#include "app/design/palette.h"
#include "app/design/text_block.h"
#include "app/design/theme.h"
#include "core/l10n/l10n.h"

namespace velmora {

namespace {

using guide::ItemKind;

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QString looked(const std::string& key) {
    return q(L10n::string(key));
}

TextBlock* secondaryText(const QString& text, int size = 13) {
    return new TextBlock(text, design::font(size, QFont::Normal), SystemColor::secondary, true);
}

TextBlock* headingText(const QString& text) {
    return new TextBlock(text, design::font(13, QFont::DemiBold), SystemColor::primary, true);
}

QVBoxLayout* column(QWidget* owner, int spacing) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QHBoxLayout* row(QWidget* owner, int spacing) {
    auto* layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

// The scrolled page, on the window colour of the appearance it paints in.
class GuidePage : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), design::resolved(SystemColor::window));
    }
};

// Qt's stock scroll bar takes its colours from the palette, which does not follow the desktop's light or
// dark look; give it the window colour and a handle that stands out from it in either look.
void matchAppearance(QScrollBar* bar) {
    const QColor window = design::resolved(SystemColor::window);
    const bool dark = design::appearance() == Appearance::dark;
    QPalette palette = bar->palette();
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::AlternateBase})
        palette.setColor(role, window);
    palette.setColor(QPalette::Button, dark ? window.lighter(190) : window.darker(120));
    bar->setPalette(palette);
}

}  // namespace

GuideView::GuideView(QWidget* parent) : QScrollArea(parent) {
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setMinimumSize(520, 480);
    verticalScrollBar()->setStyle(kitStyle());
    matchAppearance(verticalScrollBar());
    connect(&AppearanceSource::instance(), &AppearanceSource::changed, this,
            [this] { matchAppearance(verticalScrollBar()); });
    rebuild();
}

void GuideView::setOpen(const QString& identity, bool expanded) {
    if (expanded == open_.contains(identity)) return;
    if (expanded) {
        open_.insert(identity);
    } else {
        open_.remove(identity);
    }
    for (const auto& binding : bindings_.values(identity))
        if (binding) binding->setExpanded(expanded);
    emit openChanged();
}

void GuideView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) rebuild();
    QScrollArea::changeEvent(event);
}

void GuideView::rebuild() {
    const int scrolled = verticalScrollBar()->value();
    for (const auto& binding : bindings_)
        if (binding) binding->deleteLater();
    bindings_.clear();
    auto* page = new GuidePage;
    auto* layout = column(page, 18);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->addWidget(header());
    layout->addWidget(steps());
    layout->addWidget(connections());
    layout->addWidget(topics());
    layout->addWidget(footer());
    layout->addStretch(1);
    setWidget(page);  // deletes the previous page
    verticalScrollBar()->setValue(scrolled);
}

QWidget* GuideView::header() {
    const auto& c = guide::content();
    auto* box = new QWidget;
    auto* line = row(box, 14);
    line->addWidget(new AppIconPlate(52, 128, 13), 0, Qt::AlignVCenter);

    auto* texts = new QWidget;
    auto* stack = column(texts, 3);
    QFont titleFont = design::font(20, QFont::Bold);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, -0.2);
    auto* title = new TextBlock(looked(c.titleKey), titleFont, SystemColor::primary, true);
    a11y::setRole(title, QAccessible::Heading);
    stack->addWidget(title);
    stack->addWidget(secondaryText(looked(c.privacyKey)));
    line->addWidget(texts, 1, Qt::AlignVCenter);
    return box;
}

QWidget* GuideView::steps() {
    auto* box = new QWidget;
    auto* line = row(box, 12);
    for (const auto& s : guide::content().steps)
        line->addWidget(step(s.number, s.symbol, looked(s.titleKey), q(guide::shown(s.body))), 1);
    return box;
}

QWidget* GuideView::connections() {
    const auto& c = guide::content();
    auto* box = new QWidget;
    auto* stack = column(box, 5);
    stack->addWidget(new SectionLabel(looked(c.connectionsHeaderKey)));
    auto* card = new ListCard;
    for (std::size_t i = 0; i < c.connections.size(); ++i) {
        if (i > 0) card->add(new RowDivider);
        card->add(connRow(looked(c.connections[i].titleKey), looked(c.connections[i].textKey)));
    }
    stack->addWidget(card);
    return box;
}

QWidget* GuideView::topics() {
    const auto& c = guide::content();
    auto* box = new QWidget;
    auto* stack = column(box, 2);
    stack->addWidget(new SectionLabel(looked(c.topicsHeaderKey)));
    for (const auto& topic : c.topics) {
        const QString title = looked(topic.titleKey);
        stack->addWidget(more(title, title, topicBody(topic)));
    }
    return box;
}

QWidget* GuideView::topicBody(const guide::Topic& topic) {
    auto* body = new QWidget;
    auto* stack = column(body, 6);
    stack->setContentsMargins(22, 8, 22, 8);
    for (const auto& i : topic.items)
        stack->addWidget(item(i));
    return body;
}

QWidget* GuideView::item(const guide::Item& i) {
    switch (i.kind) {
        case ItemKind::heading:
            return headingText(q(guide::shown(i.text)));
        case ItemKind::spacedHeading: {
            auto* heading = headingText(q(guide::shown(i.text)));
            heading->setContentsMargins(0, 4, 0, 0);
            return heading;
        }
        case ItemKind::paragraph:
            return secondaryText(q(guide::shown(i.text)));
        case ItemKind::bullet:
            return bullet(i.text);
        case ItemKind::numbered:
            return numbered(i.number, i.text.key);
        case ItemKind::keyRow:
            return key(q(guide::capText(i.cap)), q(guide::shown(i.text)));
        case ItemKind::notice:
            return new Notice(Notice::Kind::warn, q(guide::shown(i.text)), looked(i.noticeTextKey));
    }
    return new QWidget;
}

QWidget* GuideView::footer() {
    auto* box = new QWidget;
    auto* line = row(box, 8);
    line->addWidget(secondaryText(looked(guide::content().protocolKey), 12), 1, Qt::AlignVCenter);
    auto* done = new PrimaryButton(looked(guide::content().doneKey), false);
    done->setFixedWidth(110);
    // The guide's window only hides, so its place and its open topics are there next time.
    connect(done, &QAbstractButton::clicked, this, [this] { window()->close(); });
    // A plain window has no default button of its own: Return and Enter press this one.
    for (auto pressed : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(pressed), box);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, done, &QAbstractButton::click);
    }
    line->addWidget(done, 0, Qt::AlignVCenter);
    return box;
}

QWidget* GuideView::key(const QString& cap, const QString& description) {
    auto* box = new QWidget;
    auto* line = row(box, 10);
    // The plates sit in one 130-wide column, so every description starts at the same place.
    auto* capColumn = new QWidget;
    capColumn->setFixedWidth(130);
    row(capColumn, 0)->addWidget(new guide::KeyPlate(cap), 0, Qt::AlignLeft | Qt::AlignVCenter);
    line->addWidget(capColumn, 0, Qt::AlignVCenter);
    line->addWidget(secondaryText(description), 1, Qt::AlignVCenter);
    return box;
}

QWidget* GuideView::step(int number, guide::StepSymbol symbol, const QString& title, const QString& text) {
    auto* box = new QWidget;
    // The three columns share the row's width equally whatever their texts, and align at the top.
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    policy.setHorizontalStretch(1);
    box->setSizePolicy(policy);
    auto* stack = column(box, 8);
    stack->addWidget(new guide::StepBand(symbol));
    stack->addWidget(headingText(q(guide::numberedLine(number, title.toStdString()))));
    stack->addWidget(secondaryText(text, 12));
    stack->addStretch(1);
    return box;
}

QWidget* GuideView::bullet(const guide::TextSpec& text) {
    return secondaryText(q(guide::bulletLine(text)));
}

QWidget* GuideView::numbered(int number, const std::string& key) {
    return secondaryText(q(guide::numberedLine(number, L10n::string(key))));
}

QWidget* GuideView::connRow(const QString& title, const QString& text) {
    auto* box = new QWidget;
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* line = row(box, 10);
    line->setContentsMargins(12, 8, 12, 8);
    auto* name = headingText(title);
    name->setFixedWidth(84);
    // Same size and the same top edge: the first lines of both texts share a baseline.
    line->addWidget(name, 0, Qt::AlignTop);
    line->addWidget(secondaryText(text), 1, Qt::AlignTop);
    return box;
}

QWidget* GuideView::more(const QString& identity, const QString& title, QWidget* content) {
    auto* binding = new FoldBinding(isOpen(identity), this);
    bindings_.insert(identity, binding);
    connect(binding, &FoldBinding::expandedChanged, this,
            [this, identity](bool expanded) { setOpen(identity, expanded); });
    return new FoldRow(title, std::nullopt, std::nullopt, binding, content);
}

}  // namespace velmora

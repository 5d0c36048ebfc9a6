#include "app/shell/prefs/notif_prefs_view.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/design/cards.h"
#include "app/design/text_block.h"
#include "app/design/theme.h"
#include "app/shell/prefs/prefs_controls.h"
#include "core/l10n/l10n.h"

namespace velmora {

namespace {

constexpr int kListMaxHeight = 164;

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// The app's first letter on an accent tile.
class Monogram : public QWidget {
  public:
    explicit Monogram(const QString& name) : letter_(prefs::monogram(name)) { setFixedSize(20, 20); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(design::resolved(DS::accentTint));
        painter.drawRoundedRect(QRectF(rect()), 5, 5);
        painter.setFont(design::font(11, QFont::Bold));
        painter.setPen(design::resolved(DS::accentText));
        painter.drawText(rect(), Qt::AlignCenter, letter_);
    }

  private:
    QString letter_;
};

// The search field's rounded plate behind the magnifier and the text.
class SearchPlate : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(design::resolved(DS::fill));
        painter.drawRoundedRect(QRectF(rect()), 6, 6);
    }
};

}  // namespace

NotifPrefsView::NotifPrefsView(PrefsActions& actions, std::function<void()> changed, QWidget* parent)
    : QWidget(parent),
      actions_(actions),
      changed_(std::move(changed)),
      count_(new TextBlock({}, design::font(12, QFont::Normal), SystemColor::secondary, false)),
      empty_(new TextBlock({}, design::font(12, QFont::Normal), SystemColor::secondary, true)),
      controls_(new QWidget),
      search_(new KitLineEdit(std::nullopt)),
      column_(new QVBoxLayout(this)) {
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(6);
    auto* header = new QHBoxLayout;
    header->addWidget(new SectionLabel(q(L10n::string("prefs.notif.header"))));
    header->addStretch(1);
    header->addWidget(count_);
    column_->addLayout(header);
    empty_->setContentsMargins(4, 0, 4, 0);
    column_->addWidget(empty_);

    auto* plate = new SearchPlate;
    plate->setFixedHeight(24);
    auto* field = new QHBoxLayout(plate);
    field->setContentsMargins(6, 0, 6, 0);
    field->setSpacing(4);
    field->addWidget(new SymbolView(PanelSymbol::magnifyingGlass, 12, SystemColor::secondary));
    search_->setFrame(false);
    search_->setPlaceholderText(q(L10n::string("prefs.notif.search")));
    field->addWidget(search_, 1);
    auto* allOn = smallSecondaryButton(q(L10n::string("prefs.notif.all_on")));
    auto* allOff = smallSecondaryButton(q(L10n::string("prefs.notif.all_off")));
    auto* controls = new QHBoxLayout(controls_);
    controls->setContentsMargins(0, 0, 0, 0);
    controls->setSpacing(5);
    controls->addWidget(plate, 1);
    controls->addWidget(allOn);
    controls->addWidget(allOff);
    column_->addWidget(controls_);
    connect(allOn, &QAbstractButton::clicked, this, [this] { setShown(true); });
    connect(allOff, &QAbstractButton::clicked, this, [this] { setShown(false); });
    connect(search_, &QLineEdit::textChanged, this, [this] { rebuildList(); });
}

void NotifPrefsView::show(const PrefsValues& values) {
    const bool sameApps = list_ && values.phoneApps == values_.phoneApps;
    values_ = values;
    count_->setText(
        q(L10n::format("prefs.notif.count", {std::int64_t{prefs::countOn(values.phoneApps, values.filter)},
                                             static_cast<std::int64_t>(values.phoneApps.size())})));
    const std::string state = values.filter.notifDefault ? L10n::string("prefs.notif.default_on")
                                                         : L10n::string("prefs.notif.default_off");
    empty_->setText(q(L10n::format("prefs.notif.empty", {state})));
    if (!sameApps) {
        rebuildList();
        return;
    }
    // Only choices changed: the rows stay, and with them the list's scroll position.
    for (const auto& [pkg, toggle] : rowSwitches_)
        toggle->setOn(prefs::shows(values_.filter, pkg));
}

void NotifPrefsView::rebuildList() {
    const bool none = values_.phoneApps.empty();
    empty_->setVisible(none);
    controls_->setVisible(!none);
    if (list_) {
        list_->hide();
        list_->deleteLater();
        list_ = nullptr;
    }
    rowSwitches_.clear();
    if (none) return;
    auto* card = new ListCard;
    const auto shown = prefs::shownApps(values_.phoneApps, search_->text(), locale_);
    if (shown.empty()) {
        auto* noMatch =
            new TextBlock(q(L10n::format("prefs.notif.no_match", {search_->text().toStdString()})),
                          design::font(12, QFont::Normal), SystemColor::secondary, true);
        noMatch->setContentsMargins(12, 12, 12, 12);  // off the card's rounded edges
        card->add(noMatch);
    } else {
        auto* rows = new QWidget;
        auto* rowColumn = new QVBoxLayout(rows);
        rowColumn->setContentsMargins(0, 0, 0, 0);
        rowColumn->setSpacing(0);
        for (const auto& app : shown) {
            auto* row = new QWidget;
            row->setMinimumHeight(32);
            auto* line = new QHBoxLayout(row);
            line->setContentsMargins(10, 0, 10, 0);
            line->setSpacing(8);
            const QString name = q(app.name);
            line->addWidget(new Monogram(name));
            line->addWidget(oneLineText(name, design::font(13, QFont::Normal), SystemColor::primary), 1);
            line->addSpacing(4);
            auto* toggle = new SmallSwitch;
            toggle->setOn(prefs::shows(values_.filter, app.pkg));
            toggle->setAccessibleName(name);
            rowSwitches_.emplace_back(app.pkg, toggle);
            line->addWidget(toggle);
            rowColumn->addWidget(row);
            connect(toggle, &SmallSwitch::flipRequested, this, [this, pkg = app.pkg](bool on) {
                actions_.setNotif(pkg, on);
                changed_();
            });
        }
        auto* scroll = new QScrollArea;
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setWidget(rows);
        scroll->viewport()->setAutoFillBackground(false);
        rows->setAutoFillBackground(false);
        // A thin indicator in this appearance's colours, not the desktop style's light bar.
        const QColor thumb = design::resolved(SystemColor::secondary);
        scroll->verticalScrollBar()->setStyleSheet(
            QString("QScrollBar:vertical{background:transparent;width:8px;margin:2px 2px 2px 0}"
                    "QScrollBar::handle:vertical{background:%1;border-radius:2px;min-height:24px}"
                    "QScrollBar::add-line,QScrollBar::sub-line{height:0}"
                    "QScrollBar::add-page,QScrollBar::sub-page{background:transparent}")
                .arg(thumb.name(QColor::HexArgb)));
        scroll->setFixedHeight(std::min(kListMaxHeight, rows->sizeHint().height()));
        card->add(scroll);
    }
    list_ = card;
    column_->addWidget(card);
}

void NotifPrefsView::setShown(bool on) {
    const auto change = prefs::shownChange(values_.phoneApps, search_->text(), locale_);
    if (change.wholeFilter) {
        actions_.setAllNotif(on);
    } else {
        for (const auto& pkg : change.pkgs)
            actions_.setNotif(pkg, on);
    }
    changed_();
}

}  // namespace velmora

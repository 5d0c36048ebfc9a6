#include "app/shell/installer/phone_install_section.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/design/brand.h"
#include "app/design/cards.h"
#include "app/design/fold_row.h"
#include "app/design/guide/guide_window.h"
#include "app/design/spoke_spinner.h"
#include "app/design/text_block.h"
#include "app/design/theme.h"
#include "app/shell/installer/install_widgets.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

// Text sizes of the section, in device-independent pixels.
constexpr int callout = 12;
constexpr int caption = 11;
constexpr int caption2 = 10;

constexpr DynColor orange = makeColor(0xF0A014, 0xF5B53D, 1.0, 1.0);

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

TextBlock* text(const std::string& s, int size, const DynColor& color = SystemColor::primary,
                QFont::Weight weight = QFont::Normal) {
    return new TextBlock(q(s), design::font(size, weight), color, true);
}

std::string numbered(int n, const std::string& step) {
    return L10n::format("common.numbered", {std::int64_t{n}, step});
}

// Rows and columns take the card's whole width, so that wrapped texts in them break at its edge.
QWidget* block() {
    auto* w = new QWidget;
    w->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return w;
}

QWidget* column(std::initializer_list<QWidget*> items, int spacing, QMargins margins = {}) {
    auto* w = block();
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(margins);
    layout->setSpacing(spacing);
    for (QWidget* item : items)
        layout->addWidget(item);
    return w;
}

// Widgets side by side, centred vertically; a nullptr stands for the flexible space. Without one, the
// widget `grows` (if any) takes the spare width, else a space at the end does.
QWidget* row(std::initializer_list<QWidget*> items, int spacing, QWidget* grows = nullptr) {
    auto* w = block();
    auto* layout = new QHBoxLayout(w);
    layout->setContentsMargins({});
    layout->setSpacing(spacing);
    bool stretched = grows != nullptr;
    for (QWidget* item : items) {
        if (!item) layout->addStretch(1), stretched = true;
        if (item) layout->addWidget(item, item == grows ? 1 : 0, Qt::AlignVCenter);
    }
    if (!stretched) layout->addStretch(1);
    return w;
}

// A symbol and a semibold title beside it, the title wrapping.
QWidget* label(InstallSymbol::Shape shape, const std::string& title, const DynColor& color) {
    auto* titleBlock = text(title, callout, color, QFont::DemiBold);
    return row({new InstallSymbol(shape, color, callout), titleBlock}, 6, titleBlock);
}

Card* card(const DynColor& tint, std::initializer_list<QWidget*> items) {
    auto* c = new Card(tint);
    c->add(column(items, 6));
    return c;
}

}  // namespace

PhoneInstallSection::PhoneInstallSection(CompanionInstaller& installer, QWidget* parent)
    : QWidget(parent),
      installer_(installer),
      open_(new FoldBinding(startOpen, this)),
      layout_(new QVBoxLayout(this)) {
    layout_->setContentsMargins({});
    layout_->setSpacing(8);
    refresh();
}

void PhoneInstallSection::setNothingFound(bool nothingFound) {
    if (nothingFound_ == nothingFound) return;
    nothingFound_ = nothingFound;
    refresh();
}

void PhoneInstallSection::setAdbMissing(bool adbMissing) {
    if (adbMissing_ == adbMissing) return;
    adbMissing_ = adbMissing;
    refresh();
}

void PhoneInstallSection::refresh() {
    // Later, not now: the click that led here may come from a button inside the old content.
    while (auto* item = layout_->takeAt(0)) {
        if (QWidget* old = item->widget()) old->hide(), old->deleteLater();
        delete item;
    }
    const auto& status = installer_.status();
    drawn_ = {status, installer_.candidates(), installer_.unauthorized(), nothingFound_};
    shown_ = chooseInstallView(drawn_);
    switch (shown_) {
        case SectionContent::installing:
            layout_->addWidget(installing(status.candidate));
            break;
        case SectionContent::success:
            layout_->addWidget(success(status.candidate));
            break;
        case SectionContent::failed:
            layout_->addWidget(failed(status.candidate, status.failure));
            break;
        case SectionContent::offers:
            for (const auto& c : installer_.candidates())
                layout_->addWidget(offer(c));
            break;
        case SectionContent::unauthorized:
            layout_->addWidget(unauthorizedHint());
            break;
        case SectionContent::howTo:
            layout_->addWidget(howTo());
            break;
        case SectionContent::nothing:
            break;
    }
    setVisible(shown_ != SectionContent::nothing);
}

void PhoneInstallSection::follow() {
    if (drawn_ !=
        SectionInput{installer_.status(), installer_.candidates(), installer_.unauthorized(), nothingFound_})
        refresh();
}

QWidget* PhoneInstallSection::offer(const InstallCandidate& c) {
    auto* install = new PrimaryButton(q(L10n::format("install.offer.button", {c.model})), true);
    connect(install, &QAbstractButton::clicked, this, [this, c] { installer_.install(c); });
    auto* result = card(
        Brand::accent,
        {label(InstallSymbol::Shape::download, L10n::string("install.offer.title"), SystemColor::primary),
         text(L10n::format("install.offer.text", {c.model}), caption), install,
         text(L10n::string("install.offer.note"), caption2, SystemColor::secondary)});
    result->setObjectName(q(c.serial));
    return result;
}

QWidget* PhoneInstallSection::installing(const InstallCandidate& c) {
    auto* title = text(L10n::format("install.progress.title", {c.model}), callout, SystemColor::primary,
                       QFont::DemiBold);
    return card(Brand::accent,
                {row({new SpokeSpinner(14, SpinnerLook::inText()), title}, 8, title),
                 text(L10n::string("install.progress.text"), caption, SystemColor::secondary)});
}

QWidget* PhoneInstallSection::success(const InstallCandidate& c) {
    auto* gotIt = new InstallLink(q(L10n::string("common.got_it")), caption);
    connect(gotIt, &QAbstractButton::clicked, this, [this] { installer_.setStatus(InstallStatus::idle()); });
    auto* steps = column(
        {text(numbered(1, L10n::string("install.success.step1")), caption),
         text(numbered(2, L10n::format("install.success.step2", {L10n::string("ref.android.start")})),
              caption),
         text(numbered(3, L10n::format("install.success.step3", {L10n::string("ref.android.pair_new_mac")})),
              caption)},
        3);
    return card(DS::ok,
                {label(InstallSymbol::Shape::check, L10n::format("install.success.title", {c.model}), DS::ok),
                 steps, row({gotIt}, 0)});
}

QWidget* PhoneInstallSection::failed(const InstallCandidate& c, const InstallFailure& f) {
    auto* again = new StyledButton(q(L10n::string("common.try_again")), [](bool enabled, bool pressed) {
        auto look = SecondaryButtonStyle::look(22, false, enabled, pressed);
        look.fontSize = caption;
        return look;
    });
    auto* guide = new InstallLink(q(L10n::string("install.fail.open_guide")), caption);
    auto* close = new InstallLink(q(L10n::string("common.close")), caption);
    connect(again, &QAbstractButton::clicked, this, [this, c] { installer_.install(c); });
    connect(guide, &QAbstractButton::clicked, this, [] { GuideWindow::show(); });
    connect(close, &QAbstractButton::clicked, this, [this] { installer_.setStatus(InstallStatus::idle()); });
    return card(DS::err,
                {label(InstallSymbol::Shape::warning, L10n::format("install.fail.title", {c.model}), DS::err),
                 text(f.message(), caption), row({again, guide, nullptr, close}, 6)});
}

QWidget* PhoneInstallSection::unauthorizedHint() {
    return card(orange, {label(InstallSymbol::Shape::lock, L10n::string("install.unauthorized"),
                               SystemColor::primary)});
}

QWidget* PhoneInstallSection::howTo() {
    auto* content = new QWidget;
    auto* steps = new QVBoxLayout(content);
    steps->setContentsMargins(0, 4, 0, 0);
    steps->setSpacing(6);
    steps->addWidget(text(L10n::string("install.howto.safe"), caption, SystemColor::secondary));
    if (adbMissing_) {
        auto* copy = new InstallLink(q(L10n::string("common.copy")), caption);
        connect(copy, &QAbstractButton::clicked, this,
                [] { QGuiApplication::clipboard()->setText(QString::fromLatin1(installCommand)); });
        steps->addWidget(text(numbered(1, L10n::string("install.howto.step1_adb")), caption));
        auto* command = new CommandText(QString::fromLatin1(installCommand), caption);
        steps->addWidget(row({command, copy}, 6, command));
        auto* restart = text(L10n::string("install.howto.restart"), caption, SystemColor::secondary);
        steps->addWidget(column({restart}, 0, {14, 0, 0, 0}));
    } else {
        steps->addWidget(text(numbered(1, L10n::string("install.howto.step1_done")), caption));
    }
    steps->addWidget(text(numbered(2, L10n::string("install.howto.step2")), caption));
    steps->addWidget(text(numbered(3, L10n::string("install.howto.step3")), caption));
    auto* more = new InstallLink(q(L10n::string("install.howto.more")), caption);
    connect(more, &QAbstractButton::clicked, this, [] { GuideWindow::show(); });
    steps->addWidget(row({more}, 0));
    return new ExpanderText(q(L10n::string("install.howto.title")), content, open_);
}

}  // namespace velmora

#include "app/shell/panel/menu_panel.h"

#include <QDragEnterEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QVBoxLayout>

#include "app/design/buttons.h"
#include "app/design/cards.h"
#include "app/design/first_view.h"
#include "app/design/focus_ring.h"
#include "app/design/fold_row.h"
#include "app/design/kit_style.h"
#include "app/design/notice.h"
#include "app/design/theme.h"
#include "app/shell/logic/drop_rule.h"
#include "app/shell/logic/panel_sizes.h"
#include "app/shell/logic/status_line.h"
#include "app/shell/panel/panel_controls.h"
#include "app/shell/panel/panel_footer.h"
#include "app/shell/panel/panel_header.h"
#include "app/shell/panel/place_scroll_area.h"
#include "core/l10n/l10n.h"
#include "core/settings/settings.h"

namespace velmora {

// The accent outline over the whole panel while files hover over it and a phone is connected.
class DropOutline : public QWidget {
  public:
    explicit DropOutline(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(design::resolved(DS::accent), 2));
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 12, 12);
    }
};

namespace {

constexpr auto kPrefsOpenKey = "prefsOpen";

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// A column without margins for parts that come and go.
QVBoxLayout* column(QWidget* owner, int spacing) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QWidget* padded(QWidget* inner, int left, int top, int right, int bottom) {
    auto* box = new QWidget();
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(left, top, right, bottom);
    layout->setSpacing(0);
    layout->addWidget(inner);
    return box;
}

void clear(QWidget* holder) {
    for (auto* child : holder->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        delete child;
}

int heightAt(QWidget* widget, int width) {
    QLayout* layout = widget->layout();
    if (layout && layout->hasHeightForWidth()) return layout->totalHeightForWidth(width);
    return widget->sizeHint().height();
}

// `root` and every widget inside it, depth first: a parent before its children.
QList<QWidget*> rootAndInside(QWidget* root) {
    QList<QWidget*> all{root};
    all += root->findChildren<QWidget*>();
    return all;
}

// A hidden widget takes a new size without hearing of it: the resize event that lays out its children waits
// for the showing, and layouts already in force ignore activate(). The first view's cut reads where the
// children are, so the waiting layouts run now, each parent before its children (its layout sizes them
// afresh); the window then shows exactly as measured.
void layOutWhileHidden(QWidget* root) {
    for (QWidget* w : rootAndInside(root)) {
        if (w->layout()) w->layout()->activate();
        if (!w->testAttribute(Qt::WA_PendingResizeEvent)) continue;
        w->setAttribute(Qt::WA_PendingResizeEvent, false);
        QResizeEvent resized(w->size(), QSize());
        QCoreApplication::sendEvent(w, &resized);
    }
}

// A layout keeps its parts' sizes from its last run, and Qt runs the layout above a changed one only at the
// next turn of the event loop, one level a turn: after a part deep in the middle goes or hides, every layout
// above it still answers with the height from before. The waiting layouts under `root` run now, each widget's
// after those of the widgets inside it, so the height read next is the content's as it stands.
void catchUpLayouts(QWidget* root) {
    const QList<QWidget*> all = rootAndInside(root);
    for (auto it = all.crbegin(); it != all.crend(); ++it)
        if (QLayout* layout = (*it)->layout()) layout->activate();
}

bool askQuitWhileMirroring() {
    QMessageBox box;
    box.setText(qs(L10n::string("menu.quit.title")));
    box.setInformativeText(qs(L10n::string("menu.quit.text")));
    auto* quit = box.addButton(qs(L10n::string("menu.quit")), QMessageBox::AcceptRole);
    box.addButton(qs(L10n::string("common.cancel")), QMessageBox::RejectRole);
    box.exec();
    return box.clickedButton() == quit;
}

}  // namespace

MenuPanel::MenuPanel(PanelReader read, PanelActions actions, Settings& settings, BodyFactory bodies,
                     QWidget* parent)
    : QWidget(parent),
      read_(std::move(read)),
      actions_(std::move(actions)),
      settings_(settings),
      bodies_(bodies ? std::move(bodies) : BodyFactory(placeholderBody)) {
    auto* root = column(this, 0);
    header_ = new PanelHeader();
    root->addWidget(header_);

    scrollContent_ = new QWidget();
    auto* content = column(scrollContent_, 0);
    auto* stateBox = new QWidget();
    stateArea_ = column(stateBox, 10);
    stateArea_->setContentsMargins(12, 2, 12, 12);
    topNotices_ = new QWidget();
    column(topNotices_, 10);
    errorNotice_ = new QWidget();
    column(errorNotice_, 0);
    stateArea_->addWidget(topNotices_);
    stateArea_->addWidget(errorNotice_);
    content->addWidget(stateBox);
    content->addWidget(padded(new RowDivider(), 8, 0, 8, 0));
    content->addWidget(buildFolds());
    scrollContent_->installEventFilter(this);

    scroll_ = new PlaceScrollArea();
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The panel sizes the content itself: the whole content at the panel's width, however tall.
    scroll_->setWidgetResizable(false);
    scroll_->setWidget(scrollContent_);
    scroll_->viewport()->setAutoFillBackground(false);
    scrollContent_->setAutoFillBackground(false);
    root->addWidget(scroll_, 1);
    root->addWidget(padded(new RowDivider(), 8, 0, 8, 0));

    footer_ = new PanelFooter(actions_, [this] { quit(inputs_.mirroring, actions_); });
    root->addWidget(footer_);

    outline_ = new DropOutline(this);
    setAcceptDrops(true);
    noFocusRing(this);
    refresh();
}

MenuPanel::~MenuPanel() = default;

QWidget* MenuPanel::buildFolds() {
    auto* folds = new QWidget();
    auto* layout = column(folds, 2);
    layout->setContentsMargins(6, 4, 6, 4);

    prefsOpen_ = new FoldBinding(settings_.boolean(kPrefsOpenKey).value_or(false), this);
    connect(prefsOpen_, &FoldBinding::expandedChanged, this,
            [this](bool open) { settings_.setValue(kPrefsOpenKey, open); });
    prefsContent_ = new QWidget();
    column(prefsContent_, 0);
    prefsRow_ =
        new FoldRow(qs(L10n::string("prefs.title")), std::nullopt, std::nullopt, prefsOpen_, prefsContent_);
    layout->addWidget(prefsRow_);
    return folds;
}

void MenuPanel::hostPermissions(QWidget* fold) {
    QWidget* folds = prefsRow_->parentWidget();
    folds->layout()->addWidget(fold);
    fold->show();  // now: the height the frame fits next must count it
    // The middle's layout keeps the fold column's height from before; it forgets it now rather than when
    // the layout request comes round, so the next fit counts the fold.
    folds->updateGeometry();
}

void MenuPanel::refresh() {
    inputs_ = read_ ? read_() : PanelInputs{};
    groups_ = phoneGroups(inputs_);
    state_ = panelState(inputs_, groups_);
    const int warnings = warningCount(inputs_);
    header_->setStatus(qs(statusText(state_, warnings, groups_.size())), statusTone(state_, warnings));

    if (!body_ || bodyKind_ != state_.kind) {
        delete body_;
        body_ = bodies_(state_.kind, actions_);
        bodyKind_ = state_.kind;
        stateArea_->insertWidget(1, body_);
        body_->show();  // now, not at the next turn of the event loop: the height below must count it
        noFocusRing(body_);
    }
    body_->refresh(PanelView{inputs_, state_, groups_, dropping_});
    showSections(panelSections(inputs_, state_));
    setDropping(dropping_);  // the outline goes when the session does
    fitHeight();
}

void MenuPanel::showSections(const std::vector<PanelSection>& sections) {
    if (sections == sections_) return;
    auto noticeOf = [](const std::vector<PanelSection>& list) -> const PanelSection* {
        for (const auto& section : list)
            if (section.kind == PanelSection::Kind::notice) return &section;
        return nullptr;
    };
    const PanelSection* before = noticeOf(sections_);
    const PanelSection* now = noticeOf(sections);
    const bool freshNotice = now && (!before || !(*before == *now));
    sections_ = sections;
    clear(topNotices_);
    clear(errorNotice_);
    bool top = false, error = false;
    for (const auto& section : sections) {
        if (section.kind == PanelSection::Kind::body) continue;
        const bool isError = section.kind == PanelSection::Kind::error;
        (isError ? error : top) = true;
        // Shown now: added to a shown holder, a part would show itself only at the next turn of the event
        // loop, and until then it counts as hidden, to the holder's layout and to the height fitted below.
        QWidget* notice = noticeFor(section);
        (isError ? errorNotice_ : topNotices_)->layout()->addWidget(notice);
        notice->show();
    }
    topNotices_->setVisible(top);
    errorNotice_->setVisible(error);
    // A notice answers what the user just did (a copy, a send), often from further down a long panel: it
    // comes into view rather than appear above the scrolled part unseen.
    if (freshNotice) scroll_->showTop();
}

QWidget* MenuPanel::noticeFor(const PanelSection& section) {
    const QString title = qs(section.title);
    const std::optional<QString> text = section.text ? std::optional(qs(*section.text)) : std::nullopt;
    switch (section.kind) {
        case PanelSection::Kind::notice:
            return new Notice(Notice::Kind::info, title, text);
        case PanelSection::Kind::stalePairing: {
            auto* forget = new SecondaryButton(qs(L10n::string("panel.stale.forget")), 24, false);
            connect(forget, &QAbstractButton::clicked, this, [this, peer = section.stalePeer] {
                if (actions_.confirmForgetStale) actions_.confirmForgetStale(peer);
            });
            return new Notice(Notice::Kind::warn, title, text, padded(forget, 0, 6, 0, 0));
        }
        case PanelSection::Kind::error: {
            auto* actions = new QWidget();
            auto* row = new QHBoxLayout(actions);
            row->setContentsMargins(0, 4, 0, 0);
            row->setSpacing(12);
            auto* retry = new LinkButton(qs(L10n::string("common.try_again")));
            auto* copy = new LinkButton(qs(L10n::string("common.copy_diagnostics")));
            connect(retry, &QAbstractButton::clicked, this, [this] {
                if (actions_.retryNow) actions_.retryNow();
            });
            connect(copy, &QAbstractButton::clicked, this, [this] {
                if (actions_.copyDiagnostics) actions_.copyDiagnostics();
            });
            row->addWidget(retry);
            row->addWidget(copy);
            row->addStretch(1);
            return new Notice(Notice::Kind::err, title, text, actions);
        }
        case PanelSection::Kind::body:
            break;
    }
    return new QWidget();
}

double MenuPanel::maxHeight() const {
    std::optional<double> available;
    if (const QScreen* screen = this->screen()) available = screen->availableGeometry().height();
    return panelMaxHeight(available, maxHeightOverride);
}

int MenuPanel::contentHeight() const {
    const int width = static_cast<int>(kPanelWidth);
    // Header, the scrolling middle, the divider under it (one pixel) and the footer.
    return header_->sizeHint().height() + heightAt(scrollContent_, width) + 1 + footer_->sizeHint().height();
}

void MenuPanel::fitHeight() {
    if (fitting_) return;
    fitting_ = true;
    catchUpLayouts(scrollContent_);
    const int width = static_cast<int>(kPanelWidth);
    const int chrome = contentHeight() - heightAt(scrollContent_, width);
    // Content taller than the panel scrolls, with the kit's slim scroll bar beside it as the cue; the
    // first view ends where it cuts no sentence in two.
    const bool scrolls = contentHeight() > maxHeight();
    const int inner = scrolls ? width - KitStyle::scrollBarWidth : width;
    scroll_->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    scrollContent_->resize(inner, heightAt(scrollContent_, inner));
    int height = static_cast<int>(panelHeight(chrome + scrollContent_->height(), maxHeight()));
    if (scrolls) {
        layOutWhileHidden(scrollContent_);
        height -= riseToCutNothing(scrollContent_, height - chrome);
    }
    if (size() != QSize(width, height)) {
        setFixedSize(width, height);
        emit heightChanged(height);
    }
    // A part above the person's place grew or shrank (a body for another state, a rebuilt section): the
    // view follows it, so the place stays where the person left it.
    scroll_->keepPlace();
    fitting_ = false;
}

bool MenuPanel::eventFilter(QObject* watched, QEvent* event) {
    // A part of the middle changed its size (a fold opened, a notice came): the panel follows.
    if (watched == scrollContent_ && event->type() == QEvent::LayoutRequest) fitHeight();
    return QWidget::eventFilter(watched, event);
}

void MenuPanel::paintEvent(QPaintEvent*) {
    if (!paintsBackground_) return;
    QPainter p(this);
    p.fillRect(rect(), design::resolved(SystemColor::window));
}

void MenuPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (actions_.refreshPermissions) actions_.refreshPermissions();
}

void MenuPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    outline_->setGeometry(rect());
}

void MenuPanel::setDropping(bool dropping) {
    const bool changed = dropping_ != dropping;
    dropping_ = dropping;
    if (changed && body_) body_->refresh(PanelView{inputs_, state_, groups_, dropping_});
    const bool connected = inputs_.state.state.kind() == ConnState::Kind::connected;
    outline_->setVisible(dropping_ && connected);
    outline_->raise();
    if (changed) emit droppingChanged(dropping_);
}

void MenuPanel::dragEnterEvent(QDragEnterEvent* event) {
    // Only files, and only while a phone is there to take them: otherwise the pointer shows the refusal.
    if (!event->mimeData()->hasUrls() || inputs_.state.state.kind() != ConnState::Kind::connected) return;
    event->acceptProposedAction();
    setDropping(true);
}

void MenuPanel::dragLeaveEvent(QDragLeaveEvent* event) {
    setDropping(false);
    QWidget::dragLeaveEvent(event);
}

void MenuPanel::dropEvent(QDropEvent* event) {
    setDropping(false);
    std::vector<DroppedItem> items;
    for (const QUrl& url : event->mimeData()->urls()) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : QString();  // a web link is no file
        items.push_back({path.toStdString(), !path.isEmpty() && QFileInfo(path).isFile()});
    }
    // Checked again: the session may have ended while the files hovered.
    const bool connected = inputs_.state.state.kind() == ConnState::Kind::connected;
    const auto files = filesToSend(connected, items);
    for (const auto& file : files)
        if (actions_.sendFile) actions_.sendFile(file);
    if (!files.empty()) event->acceptProposedAction();
}

void MenuPanel::quit(bool mirroring, const PanelActions& actions) {
    if (mirroring) {
        const bool confirmed = actions.confirmQuit ? actions.confirmQuit() : askQuitWhileMirroring();
        if (!confirmed) return;
    }
    if (actions.terminate) actions.terminate();
}

}  // namespace velmora

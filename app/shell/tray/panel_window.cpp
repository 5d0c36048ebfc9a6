#include "app/shell/tray/panel_window.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/design/fold_row.h"
#include "app/design/guide/guide_window.h"
#include "app/design/theme.h"
#include "app/design/window_shape.h"
#include "app/links/installer/phone_installer.h"
#include "app/model/app_model.h"
#include "app/shell/installer/phone_install_section.h"
#include "app/shell/model_adapter.h"
#include "app/shell/panel/menu_panel.h"
#include "app/shell/panel/model_panel.h"
#include "app/shell/phones/permissions_fold.h"
#include "app/shell/phones/phone_list_actions.h"
#include "app/shell/prefs/prefs_section.h"
#include "app/shell/tray/model_bodies.h"
#include "core/settings/memory_settings.h"
#include "platform/settings_panes/settings_panes.h"
#include "platform/tray_host/x11_screen.h"

namespace velmora {

namespace {

// Whether the model's installer found adb (on the PATH or where the SDK keeps it): the cable bodies, the
// install section and the permissions row tell how to install it otherwise, and all of them agree.
bool adbFound(AppModel& model) {
    return model.installer().adbPath().has_value();
}

}  // namespace

PanelWindow::PanelWindow(ModelAdapter& model, Mode mode, std::shared_ptr<Settings> settings)
    : QWidget(nullptr, mode == Mode::popup ? Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint
                                           : Qt::Window),
      model_(model),
      mode_(mode),
      settings_(settings ? std::move(settings) : std::make_shared<MemorySettings>()) {
    setObjectName(QStringLiteral("panel"));
    setWindowTitle(QStringLiteral("Velmora"));
    if (mode == Mode::popup) {
        setAttribute(Qt::WA_TranslucentBackground);
        new RoundedWindowShape(this, cornerRadius, &x11::compositingManagerRunning);
    }
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSizeConstraint(QLayout::SetFixedSize);
    const auto shared = model_.model().shared_from_this();
    phoneActions_ = std::make_unique<ModelPhoneActions>(shared);
    prefsActions_ = std::make_unique<ModelPrefsActions>(model_.model());
    const std::weak_ptr<AppModel> weak = shared;
    phoneActions_->onBluetoothSettings = [] { openSettingsPane(SettingsPane::bluetooth); };
    phoneActions_->onLocalNetworkSettings = [] { openSettingsPane(SettingsPane::network); };
    phoneActions_->onCheckPermissions = [weak] {
        if (const auto model = weak.lock()) model->refreshPermissions();
    };
    // The cable row's "how": the install section's advice, unfolded and scrolled into view; the guide when
    // the panel shows no advice (a phone is connected, or the section has nothing to say).
    phoneActions_->onShowInstall = [this] {
        const auto sections = content_->findChildren<PhoneInstallSection*>();
        if (sections.isEmpty() || sections.front()->content() == SectionContent::nothing)
            return GuideWindow::show();
        sections.front()->open()->setExpanded(true);
        content_->scrollArea()->ensureWidgetVisible(sections.front());
    };
    content_ =
        new MenuPanel(modelReader(shared, settings_), modelActions(shared), *settings_,
                      modelBodies({*phoneActions_, modelQueries(weak), !adbFound(model_.model()), weak}));
    content_->setPaintsBackground(false);  // the window paints the rounded plate
    column->addWidget(content_);
    hostSections();
    setFixedWidth(panelWidth);
    setFocusPolicy(Qt::StrongFocus);  // Escape reaches the panel itself
    connect(&model_, &ModelAdapter::changed, content_, &MenuPanel::refresh);
    connect(&model_, &ModelAdapter::changed, this, &PanelWindow::refreshSections);
    resize(contentSize());
}

// The content goes before the actions its bodies hold.
PanelWindow::~PanelWindow() {
    delete content_;
}

// The preferences in their fold, the permissions section in place of the frame's row.
void PanelWindow::hostSections() {
    prefs_ = new PrefsSection(*prefsActions_);
    content_->prefsContent()->layout()->addWidget(prefs_);
    perms_ = new PermissionsFold(*phoneActions_);
    content_->hostPermissions(perms_);
    refreshSections();
    content_->refresh();  // the frame's height counts the sections' first content now, not a turn later
}

void PanelWindow::refreshSections() {
    prefs_->refresh();
    content_->prefsRow()->header()->setSummary(prefsSummary(prefsActions_->values()));
    const PublishedState& state = model_.state();
    std::optional<std::string> keyFile;
    if (const auto file = model_.model().identity().keyFile())
        keyFile = shownPath(*file, QDir::homePath().toStdString());
    perms_->present({state.notifStatus, state.bluetoothState, adbFound(model_.model()),
                     model_.model().installer().unauthorized(), keyFile});
}

QSize PanelWindow::contentSize() const {
    const QSize hint = layout()->sizeHint();
    const int h = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(panelWidth) : hint.height();
    return {panelWidth, std::max(h, 40)};
}

void PanelWindow::showAt(const QRect& anchor) {
    const QSize size = contentSize();
    const QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    std::optional<Box> free;
    if (screen) {
        const QRect a = screen->availableGeometry();
        free = Box{double(a.x()), double(a.y()), double(a.width()), double(a.height())};
    }
    const Box at = PanelGeometry::place(
        {double(anchor.x()), double(anchor.y()), double(anchor.width()), double(anchor.height())},
        size.width(), size.height(), free);
    setGeometry(qRound(at.x), qRound(at.y), qRound(at.w), qRound(at.h));
    show();
    raise();
    activateWindow();
    setFocus(Qt::PopupFocusReason);  // the panel itself, no control of its content
}

bool PanelWindow::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest) {
        const QSize want = contentSize();
        const QRect g = geometry();
        if (auto next = PanelGeometry::followSize(
                {double(g.x()), double(g.y()), double(g.width()), double(g.height())}, want.width(),
                want.height())) {
            setGeometry(qRound(next->x), qRound(next->y), qRound(next->w), qRound(next->h));
        }
    }
    return handled;
}

void PanelWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor background = design::resolved(SystemColor::window);
    if (mode_ == Mode::window) {
        p.fillRect(rect(), background);
        return;
    }
    p.setPen(QPen(design::resolved(DS::cardBorder), 1));
    p.setBrush(background);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
}

void PanelWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && mode_ == Mode::popup) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

// Losing activation hides the popup, but only once it had it: a window manager may report the popup
// inactive before it first activates it.
void PanelWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || mode_ != Mode::popup || !isVisible()) return;
    if (isActiveWindow()) {
        wasActive_ = true;
    } else if (wasActive_) {
        hide();
    }
}

void PanelWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    wasActive_ = false;
    emit hidden();
}

// The window stands in for the tray: closing it is the user's way to quit.
void PanelWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (mode_ == Mode::window) QApplication::quit();
}

}  // namespace velmora

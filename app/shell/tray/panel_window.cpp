#include "app/shell/tray/panel_window.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/design/fold_row.h"
#include "app/design/guide/guide_window.h"
#include "app/design/theme.h"
#include "app/design/window_shape.h"
#include "app/links/installer/phone_installer.h"
#include "app/model/app_model.h"
#include "app/shell/installer/phone_install_section.h"
#include "app/shell/logic/display_choice.h"
#include "app/shell/model_adapter.h"
#include "app/shell/panel/menu_panel.h"
#include "app/shell/panel/model_panel.h"
#include "app/shell/phones/permissions_fold.h"
#include "app/shell/phones/phone_list_actions.h"
#include "app/shell/prefs/prefs_section.h"
#include "app/shell/tray/model_bodies.h"
#include "core/log/velmora_log.h"
#include "core/settings/memory_settings.h"
#include "platform/settings_panes/settings_panes.h"
#include "platform/tray_host/x11_focus.h"
#include "platform/tray_host/x11_press_watch.h"
#include "platform/tray_host/x11_screen.h"

namespace velmora {

namespace {

// Whether the model's installer found adb (on the PATH or where the SDK keeps it): the cable bodies, the
// install section and the permissions row tell how to install it otherwise, and all of them agree.
bool adbFound(AppModel& model) {
    return model.installer().adbPath().has_value();
}

Qt::WindowFlags flagsFor(PanelWindow::Mode mode) {
    if (mode == PanelWindow::Mode::window) return Qt::Window;
    const Qt::WindowFlags above =
        Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint | Qt::WindowStaysOnTopHint;
    // A dialog, not a tool window: compositors' X window managers never give a utility window the keyboard.
    if (onXwayland(QGuiApplication::platformName())) return Qt::Dialog | above;
    return Qt::Tool | Qt::BypassWindowManagerHint | above;
}

Box box(const QRect& r) {
    return {double(r.x()), double(r.y()), double(r.width()), double(r.height())};
}

QRect toRect(const Box& b) {
    return {qRound(b.x), qRound(b.y), qRound(b.w), qRound(b.h)};
}

std::string describe(const QRect& r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
           std::to_string(r.height());
}

}  // namespace

PanelWindow::PanelWindow(ModelAdapter& model, Mode mode, std::shared_ptr<Settings> settings)
    : QWidget(nullptr, flagsFor(mode)),
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
    column->setSizeConstraint(QLayout::SetFixedSize);  // as tall as the content (but see showAsWindow)
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
    column->addWidget(content_, 0, Qt::AlignTop);
    hostSections();
    setFixedWidth(panelWidth);
    setFocusPolicy(Qt::StrongFocus);  // Escape reaches the panel itself
    buttonWatch_ = new QTimer(this);
    buttonWatch_->setInterval(30);
    connect(buttonWatch_, &QTimer::timeout, this, &PanelWindow::closeOnceFree);
    if (mode == Mode::popup) {
        // Queued: the check asks the server again, and the panel hides outside the event's own handling.
        focusWatch_ = std::make_unique<x11::FocusLossWatch>(
            [this] { return std::uint32_t(internalWinId()); },
            [this] { QMetaObject::invokeMethod(this, &PanelWindow::keyboardLost, Qt::QueuedConnection); },
            [this] {
                keyboardHeld_ = true;
                closeWhenFree_ = nullptr;
                buttonWatch_->stop();
            });
        // Queued too: a drop is still being delivered when the hover ends.
        connect(content_, &MenuPanel::droppingChanged, this, &PanelWindow::closeOnceFree,
                Qt::QueuedConnection);
    }
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

std::optional<Box> PanelWindow::freeArea(const QScreen* screen) const {
    if (!screen) return std::nullopt;
    return box(screen->availableGeometry());
}

// The content's own size comes only once its widgets are polished and every pending layout request has run
// (the scrolling middle reports its height through them); placed before that, a panel measured its first
// frame alone and then grew past the screen's edge.
void PanelWindow::settle() {
    if (!measured_) {
        // Until a window first shows, its widgets count as hidden and layouts leave them out: the panel
        // would measure its frame alone. A showing that never reaches the screen makes them count.
        measured_ = true;
        measuring_ = true;
        setAttribute(Qt::WA_DontShowOnScreen, true);
        show();
        hide();
        // The native window that showing made sits at the origin; one made afresh at the first real showing
        // starts where the panel goes, which is the place a compositor's X window manager takes.
        destroy();
        setAttribute(Qt::WA_DontShowOnScreen, false);
        measuring_ = false;
    }
    ensurePolished();
    content_->refresh();
    QSize before;
    for (int round = 0; round < 8 && before != contentSize(); ++round) {
        before = contentSize();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        layout()->activate();
    }
}

void PanelWindow::showAt(const QRect& anchor) {
    QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) setScreen(screen);  // the content's height limit is that screen's
    anchor_ = box(anchor);
    screen_ = freeArea(screen);
    settle();
    // A compositor's X window manager takes an X window's place when it first maps it and keeps its own
    // idea of it afterwards: each opening gets a window made afresh, where the panel goes.
    if (onXwayland(QGuiApplication::platformName()) && testAttribute(Qt::WA_WState_Created)) destroy();
    const QSize size = contentSize();
    const QRect at = toRect(PanelGeometry::place(*anchor_, size.width(), size.height(), screen_));
    setGeometry(at);
    show();
    raise();
    activateWindow();
    setFocus(Qt::PopupFocusReason);  // the panel itself, no control of its content
    // The panel grabs nothing, so the server's raw presses tell it of a click outside it (see pointerButton).
    // Under Xwayland they would only tell of clicks on X windows; the dialog form hears its focus loss there.
    if (!onXwayland(QGuiApplication::platformName())) {
        pressWatch_.reset();  // its end takes back the server's selection the next one makes
        pressWatch_ = std::make_unique<x11::PressWatch>([this](bool down) { pointerButton(down); });
        static bool toldDeaf = false;
        const x11::PressWatch::Hearing hearing = pressWatch_->hearing();
        if (hearing != x11::PressWatch::Hearing::presses && hearing != x11::PressWatch::Hearing::noServer &&
            !std::exchange(toldDeaf, true))
            VelmoraLog::write(std::string("painel: ") +
                              (hearing == x11::PressWatch::Hearing::noXInput2
                                   ? "o servidor X não tem XInput 2.1"
                                   : "o servidor X recusou o pedido dos cliques (XInput 2)") +
                              "; um clique fora do painel que não lhe tire o teclado não o fecha");
    }
    VelmoraLog::write("painel aberto em " + describe(at) + " para o ícone em " + describe(anchor) +
                      (screen_ ? " na tela " + describe(toRect(*screen_)) : std::string()));
}

// A compositor places a new window itself, centred at the size it first maps at, and some (weston) ignore
// the place asked for: a window that grew later, as the phone's session filled the panel, ran off the
// screen's bottom. The window therefore maps at the tallest the content may become on that screen (its
// limit already leaves room for a title bar) and keeps that height; longer content scrolls inside it.
void PanelWindow::showAsWindow() {
    settle();
    const QSize size(panelWidth, std::max(contentSize().height(), int(content_->maxHeight())));
    layout()->setSizeConstraint(QLayout::SetNoConstraint);
    setFixedSize(size);
    heightKept_ = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // The frame the window manager adds is unknown before the first showing; a title bar and borders
        // of this much are what desktops draw. The content is already at most 60 less than the screen.
        constexpr int frame = 40;
        const QRect at = toRect(
            PanelGeometry::centreIn(size.width(), size.height() + frame, box(screen->availableGeometry())));
        move(at.x(), at.y() + frame / 2);
    }
    show();
}

bool PanelWindow::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest && !heightKept_) {
        const QSize want = contentSize();
        const Box frame = box(geometry());
        const auto next = anchor_
                              ? PanelGeometry::refit(frame, *anchor_, want.width(), want.height(), screen_)
                              : PanelGeometry::followSize(frame, want.width(), want.height());
        if (next) {
            setGeometry(toRect(*next));
            if (isVisible()) VelmoraLog::write("painel reajustado para " + describe(toRect(*next)));
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
        dismiss("Escape");
        return;
    }
    QWidget::keyPressEvent(event);
}

// Losing activation closes the panel (see keyboardLost), but only once it had it: a window manager may report
// the panel inactive before it first activates it.
void PanelWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || mode_ != Mode::popup || !isVisible()) return;
    if (isActiveWindow()) {
        wasActive_ = true;
    } else if (wasActive_) {
        keyboardLost();
    }
}

// Where an X server tells, its input focus decides whether the keyboard really left. Qt's xcb plugin, once a
// window of the program loses the keyboard (the pairing dialog leaving the screen), reports "no window
// active" 100 ms later unless one of its windows hears a FocusIn first; a panel that became active meanwhile
// by the echo of its own activation request does not stop that report, which then arrives while the server
// gives the panel the keyboard, just before the panel's own FocusIn. On a busy machine the compositor may
// give it the keyboard only after that report: a keyboard the server never gave the panel cannot have left
// it. The server also tells of a real loss that Qt, so misled, would no longer report (FocusLossWatch).
void PanelWindow::keyboardLost() {
    if (!isVisible() || dismissing_ || measuring_) return;
    if (const auto focus = x11::inputFocus()) {
        if (*focus == std::uint32_t(internalWinId())) {
            keyboardHeld_ = true;
            VelmoraLog::write(
                "painel mantido: o Qt o deu por inativo, mas o servidor X ainda lhe dá o teclado");
            return;
        }
        if (!keyboardHeld_) {
            VelmoraLog::write(
                "painel mantido: o Qt o deu por inativo, mas o servidor X ainda não lhe deu o teclado");
            return;
        }
    }
    closeWhenFree_ = "perdeu o foco";
    closeOnceFree();
}

// A press outside the panel that the keyboard does not follow (the bare desktop, a panel clock, another tray
// icon, a window that takes no keyboard) closes it as the button comes up, as a click on another window
// does; a press on the panel itself or on a popup of the program (its footer's menu, a list's choices)
// changes nothing. The watch tells of the press before any window of the program handles it, while a menu
// the press is meant for still shows: where it went is settled then, and the closing waits for the release,
// outside the watch's own call.
void PanelWindow::pointerButton(bool down) {
    if (!isVisible() || dismissing_) return;
    if (down) {
        pressedOutside_ = !onOwnWindow(QCursor::pos());
        return;
    }
    if (!pressedOutside_) return;
    pressedOutside_ = false;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!closeWhenFree_) closeWhenFree_ = "clique fora";
            closeOnceFree();
        },
        Qt::QueuedConnection);
}

bool PanelWindow::onOwnWindow(const QPoint& at) const {
    if (frameGeometry().contains(at)) return true;
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [&](const QWidget* w) {
        const Qt::WindowType type = w->windowType();
        return w->isVisible() && (type == Qt::Popup || type == Qt::ToolTip) &&
               w->frameGeometry().contains(at);
    });
}

// The keyboard has left: closes the panel unless a pointer button is held (the press may be starting a drag
// towards the panel) or a drag of files hovers over it. The release goes to another program, so the server is
// asked until then.
void PanelWindow::closeOnceFree() {
    if (!closeWhenFree_ || !isVisible() || dismissing_) return;
    if (content_->dropping() || x11::pointerButtonHeld().value_or(false)) {
        if (!buttonWatch_->isActive())
            VelmoraLog::write("painel mantido: o teclado saiu com um botão do ponteiro pressionado");
        buttonWatch_->start();
        return;
    }
    dismiss(closeWhenFree_);
}

// Hiding deactivates the window, and the change of activation comes while the window still counts as
// visible: without the guard it would hide it a second time from inside the first hide.
void PanelWindow::dismiss(const char* why) {
    if (!isVisible() || dismissing_) return;
    dismissing_ = true;
    wasActive_ = false;
    closeWhenFree_ = nullptr;
    pressedOutside_ = false;
    buttonWatch_->stop();
    VelmoraLog::write(std::string("painel fechado: ") + why);
    hide();
    dismissing_ = false;
}

void PanelWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    wasActive_ = false;
    keyboardHeld_ = false;
    closeWhenFree_ = nullptr;
    pressedOutside_ = false;
    buttonWatch_->stop();
    pressWatch_.reset();
    if (!measuring_) emit hidden();
}

// The window stands in for the tray: closing it is the user's way to quit.
void PanelWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (mode_ == Mode::window) QApplication::quit();
}

}  // namespace velmora

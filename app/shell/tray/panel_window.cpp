#include "app/shell/tray/panel_window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

#include "app/design/theme.h"
#include "app/shell/model_adapter.h"
#include "app/shell/panel/menu_panel.h"
#include "app/shell/panel/model_panel.h"
#include "core/settings/memory_settings.h"

namespace velmora {

PanelWindow::PanelWindow(ModelAdapter& model, Mode mode, std::shared_ptr<Settings> settings)
    : QWidget(nullptr, mode == Mode::popup ? Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint
                                           : Qt::Window),
      model_(model),
      mode_(mode),
      settings_(settings ? std::move(settings) : std::make_shared<MemorySettings>()) {
    setObjectName(QStringLiteral("panel"));
    setWindowTitle(QStringLiteral("Velmora"));
    if (mode == Mode::popup) setAttribute(Qt::WA_TranslucentBackground);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSizeConstraint(QLayout::SetFixedSize);
    const auto shared = model_.model().shared_from_this();
    content_ =
        new MenuPanel(modelReader(shared, settings_), modelActions(shared), *settings_, placeholderBody);
    content_->setPaintsBackground(false);  // the window paints the rounded plate
    column->addWidget(content_);
    setFixedWidth(panelWidth);
    setFocusPolicy(Qt::StrongFocus);  // Escape reaches the panel itself
    connect(&model_, &ModelAdapter::changed, content_, &MenuPanel::refresh);
    resize(contentSize());
}

PanelWindow::~PanelWindow() = default;

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

#include "app/shell/tray/status_item.h"

#include <QCursor>
#include <QStandardPaths>
#include <QSystemTrayIcon>

#include "app/design/appearance.h"
#include "app/design/brand.h"
#include "app/design/theme.h"
#include "app/design/tray_symbol.h"
#include "app/shell/model_adapter.h"
#include "app/shell/tray/activation_point.h"
#include "app/shell/tray/status_text.h"
#include "core/log/velmora_log.h"
#include "platform/tray_host/tray_host.h"

namespace velmora {

StatusItem::StatusItem(ModelAdapter& model, bool trayAvailable, std::function<double()> now,
                       std::shared_ptr<Settings> settings)
    : model_(model), now_(std::move(now)) {
    panel_ = std::make_unique<PanelWindow>(
        model, trayAvailable ? PanelWindow::Mode::popup : PanelWindow::Mode::window, std::move(settings));
    connect(panel_.get(), &PanelWindow::hidden, this, [this] { lastHidden_ = now_(); });
    if (trayAvailable) {
        ActivationPoint::install();
        tray_ = new QSystemTrayIcon(this);
        connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger) click();
        });
    }
    connect(&model_, &ModelAdapter::changed, this, &StatusItem::updateLabel);
    // A theme switch may bring the tray new colours.
    connect(&AppearanceSource::instance(), &AppearanceSource::changed, this, [this] {
        learnTray();
        updateLabel();
    });
    learnTray();
    updateLabel();
    if (tray_) {
        tray_->show();
        return;
    }
    VelmoraLog::write("bandeja do sistema indisponível: o painel abre como janela comum");
    panel_->showAsWindow();
}

StatusItem::~StatusItem() = default;

void StatusItem::updateLabel() {
    const ConnState& state = model_.state().state;
    connected_ = state.kind() == ConnState::Kind::connected;
    const QString tip = QString::fromStdString(StatusText::toolTip(state));
    panel_->setAccessibleName(QString::fromStdString(StatusText::accessibleName(state)));
    if (!tray_) {
        panel_->setWindowTitle(tip);  // the tooltip's text begins with the program's name already
        return;
    }
    // The icon engine draws the glyph again at every size the tray asks for.
    tray_->setIcon(Brand::menuBarIcon(
        connected_, 22, TraySymbol::inkFor(host_.textColor),
        host_.kind == TrayHost::Kind::statusNotifier ? TraySymbol::themeName(connected_) : QString()));
    tray_->setToolTip(tip);
}

// What the tray tells of its colours. A host on D-Bus looks the symbolic icon up by name in the desktop's
// icon theme, where the user's own icon folder belongs.
void StatusItem::learnTray() {
    if (!tray_) return;
    host_ = probeTrayHost();
    if (host_.kind != TrayHost::Kind::statusNotifier) return;
    const QString icons =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/icons");
    if (!TraySymbol::install(icons))
        VelmoraLog::write("ícone simbólico da bandeja não gravado em " + icons.toStdString());
}

void StatusItem::click() {
    if (!tray_) return;
    const std::optional<PanelGeometry::Point> activation = ActivationPoint::take();
    if (panel_->isVisible()) {
        panel_->hide();
        return;
    }
    if (!PanelGeometry::clickShows(now_() - lastHidden_)) {
        VelmoraLog::write("clique no ícone ignorado: o painel acabou de fechar");
        return;
    }
    panel_->showAt(anchor(activation));
}

// The icon's place on screen. StatusNotifierItem hosts tell none but send the click's point; other trays
// without geometry leave the pointer, which just clicked the icon, to stand in.
QRect StatusItem::anchor(const std::optional<PanelGeometry::Point>& activation) const {
    const QRect g = tray_->geometry();
    std::optional<Box> icon;
    if (g.isValid()) icon = Box{double(g.x()), double(g.y()), double(g.width()), double(g.height())};
    const QPoint pointer = QCursor::pos();
    const Box at = PanelGeometry::anchorFor(icon, activation, {double(pointer.x()), double(pointer.y())});
    return {qRound(at.x), qRound(at.y), qRound(at.w), qRound(at.h)};
}

}  // namespace velmora

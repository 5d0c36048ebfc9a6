#include "app/shell/pairing/pairing_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "app/shell/logic/display_choice.h"
#include "app/shell/logic/pairing_code.h"
#include "app/shell/pairing/pairing_model.h"
#include "app/shell/pairing/pairing_view.h"
#include "core/l10n/l10n.h"

namespace velmora::PairingDialog {
namespace {

// Under Xwayland the compositor ignores the X "keep above" state, so a window of ours shown later (the panel,
// a message box) would cover the dialog while it still waits for the user's answer. Whenever another of our
// windows takes activation from it, the dialog comes back on top; windows of other programs are the user's
// choice and are left alone.
class AboveOwnWindows final : public QObject {
  public:
    explicit AboveOwnWindows(QWidget& dialog) : QObject(&dialog), dialog_(dialog) {
        if (onXwayland(QGuiApplication::platformName())) dialog.installEventFilter(this);
    }

  private:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &dialog_ && event->type() == QEvent::WindowDeactivate) {
            QTimer::singleShot(0, this, [this] {
                const QWidget* active = QApplication::activeWindow();
                if (!dialog_.isVisible() || !active || active == &dialog_) return;
                dialog_.raise();
                dialog_.activateWindow();
            });
        }
        return false;
    }
    QWidget& dialog_;
};

}  // namespace

bool run(const std::string& peerName, const std::string& code) {
    PairingModel model(peerName, code, PairingCode::validSeconds, false);
    // Titled and closable only: no maximise or minimise button, and a size the window manager cannot change
    // (the fixed-size hint makes a manager that ignores the button hints refuse to maximise it too).
    QDialog dialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint |
                                Qt::MSWindowsFixedSizeDialogHint);
    dialog.setWindowTitle(QString::fromStdString(L10n::string("pairing.window_title")));
    dialog.setObjectName(QStringLiteral("pairingDialog"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // no resizing
    auto* view = new PairingView(model, &dialog);
    layout->addWidget(view);

    bool decision = false;
    model.onDecide = [&](bool yes) {
        decision = yes;
        dialog.done(yes ? 1 : 0);
    };

    QTimer countdown;
    countdown.setTimerType(Qt::PreciseTimer);
    QObject::connect(&countdown, &QTimer::timeout, &model,
                     [&model] { model.setLeft(PairingCode::tick(model.left())); });
    countdown.start(1000);

    // A coarse timer may fire early and a one-shot would then never enable Confirm: a precise timer on a
    // monotonic clock, re-armed for whatever is left.
    QElapsedTimer opened;
    opened.start();
    QTimer readiness;
    readiness.setSingleShot(true);
    readiness.setTimerType(Qt::PreciseTimer);
    QObject::connect(&readiness, &QTimer::timeout, &model, [&] {
        const double wait = PairingCode::readinessWait(static_cast<double>(opened.nsecsElapsed()) / 1e9);
        if (wait > 0) {
            readiness.start(static_cast<int>(std::ceil(wait * 1000)));
            return;
        }
        model.setReady(true);
    });
    readiness.start(static_cast<int>(PairingCode::readyAfter * 1000));

    new AboveOwnWindows(dialog);  // the dialog owns it
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    view->setFocus();  // Return and Escape reach the view's rules, not QDialog's
    const int response = dialog.exec();
    countdown.stop();
    readiness.stop();
    dialog.hide();
    return response == 1 && decision;
}

}  // namespace velmora::PairingDialog

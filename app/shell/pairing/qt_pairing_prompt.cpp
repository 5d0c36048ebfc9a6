#include "app/shell/pairing/qt_pairing_prompt.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include "app/design/buttons.h"
#include "app/shell/pairing/pairing_dialog.h"
#include "app/shell/pairing/pairing_view.h"
#include "core/log/velmora_log.h"

namespace velmora {
namespace {

QDialog* openPairingDialog() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog && dialog->isVisible() && dialog->objectName() == QLatin1String("pairingDialog"))
            return dialog;
    }
    return nullptr;
}

// Presses the dialog's Confirm once it is usable (yes) or Cancel at once (no), polling the open dialog.
void pressFor(bool yes) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, yes] {
        QDialog* dialog = openPairingDialog();
        PairingView* view = dialog ? dialog->findChild<PairingView*>() : nullptr;
        if (!view) return;
        if (!yes) {
            dialog->reject();
        } else if (view->confirmButton()->isEnabled()) {
            view->confirmButton()->click();
        } else {
            return;
        }
        poll->deleteLater();
    });
    poll->start(50);
}

}  // namespace

std::optional<bool> devPairingAnswer() {
    const QByteArray value = qgetenv("VELMORA_DEV_PAIRING_ANSWER");
    if (value == "yes") return true;
    if (value == "no") return false;
    return std::nullopt;
}

QtPairingPrompt::QtPairingPrompt(std::optional<bool> autoAnswer) : autoAnswer_(autoAnswer) {}

QtPairingPrompt::~QtPairingPrompt() {
    dismissAll();
}

bool QtPairingPrompt::confirm(const Peer& peer, const std::string& code) {
    auto answer = std::make_shared<Answer>();
    auto future = answer->promise.get_future();
    {
        std::lock_guard lock(mutex_);
        if (dismissed_) return false;
        pending_ = answer;
    }
    QMetaObject::invokeMethod(
        &context_,
        [answer, name = peer.name, code, autoAnswer = autoAnswer_] {
            if (answer->done.load()) return;  // dismissed before the dialog could show
            if (autoAnswer) {
                VelmoraLog::write(std::string("pareamento: resposta automática de desenvolvimento: ") +
                                  (*autoAnswer ? "sim" : "não"));
                pressFor(*autoAnswer);
            }
            answer->give(PairingDialog::run(name, code));
        },
        Qt::QueuedConnection);
    const bool yes = future.get();
    std::lock_guard lock(mutex_);
    if (pending_ == answer) pending_.reset();
    return yes;
}

void QtPairingPrompt::dismissAll() {
    {
        std::lock_guard lock(mutex_);
        dismissed_ = true;
        if (pending_) pending_->give(false);
    }
    QMetaObject::invokeMethod(
        &context_,
        [] {
            if (QDialog* dialog = openPairingDialog()) dialog->reject();
        },
        Qt::QueuedConnection);
}

}  // namespace velmora

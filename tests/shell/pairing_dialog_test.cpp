// The pairing dialog as the user drives it: which key or button answers what, Confirm's readiness, the
// expired form, and the prompt that a connecting thread waits on.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <future>
#include <thread>

#include "app/design/buttons.h"
#include "app/shell/pairing/pairing_dialog.h"
#include "app/shell/pairing/pairing_model.h"
#include "app/shell/pairing/pairing_view.h"
#include "app/shell/pairing/qt_pairing_prompt.h"
#include "core/identity/peer.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

QDialog* shownDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible() && d->objectName() == "pairingDialog")
            return d;
    return nullptr;
}

// Runs the dialog and calls `act` on it every 10 ms until `act` says it is done; gives up (answering no)
// after a minute.
bool runAnd(const std::function<bool(QDialog&, PairingView&)>& act) {
    QTimer poll;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QDialog* d = shownDialog();
        if (d && waited.elapsed() > 60'000) d->reject();
        if (d && act(*d, *d->findChild<PairingView*>())) poll.stop();
    });
    poll.start(10);
    return PairingDialog::run("Nimbo 7", "615 027");
}

TEST(PairingDialog, EveryWayOutButConfirmAnswersNo) {
    const struct {
        const char* what;
        std::function<void(QDialog&, PairingView&)> act;
    } rows[] = {
        {"Return", [](QDialog&, PairingView& v) { QTest::keyClick(&v, Qt::Key_Return); }},
        {"Escape", [](QDialog&, PairingView& v) { QTest::keyClick(&v, Qt::Key_Escape); }},
        {"window closed", [](QDialog& d, PairingView&) { d.close(); }},
        {"Cancel", [](QDialog& d, PairingView&) { d.findChild<SecondaryButton*>()->click(); }},
    };
    for (const auto& row : rows) {
        EXPECT_FALSE(runAnd([&](QDialog& d, PairingView& v) { return row.act(d, v), true; })) << row.what;
        EXPECT_EQ(shownDialog(), nullptr) << row.what;
    }
}

// The window keeps its size (nothing to maximise or resize) and its primary button has room around its label.
TEST(PairingDialog, FixedSizeAndAPaddedPrimaryButton) {
    bool checked = false;
    runAnd([&](QDialog& d, PairingView& v) {
        EXPECT_FALSE(d.windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_FALSE(d.windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_EQ(d.minimumSize(), d.maximumSize());
        QAbstractButton* confirm = v.confirmButton();
        const int label = confirm->fontMetrics().horizontalAdvance(confirm->text());
        EXPECT_GE(confirm->width() - label, 2 * 16) << confirm->text().toStdString();
        checked = true;
        d.reject();
        return true;
    });
    EXPECT_TRUE(checked);
}

TEST(PairingDialog, ConfirmIsUsableOnlyAfterItsDelayAndThenAnswersYes) {
    QElapsedTimer beforeOpening;  // started before the dialog's own clock, so never later than it
    beforeOpening.start();
    qint64 enabledAfter = -1;
    const bool answer = runAnd([&](QDialog&, PairingView& v) {
        // Clicked while disabled, Confirm must not answer (enabledAfter would stay -1).
        const bool usable = v.confirmButton()->isEnabled();
        if (usable) enabledAfter = beforeOpening.elapsed();
        v.confirmButton()->click();
        return usable;
    });
    EXPECT_TRUE(answer);
    EXPECT_GE(enabledAfter, 1500);
}

TEST(PairingDialog, ExpiredFormOffersOnlyCloseAndIgnoresEscape) {
    PairingModel model("Nimbo 7", "615027", 1, true);
    std::vector<bool> answers;
    model.onDecide = [&](bool yes) { answers.push_back(yes); };
    PairingView view(model);
    view.show();
    model.setLeft(PairingCode::tick(model.left()));
    ASSERT_TRUE(model.expired());
    std::vector<QString> shown;
    for (auto* b : view.findChildren<QAbstractButton*>())
        if (b->isVisible()) shown.push_back(b->text());
    EXPECT_EQ(shown, std::vector<QString>{QString::fromStdString(L10n::string("common.close"))});
    // Nothing still tells to cancel: the warning about differing codes goes with the code's validity.
    for (auto* label : view.findChildren<QLabel*>())
        EXPECT_FALSE(label->isVisible() &&
                     label->text() == QString::fromStdString(L10n::string("pairing.mismatch_warning")));
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_TRUE(answers.empty());
    QTest::keyClick(&view, Qt::Key_Return);
    for (auto* b : view.findChildren<PrimaryButton*>())
        if (b->isVisible()) b->click();
    EXPECT_EQ(answers, (std::vector<bool>{false, false}));
}

// Turns the event loop until `future` has its value (a minute at most).
template <class T>
bool settle(std::future<T>& future) {
    QElapsedTimer waited;
    waited.start();
    while (future.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        if (waited.elapsed() > 60'000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

TEST(QtPairingPrompt, ConnectingThreadWaitsForTheAnswerAndQuittingRefusesEveryPrompt) {
    QtPairingPrompt yes(true);  // the developer switch presses Confirm once it is usable
    auto confirmed = std::async(std::launch::async, [&] {
        return yes.confirm(Peer{"id", {}, "Nimbo 7", "android"}, "615027");
    });
    ASSERT_TRUE(settle(confirmed));
    EXPECT_TRUE(confirmed.get());

    // Quitting while a prompt shows: the waiting thread gets no, the dialog closes, later prompts get no at
    // once.
    QtPairingPrompt prompt;
    bool sawDialog = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!shownDialog()) return;
        sawDialog = true;
        poll.stop();
        prompt.dismissAll();
    });
    poll.start(10);
    auto waiting = std::async(std::launch::async, [&] {
        return prompt.confirm(Peer{"id", {}, "Nimbo 7", "android"}, "615027");
    });
    ASSERT_TRUE(settle(waiting));
    EXPECT_FALSE(waiting.get());
    EXPECT_TRUE(sawDialog);
    QCoreApplication::processEvents();
    EXPECT_EQ(shownDialog(), nullptr);
    auto later = std::async(std::launch::async, [&] {
        return prompt.confirm(Peer{"id", {}, "Nimbo 7", "android"}, "1");
    });
    ASSERT_TRUE(settle(later));
    EXPECT_FALSE(later.get());
}

}  // namespace
}  // namespace velmora

#include "live/live_app.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include <gtest/gtest.h>

#include "app/design/fold_row.h"
#include "app/entry/app_ports.h"
#include "app/links/usb_bridge.h"
#include "app/links/usb_bridge_link.h"
#include "app/shell/main_executor.h"
#include "app/shell/pairing/qt_pairing_prompt.h"
#include "app/shell/panel/menu_panel.h"
#include "app/shell/prefs/prefs_section.h"
#include "app/shell/tray/panel_window.h"
#include "app/shell/tray/status_item.h"
#include "core/exec/serial_queue.h"
#include "core/l10n/l10n.h"
#include "core/process/posix_process_runner.h"
#include "live/live_desktop.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace velmora::live {
namespace {

double monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

bool until(const std::function<bool()>& done, double seconds) {
    return test::waitUntil(
        [&] {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            return done();
        },
        seconds);
}

std::shared_ptr<void> whenShown(std::function<bool()> ready, std::function<void()> step) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer,
                     [timer, ready = std::move(ready), step = std::move(step)] {
                         if (!ready()) return;
                         timer->stop();
                         step();
                     });
    timer->start();
    // Dropped by the story's code, never inside the timer's own call.
    return std::shared_ptr<void>(timer, [](void* t) { delete static_cast<QTimer*>(t); });
}

void click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

void type(QWidget* w, const QString& text) {
    // QTest's own typing knows only ASCII: each character goes as a key event carrying its text.
    for (const QChar c : text) {
        const int key =
            c.isLetterOrNumber() && c.unicode() < 128 ? int{c.toUpper().unicode()} : int{Qt::Key_unknown};
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &release);
    }
}

QAbstractButton* findButton(QWidget* root, const QString& text) {
    for (auto* b : root->findChildren<QAbstractButton*>())
        if (b->isVisible() && (b->text() == text || b->accessibleName() == text)) return b;
    return nullptr;
}

QWidget* findVisible(QWidget* root, const char* className) {
    for (auto* w : root->findChildren<QWidget*>())
        if (w->isVisible() && w->inherits(className)) return w;
    return nullptr;
}

QWidget* topWindow(const QString& objectName) {
    for (auto* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == objectName) return w;
    return nullptr;
}

QString tr(const char* key) {
    return QString::fromStdString(L10n::string(key));
}

void shot(QWidget* w, const std::string& story, const std::string& step) {
    const QString dir = QStringLiteral(VELMORA_ARTIFACTS_DIR "/live");
    QDir().mkpath(dir);
    w->grab().save(dir + "/" + QString::fromStdString(story + "-" + step + ".png"));
}

LiveApp::LiveApp(Options options)
    : main_(std::make_shared<MainThreadExecutor>()),
      prompt_(std::make_shared<QtPairingPrompt>(options.pairingAnswer)) {
    ModelPorts ports = applicationPorts(main_, prompt_);
    // The program's own cable bridge, on the stand-in adb of this desktop (the real one's server is shared by
    // every program of this user).
    ports.usb = std::make_shared<UsbBridgeLink>(std::make_unique<UsbBridge>(
        Desktop::instance().adb().string(), std::make_shared<SerialQueue>("corvix.usb"),
        std::make_shared<PosixProcessRunner>()));
    root_ = ApplicationRoot::create(std::move(ports), options.tray, monotonicSeconds);
}

LiveApp::~LiveApp() {
    quit();
    // A failed story shows what the program logged, as a person reading its log would.
    if (::testing::Test::HasFailure()) {
        std::fprintf(
            stderr, "--- velmora.log ---\n%s--- end ---\n",
            test::readFile(Desktop::instance().home() / "state" / "Velmora" / "velmora.log").c_str());
        std::fprintf(stderr, "--- adb calls ---\n%s--- end ---\n",
                     test::readFile(Desktop::instance().adb().parent_path() / "calls").c_str());
    }
}

PanelWindow& LiveApp::panel() const {
    return root_->item().panel();
}

StatusItem& LiveApp::item() const {
    return root_->item();
}

void LiveApp::connectTo(const std::string& address) {
    PanelWindow& p = panel();
    FoldRow* prefs = p.content().prefsRow();
    if (!p.prefs().addressField()->isVisible()) click(prefs->header());
    until([&] { return p.prefs().addressField()->isVisible(); });
    QLineEdit* field = p.prefs().addressField();
    click(field);
    type(field, QString::fromStdString(address));
    click(findButton(&p.prefs(), tr("common.connect")));
}

bool LiveApp::logHas(const std::string& text) const {
    return test::readFile(Desktop::instance().home() / "state" / "Velmora" / "velmora.log").find(text) !=
           std::string::npos;
}

void LiveApp::quit() {
    root_.reset();
    prompt_.reset();
    QApplication::processEvents();
}

}  // namespace velmora::live

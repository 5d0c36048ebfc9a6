#include "app/entry/application.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <chrono>
#include <iostream>

#include "app/design/kit_style.h"
#include "app/entry/app_ports.h"
#include "app/entry/application_root.h"
#include "app/entry/dev_connect.h"
#include "app/entry/display_facts.h"
#include "app/entry/instance_lock.h"
#include "app/entry/qt_translations.h"
#include "app/entry/quit_signals.h"
#include "app/shell/main_executor.h"
#include "app/shell/pairing/qt_pairing_prompt.h"
#include "app/shell/tray/status_item.h"
#include "core/l10n/l10n.h"
#include "core/log/velmora_log.h"

namespace velmora {
namespace {

double monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int runApplication(int& argc, char** argv) {
    const InstanceLock lock;
    if (lock.outcome() == InstanceLock::Outcome::otherInstance) {
        VelmoraLog::write("Velmora já está em execução: esta instância termina");
        VelmoraLog::flush();
        return 0;
    }
    VelmoraLog::write(lock.note());

    const DisplayFacts facts = displayFacts();
    const DisplayChoice display = chooseDisplay(facts);
    if (display.kind == DisplayChoice::Kind::none) {
        std::cerr << "velmora: " << display.note << std::endl;
        VelmoraLog::write(L10n::forLog([&facts] { return chooseDisplay(facts).note; }));
        VelmoraLog::flush();
        return 1;
    }
    if (display.kind == DisplayChoice::Kind::xcb) qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);  // the dialogs come and go; the tray stays
    installKitStyle(app);  // menus, tooltips, scroll bars and fields in the kit's look
    if (!installQtTranslations(L10n::languageCode()) && !qtCatalogue(L10n::languageCode()).isEmpty())
        VelmoraLog::write("traduções do Qt ausentes: diálogos do Qt em inglês");
    const QuitSignals quitSignals;
    VelmoraLog::write("Velmora iniciando");
    if (!display.note.empty()) VelmoraLog::write(display.note);

    auto main = std::make_shared<MainThreadExecutor>();
    auto prompt = std::make_shared<QtPairingPrompt>(devPairingAnswer());
    EntryLinks links{&quitSignals, std::nullopt};
    auto root = ApplicationRoot::create(applicationPorts(main, prompt, &links),
                                        QSystemTrayIcon::isSystemTrayAvailable(), monotonicSeconds);
    if (!root) return links.exitStatus.value_or(1);  // its alert was shown, and the log is written
    connectFromEnvironment(*root->model());
    const int status = QApplication::exec();
    root.reset();  // the model shuts down first, then the widgets go
    VelmoraLog::write("Velmora encerrado");
    VelmoraLog::flush();
    return status;
}

}  // namespace velmora

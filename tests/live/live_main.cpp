// The whole-application stories' program: the desktop first (home, X server, session bus, stand-in adb), then
// one QApplication on it for every story. Listing the tests starts nothing. Started as "--clip-peer", it is
// another program on the same display that copies a text (and stays until another program copies) or, with
// "--read", prints the clipboard's text; started as "--drag-peer FILE", another program whose window drags
// that file away (drag_peer.h).
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFont>
#include <QMimeData>
#include <cstdio>
#include <string_view>

#include "app/design/kit_style.h"
#include "app/entry/qt_translations.h"
#include "core/l10n/l10n.h"
#include "live/drag_peer.h"
#include "live/live_desktop.h"

namespace {

int clipPeer(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (std::string_view(argv[2]) == "--read")
        return std::fputs(clipboard->text().toUtf8().constData(), stdout), 0;
    clipboard->setText(QString::fromUtf8(argv[2]));
    QObject::connect(clipboard, &QClipboard::dataChanged,
                     [&] { clipboard->ownsClipboard() || (app.quit(), 0); });
    return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--clip-peer") return clipPeer(argc, argv);
    if (argc == 3 && std::string_view(argv[1]) == "--drag-peer")
        return velmora::live::dragPeer(argc, argv, argv[2]);
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::string_view(argv[i]).starts_with("--gtest_list_tests");
    if (listing) {
        testing::InitGoogleTest(&argc, argv);
        return RUN_ALL_TESTS();
    }
    velmora::live::Desktop desktop;
    if (!desktop.problem().empty()) {
        std::fprintf(stderr, "%s\n", desktop.problem().c_str());
        return 1;
    }
    int status = 0;
    {
        QApplication app(argc, argv);
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));
        velmora::installKitStyle(app);  // as the program does: menus, tooltips and fields in the kit's look
        velmora::installQtTranslations(
            velmora::L10n::languageCode());  // Qt's own dialogs in the program's language
        testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    return status;
}

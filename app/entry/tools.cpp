#include "app/entry/tools.h"

#include <QApplication>
#include <QDir>
#include <iostream>

#include "app/design/brand.h"
#include "app/design/brand_geometry.h"
#include "app/entry/snapshots.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

// A tool says on stderr only its one line. Qt's own messages are dropped: the off-screen platform warns of
// every window feature it lacks (fixed sizes, raising, masks) while the pictures are drawn, on success as
// on failure. A fatal one still goes where it went, as the process ends with it.
QtMessageHandler previousHandler = nullptr;

void keepQtMessagesOffStderr(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg && previousHandler) previousHandler(type, context, message);
}

int report(const std::string& line) {
    std::cerr << "velmora: " << line << std::endl;
    return 1;
}

int folderFailed(const QString& folder) {
    return report(L10n::format("tool.folder_failed", {folder.toStdString()}));
}

int iconset(const QString& folder) {
    if (!QDir().mkpath(folder)) return folderFailed(folder);
    const int expected = static_cast<int>(std::size(BrandGeometry::kIconset));
    const int written = Brand::writeIconset(folder);
    if (written == expected) return 0;
    const int failed = expected - written;
    return report(failed == 1
                      ? L10n::format("tool.icons_failed.one", {std::int64_t{expected}, folder.toStdString()})
                      : L10n::format("tool.icons_failed",
                                     {std::int64_t{failed}, std::int64_t{expected}, folder.toStdString()}));
}

// Every picture is attempted whatever failed before; the one line tells the first cause.
int snapshot(const QString& folder) {
    const Snapshots::Outcome outcome = Snapshots::run(folder);
    if (!outcome.folderMade) return folderFailed(folder);
    if (outcome.failed == 0) return 0;
    return report(outcome.failed == 1 ? L10n::format("tool.pictures_failed.one", {folder.toStdString()})
                                      : L10n::format("tool.pictures_failed",
                                                     {std::int64_t{outcome.failed}, folder.toStdString()}));
}

}  // namespace

int runTool(const LaunchChoice& choice, int& argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Before Qt starts: its start warns too (no XDG_RUNTIME_DIR, as under su or in a bare shell).
    previousHandler = qInstallMessageHandler(keepQtMessagesOffStderr);
    QApplication app(argc, argv);
    const QString folder = QString::fromStdString(choice.folder);
    return choice.mode == LaunchChoice::Mode::snapshot ? snapshot(folder) : iconset(folder);
}

}  // namespace velmora

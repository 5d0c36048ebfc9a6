#include "app/entry/tools.h"

#include <QApplication>
#include <QDir>
#include <iostream>

#include "app/design/brand.h"
#include "app/design/brand_geometry.h"
#include "app/entry/snapshots.h"

namespace velmora {
namespace {

// The off-screen platform warns each time a window takes a fixed size, which every picture does: that line
// alone is dropped, everything else goes where it went.
QtMessageHandler previousHandler = nullptr;

void dropSizeHintWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("does not support propagateSizeHints"))) return;
    if (previousHandler) previousHandler(type, context, message);
}

int report(const QString& line) {
    std::cerr << "velmora: " << line.toStdString() << std::endl;
    return 1;
}

int iconset(const QString& folder) {
    if (!QDir().mkpath(folder))
        return report(QStringLiteral("não foi possível criar a pasta %1").arg(folder));
    const int expected = static_cast<int>(std::size(BrandGeometry::kIconset));
    const int written = Brand::writeIconset(folder);
    if (written == expected) return 0;
    return report(QStringLiteral("%1 de %2 ícones não foram gravados em %3")
                      .arg(expected - written)
                      .arg(expected)
                      .arg(folder));
}

// Every picture is attempted whatever failed before; the one line tells the first cause.
int snapshot(const QString& folder) {
    const Snapshots::Outcome outcome = Snapshots::run(folder);
    if (!outcome.folderMade) return report(QStringLiteral("não foi possível criar a pasta %1").arg(folder));
    if (outcome.failed == 0) return 0;
    return report(QStringLiteral("%1 imagens não foram gravadas em %2").arg(outcome.failed).arg(folder));
}

}  // namespace

int runTool(const LaunchChoice& choice, int& argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    previousHandler = qInstallMessageHandler(dropSizeHintWarnings);
    const QString folder = QString::fromStdString(choice.folder);
    return choice.mode == LaunchChoice::Mode::snapshot ? snapshot(folder) : iconset(folder);
}

}  // namespace velmora

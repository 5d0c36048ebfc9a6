#include "app/entry/tools.h"

#include <QApplication>
#include <QDir>
#include <iostream>

#include "app/design/brand.h"
#include "app/design/brand_geometry.h"
#include "app/entry/snapshots.h"

namespace velmora {
namespace {

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

int snapshot(const QString& folder) {
    const int failed = Snapshots::run(folder);
    if (failed == 0) return 0;
    if (failed < 0) return report(QStringLiteral("não foi possível criar a pasta %1").arg(folder));
    return report(QStringLiteral("%1 imagens não foram gravadas em %2").arg(failed).arg(folder));
}

}  // namespace

int runTool(const LaunchChoice& choice, int& argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder = QString::fromStdString(choice.folder);
    return choice.mode == LaunchChoice::Mode::snapshot ? snapshot(folder) : iconset(folder);
}

}  // namespace velmora

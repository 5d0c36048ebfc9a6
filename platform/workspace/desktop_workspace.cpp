#include "platform/workspace/desktop_workspace.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QUrl>

#include "core/l10n/l10n.h"
#include "platform/workspace/portal_file_chooser.h"

namespace velmora {

namespace {

constexpr const char* kFileManager = "org.freedesktop.FileManager1";

std::filesystem::path fromQt(const QString& path) {
    return std::filesystem::path(path.toStdString());
}

QString toQt(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace

std::filesystem::path DesktopWorkspace::downloadsFolder() const {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (!folder.isEmpty()) return fromQt(folder);
    const QString home = QDir::homePath();
    return home.isEmpty() ? std::filesystem::path() : fromQt(home) / "Downloads";
}

void DesktopWorkspace::reveal(const std::filesystem::path& file) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(kFileManager)) {
        QDBusMessage call = QDBusMessage::createMethodCall(kFileManager, "/org/freedesktop/FileManager1",
                                                           kFileManager, "ShowItems");
        call << QStringList{QUrl::fromLocalFile(toQt(file)).toString()} << QString();
        bus.asyncCall(call);
        return;
    }
    open(file.parent_path());
}

void DesktopWorkspace::open(const std::filesystem::path& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(toQt(path)));
}

// The desktop's own chooser through the portal when one answers, else Qt's dialog; both open in the
// person's home folder, not wherever the program was started from.
std::vector<std::filesystem::path> DesktopWorkspace::pickFiles() {
    const QString title = QString::fromStdString(L10n::string("transfer.pick_title"));
    const QString home = QDir::homePath();
    std::optional<QStringList> names;
    if (PortalFileChooser portal(QDBusConnection::sessionBus()); portal.available())
        names = portal.pick(title, home);
    if (!names) names = QFileDialog::getOpenFileNames(nullptr, title, home);
    std::vector<std::filesystem::path> picked;
    for (const QString& name : *names)
        picked.push_back(fromQt(name));
    return picked;
}

}  // namespace velmora

#include "platform/workspace/desktop_workspace.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
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

void openWithDesktop(const std::filesystem::path& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(toQt(path)));
}

}  // namespace

std::filesystem::path DesktopWorkspace::downloadsFolder() const {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (!folder.isEmpty()) return fromQt(folder);
    const QString home = QDir::homePath();
    return home.isEmpty() ? std::filesystem::path() : fromQt(home) / "Downloads";
}

DesktopWorkspace::DesktopWorkspace(QDBusConnection bus) : bus_(std::move(bus)) {}

void DesktopWorkspace::reveal(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    if (!bus_.isConnected()) return openWithDesktop(folder);
    QDBusMessage call = QDBusMessage::createMethodCall(kFileManager, "/org/freedesktop/FileManager1",
                                                       kFileManager, "ShowItems");
    // A URI proper: spaces and letters beyond ASCII percent-encoded, as file managers parse it.
    call << QStringList{QString::fromUtf8(QUrl::fromLocalFile(toQt(file)).toEncoded())} << QString();
    // Asked without checking first whether a file manager runs: the bus starts one that is only installed.
    auto* answer = new QDBusPendingCallWatcher(bus_.asyncCall(call), QCoreApplication::instance());
    QObject::connect(answer, &QDBusPendingCallWatcher::finished, answer,
                     [folder](QDBusPendingCallWatcher* watcher) {
                         if (watcher->isError()) openWithDesktop(folder);
                         watcher->deleteLater();
                     });
}

void DesktopWorkspace::open(const std::filesystem::path& path) {
    openWithDesktop(path);
}

// The desktop's own chooser through the portal when one answers, else Qt's dialog; both open in the
// person's home folder, not wherever the program was started from.
std::vector<std::filesystem::path> DesktopWorkspace::pickFiles() {
    const QString title = QString::fromStdString(L10n::string("transfer.pick_title"));
    const QString home = QDir::homePath();
    std::optional<QStringList> names;
    if (PortalFileChooser portal(bus_); portal.available()) names = portal.pick(title, home);
    if (!names) names = QFileDialog::getOpenFileNames(nullptr, title, home);
    std::vector<std::filesystem::path> picked;
    for (const QString& name : *names)
        picked.push_back(fromQt(name));
    return picked;
}

}  // namespace velmora

#include "platform/workspace/portal_file_chooser.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QUrl>
#include <QVariantMap>

namespace velmora {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kChooser = QStringLiteral("org.freedesktop.portal.FileChooser");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

// The request's object path the portal will use: its rule is the sender's unique name without the colon,
// dots made underscores, then the token. Subscribing to it before the call cannot miss a quick answer.
QString requestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService();
    sender.remove(0, 1).replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

// Receives the one Response signal of a request.
class ResponseWaiter : public QObject {
    Q_OBJECT
  public:
    QEventLoop loop;
    std::optional<uint> code;
    QVariantMap results;

  public slots:
    void onResponse(uint response, const QVariantMap& answer) {
        code = response;
        results = answer;
        loop.quit();
    }
};

}  // namespace

PortalFileChooser::PortalFileChooser(QDBusConnection bus) : bus_(std::move(bus)) {}

bool PortalFileChooser::available() const {
    if (!bus_.isConnected() || !bus_.interface()) return false;
    if (bus_.interface()->isServiceRegistered(kService).value()) return true;
    const QDBusReply<QStringList> activatable =
        bus_.interface()->call(QStringLiteral("ListActivatableNames"));
    return activatable.isValid() && activatable.value().contains(kService);
}

std::optional<QStringList> PortalFileChooser::pick(const QString& title, const QString& folder) {
    if (!bus_.isConnected()) return std::nullopt;
    const QString token = QStringLiteral("velmora%1").arg(QRandomGenerator::global()->generate());
    const QString path = requestPath(bus_, token);
    ResponseWaiter waiter;
    bus_.connect(kService, path, kRequest, QStringLiteral("Response"), &waiter,
                 SLOT(onResponse(uint, QVariantMap)));

    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("multiple"), true);
    // The folder travels as a NUL-terminated byte string.
    options.insert(QStringLiteral("current_folder"), QFile::encodeName(folder) + QByteArray(1, '\0'));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kChooser, QStringLiteral("OpenFile"));
    call << QString() << title << options;
    const QDBusMessage reply = bus_.call(call, QDBus::Block, 10'000);
    std::optional<QStringList> picked;
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        // An older portal may pick a path of its own for the request: follow the one it names.
        const QString handle = reply.arguments().front().value<QDBusObjectPath>().path();
        if (!handle.isEmpty() && handle != path) {
            bus_.disconnect(kService, path, kRequest, QStringLiteral("Response"), &waiter,
                            SLOT(onResponse(uint, QVariantMap)));
            bus_.connect(kService, handle, kRequest, QStringLiteral("Response"), &waiter,
                         SLOT(onResponse(uint, QVariantMap)));
        }
        // A portal that goes away mid-question will not answer: stop waiting then.
        QDBusServiceWatcher gone(kService, bus_, QDBusServiceWatcher::WatchForUnregistration);
        QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered, &waiter.loop, &QEventLoop::quit);
        if (!waiter.code) waiter.loop.exec();
        // 0: chosen; 1: cancelled by the person; 2: ended another way (the dialog failed).
        if (waiter.code == 0u) {
            QStringList files;
            for (const QString& uri : waiter.results.value(QStringLiteral("uris")).toStringList()) {
                const QUrl url(uri);
                if (url.isLocalFile()) files << url.toLocalFile();
            }
            picked = files;
        } else if (waiter.code == 1u) {
            picked = QStringList();
        }
    }
    bus_.disconnect(kService, path, kRequest, QStringLiteral("Response"), &waiter,
                    SLOT(onResponse(uint, QVariantMap)));
    return picked;
}

}  // namespace velmora

#include "portal_file_chooser.moc"

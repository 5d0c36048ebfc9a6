#include "platform/appearance/desktop_color_scheme.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace velmora {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString kColorSchemeKey = QStringLiteral("color-scheme");

// The portal's Read wraps the value in one variant more than its SettingChanged signal does.
QVariant unwrap(QVariant v) {
    while (v.canConvert<QDBusVariant>() && v.userType() == qMetaTypeId<QDBusVariant>()) {
        v = v.value<QDBusVariant>().variant();
    }
    return v;
}

ColorSchemePreference schemeFromVariant(const QVariant& raw) {
    const QVariant v = unwrap(raw);
    bool ok = false;
    const uint scheme = v.toUInt(&ok);
    if (!ok) return ColorSchemePreference::none;
    return colorSchemeFromPortal(scheme);
}

}  // namespace

ColorSchemePreference colorSchemeFromPortal(std::uint32_t value) {
    if (value == 1) return ColorSchemePreference::dark;
    if (value == 2) return ColorSchemePreference::light;
    return ColorSchemePreference::none;
}

DesktopColorScheme::DesktopColorScheme(QObject* parent) : QObject(parent) {}

void DesktopColorScheme::follow(const QDBusConnection& bus) {
    if (!bus.isConnected()) return;
    QDBusConnection(bus).connect(kPortalService, kPortalPath, kSettingsInterface,
                                 QStringLiteral("SettingChanged"), this,
                                 SLOT(onPortalSettingChanged(QDBusMessage)));
    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kSettingsInterface,
                                                       QStringLiteral("Read"));
    call << kAppearanceGroup << kColorSchemeKey;
    // A change signal that arrives before this reply was sent before it, so the reply is never the older
    // news: whichever comes last is the desktop's setting.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &DesktopColorScheme::onReadFinished);
}

void DesktopColorScheme::followSessionBusLater() {
    QMetaObject::invokeMethod(
        this, [this] { follow(QDBusConnection::sessionBus()); }, Qt::QueuedConnection);
}

void DesktopColorScheme::onReadFinished(QDBusPendingCallWatcher* watcher) {
    watcher->deleteLater();
    const QDBusMessage reply = watcher->reply();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
    setPreference(schemeFromVariant(reply.arguments().constFirst()));
}

void DesktopColorScheme::onPortalSettingChanged(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.size() < 3) return;
    if (args.at(0).toString() != kAppearanceGroup || args.at(1).toString() != kColorSchemeKey) return;
    setPreference(schemeFromVariant(args.at(2)));
}

void DesktopColorScheme::setPreference(ColorSchemePreference value) {
    if (value == preference_) return;
    preference_ = value;
    emit changed();
}

}  // namespace velmora

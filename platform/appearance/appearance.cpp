#include "platform/appearance/appearance.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QPalette>

namespace velmora {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString kColorSchemeKey = QStringLiteral("color-scheme");

// Start-up must not hang on a bus that does not answer.
constexpr int kPortalTimeoutMs = 500;

// The portal's Read wraps the value in one variant more than its SettingChanged signal does.
QVariant unwrap(QVariant v) {
    while (v.canConvert<QDBusVariant>() && v.userType() == qMetaTypeId<QDBusVariant>()) {
        v = v.value<QDBusVariant>().variant();
    }
    return v;
}

std::optional<Appearance> schemeFromVariant(const QVariant& raw) {
    const QVariant v = unwrap(raw);
    bool ok = false;
    const uint scheme = v.toUInt(&ok);
    if (!ok) return std::nullopt;
    return appearanceFromColorScheme(scheme);
}

}  // namespace

std::optional<Appearance> appearanceFromColorScheme(std::uint32_t value) {
    if (value == 1) return Appearance::dark;
    if (value == 2) return Appearance::light;
    return std::nullopt;
}

Appearance appearanceFromWindowColor(const QColor& window) {
    return window.lightness() < 128 ? Appearance::dark : Appearance::light;
}

AppearanceSource& AppearanceSource::instance() {
    static AppearanceSource* source = nullptr;
    if (!source) {
        source = new AppearanceSource(QDBusConnection::sessionBus(), QGuiApplication::instance());
        QObject::connect(source, &QObject::destroyed, [] { source = nullptr; });
    }
    return *source;
}

AppearanceSource::AppearanceSource(const QDBusConnection& bus, QObject* parent) : QObject(parent), bus_(bus) {
    if (!bus_.isConnected()) return;
    bus_.connect(kPortalService, kPortalPath, kSettingsInterface, QStringLiteral("SettingChanged"), this,
                 SLOT(onPortalSettingChanged(QDBusMessage)));
    readPortal();
}

void AppearanceSource::readPortal() {
    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kSettingsInterface,
                                                       QStringLiteral("Read"));
    call << kAppearanceGroup << kColorSchemeKey;
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kPortalTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
    portal_ = schemeFromVariant(reply.arguments().constFirst());
}

void AppearanceSource::onPortalSettingChanged(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.size() < 3) return;
    if (args.at(0).toString() != kAppearanceGroup || args.at(1).toString() != kColorSchemeKey) return;
    setPortal(schemeFromVariant(args.at(2)));
}

void AppearanceSource::setPortal(std::optional<Appearance> value) {
    if (value == portal_) return;
    portal_ = value;
    if (!forced_) emit changed();
}

Appearance AppearanceSource::current() const {
    if (forced_) return *forced_;
    if (portal_) return *portal_;
    return appearanceFromWindowColor(QGuiApplication::palette().color(QPalette::Window));
}

void AppearanceSource::setOverride(std::optional<Appearance> forced) {
    if (forced == forced_) return;
    forced_ = forced;
    emit changed();
}

}  // namespace velmora

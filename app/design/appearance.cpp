#include "app/design/appearance.h"

#include <QGuiApplication>
#include <QPalette>

#include "platform/appearance/desktop_color_scheme.h"

namespace velmora {

Appearance appearanceFromWindowColor(const QColor& window) {
    return window.lightness() < 128 ? Appearance::dark : Appearance::light;
}

AppearanceSource& AppearanceSource::instance() {
    static AppearanceSource* source = nullptr;
    if (!source) {
        source = new AppearanceSource(QGuiApplication::instance());
        source->desktop_->followSessionBusLater();
        QObject::connect(source, &QObject::destroyed, [] { source = nullptr; });
    }
    return *source;
}

AppearanceSource::AppearanceSource(QObject* parent)
    : QObject(parent), desktop_(new DesktopColorScheme(this)) {
    connect(desktop_, &DesktopColorScheme::changed, this, [this] {
        if (!forced_) emit changed();
    });
}

AppearanceSource::AppearanceSource(const QDBusConnection& bus, QObject* parent) : AppearanceSource(parent) {
    desktop_->follow(bus);
}

Appearance AppearanceSource::current() const {
    if (forced_) return *forced_;
    switch (desktop_->preference()) {
        case ColorSchemePreference::dark:
            return Appearance::dark;
        case ColorSchemePreference::light:
            return Appearance::light;
        case ColorSchemePreference::none:
            break;
    }
    return appearanceFromWindowColor(QGuiApplication::palette().color(QPalette::Window));
}

void AppearanceSource::setOverride(std::optional<Appearance> forced) {
    if (forced == forced_) return;
    forced_ = forced;
    emit changed();
}

}  // namespace velmora

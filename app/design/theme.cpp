#include "app/design/theme.h"

#include <QApplication>
#include <QWidget>

namespace velmora::design {

Appearance appearance() {
    auto& source = AppearanceSource::instance();
    static bool following = false;
    if (!following) {
        following = true;
        QObject::connect(&source, &AppearanceSource::changed, [] {
            for (QWidget* w : QApplication::allWidgets())
                w->update();
        });
        QObject::connect(&source, &QObject::destroyed, [] { following = false; });
    }
    return source.current();
}

QColor resolved(const DynColor& color) {
    return color.resolve(appearance());
}

QFont font(int pixelSize, QFont::Weight weight) {
    QFont f = QApplication::font();
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    return f;
}

}  // namespace velmora::design

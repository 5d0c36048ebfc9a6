#include "app/design/palette.h"

namespace velmora {

QColor DynColor::resolve(Appearance appearance) const {
    const Rgba& c = appearance == Appearance::dark ? dark : light;
    return QColor::fromRgbF(static_cast<float>(c.r), static_cast<float>(c.g), static_cast<float>(c.b),
                            static_cast<float>(c.a));
}

DynColor DynColor::withOpacity(double factor) const {
    DynColor out = *this;
    out.light.a *= factor;
    out.dark.a *= factor;
    return out;
}

}  // namespace velmora

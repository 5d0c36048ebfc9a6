#include "app/design/button_look.h"

namespace velmora {

namespace {

constexpr DynColor kWhite = fixedColor(1, 1, 1);
constexpr DynColor kClear = fixedColor(0, 0, 0, 0);

}  // namespace

namespace PrimaryButtonStyle {

ButtonLook look(bool tall, bool enabled, bool pressed) {
    ButtonLook l;
    l.radius = tall ? 10 : 7;
    l.fontSize = tall ? 14 : 13;
    l.weight = QFont::DemiBold;
    l.minHeight = tall ? 44 : 32;
    l.fillsWidth = true;
    l.gradient = enabled;
    l.plate = enabled ? kClear : DS::fill2;
    // Disabled, border and shadow stay but turn transparent, so nothing moves between the two states.
    l.borderWidth = 0.5;
    l.border = fixedColor(1, 1, 1, enabled ? 0.3 : 0);
    l.shadow = fixedColor(0, 0, 0, enabled ? 0.15 : 0);
    l.shadowRadius = 1;
    l.shadowOffset = {0, 1};
    l.text = enabled ? kWhite : SystemColor::secondary;
    l.opacity = pressed ? 0.85 : 1;
    return l;
}

}  // namespace PrimaryButtonStyle

namespace SecondaryButtonStyle {

ButtonLook look(double height, bool fullWidth, bool enabled, bool pressed) {
    ButtonLook l;
    l.radius = 7;
    l.fontSize = 13;
    l.weight = QFont::Medium;
    l.minHeight = height;
    l.horizontalPadding = 12;
    l.fillsWidth = fullWidth;
    l.plate = makeColor(0xFFFFFF, 0xFFFFFF, 1.0, 0.14);
    l.borderWidth = 0.5;
    l.border = makeColor(0x000000, 0xFFFFFF, 0.14, 0.08);
    // Only the light plate casts a shadow.
    l.shadow = makeColor(0x000000, 0x000000, 0.1, 0);
    l.shadowRadius = 1.5;
    l.shadowOffset = {0, 0.5};
    l.text = enabled ? SystemColor::primary : SystemColor::secondary;
    l.opacity = pressed ? 0.8 : (enabled ? 1 : 0.55);
    return l;
}

}  // namespace SecondaryButtonStyle

namespace RowButtonStyle {

ButtonLook look(Kind kind, bool enabled, bool pressed) {
    ButtonLook l;
    l.radius = 6;
    l.fontSize = 12;
    l.weight = QFont::DemiBold;
    l.minHeight = 24;
    l.horizontalPadding = 14;
    l.opacity = pressed ? 0.8 : 1;
    if (!enabled) {
        // Both kinds look the same when disabled.
        l.plate = DS::fill;
        l.text = SystemColor::secondary.withOpacity(0.7);
        return l;
    }
    l.gradient = kind == Kind::primary;
    l.plate = kind == Kind::primary ? kClear : DS::accentTint;
    l.text = kind == Kind::primary ? kWhite : DS::accentText;
    return l;
}

}  // namespace RowButtonStyle

}  // namespace velmora

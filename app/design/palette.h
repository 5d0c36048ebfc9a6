#pragma once

#include <QColor>
#include <cstdint>

#include "app/design/appearance.h"

namespace velmora {

// One colour in sRGB components 0..1 with its opacity.
struct Rgba {
    double r = 0;
    double g = 0;
    double b = 0;
    double a = 1;
};

// A colour with a light and a dark value. Views keep these and resolve them when they paint, so a change of
// appearance needs no view to test it.
struct DynColor {
    Rgba light;
    Rgba dark;

    // The dark value only for the dark appearance; anything else gets the light value.
    QColor resolve(Appearance appearance) const;
    // Both values with their opacity multiplied by `factor` (a tint's own alpha is kept, not replaced).
    DynColor withOpacity(double factor) const;
};

// The palette's colour initialiser: two 24-bit RGB values (red in bits 16-23) and their opacities. Bits above
// the 24th are ignored.
constexpr Rgba rgb24(std::uint32_t value, double alpha) {
    return Rgba{((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0, (value & 0xFF) / 255.0, alpha};
}
constexpr DynColor makeColor(std::uint32_t light, std::uint32_t dark, double lightAlpha, double darkAlpha) {
    return DynColor{rgb24(light, lightAlpha), rgb24(dark, darkAlpha)};
}
// A colour that looks the same in both appearances.
constexpr DynColor fixedColor(double r, double g, double b, double a = 1.0) {
    return DynColor{Rgba{r, g, b, a}, Rgba{r, g, b, a}};
}

// The palette every window takes its colours from.
namespace DS {
inline constexpr DynColor accent = makeColor(0x4F46E5, 0x6366F1, 1.0, 1.0);
inline constexpr DynColor accentTint = makeColor(0x4F46E5, 0x818CF8, 0.10, 0.17);
inline constexpr DynColor accentText = makeColor(0x4338CA, 0xA5B4FC, 1.0, 1.0);
inline constexpr DynColor ok = makeColor(0x177A3F, 0x34C46E, 1.0, 1.0);
inline constexpr DynColor okTint = makeColor(0x177A3F, 0x34C46E, 0.13, 0.16);
inline constexpr DynColor warn = makeColor(0x9A5A00, 0xF5B53D, 1.0, 1.0);
inline constexpr DynColor warnTint = makeColor(0xF0A014, 0xF5B53D, 0.17, 0.15);
inline constexpr DynColor err = makeColor(0xC4252E, 0xFF6B6B, 1.0, 1.0);
inline constexpr DynColor errTint = makeColor(0xD62832, 0xFF6B6B, 0.10, 0.15);
inline constexpr DynColor card = makeColor(0xFFFFFF, 0xFFFFFF, 0.80, 0.06);
inline constexpr DynColor cardBorder = makeColor(0x000000, 0xFFFFFF, 0.07, 0.07);
inline constexpr DynColor fill = makeColor(0x000000, 0xFFFFFF, 0.05, 0.07);
inline constexpr DynColor fill2 = makeColor(0x000000, 0xFFFFFF, 0.09, 0.12);
inline constexpr DynColor separator = makeColor(0x000000, 0xFFFFFF, 0.09, 0.09);
inline constexpr DynColor winbar = makeColor(0xEBEBEE, 0x2C2C30, 1.0, 1.0);

inline constexpr DynColor stageTop = fixedColor(26 / 255.0, 26 / 255.0, 34 / 255.0);
inline constexpr DynColor stageBottom = fixedColor(13 / 255.0, 13 / 255.0, 16 / 255.0);
inline constexpr DynColor gradStart = fixedColor(0.31, 0.275, 0.898);
inline constexpr DynColor gradEnd = fixedColor(0.055, 0.455, 0.565);
}  // namespace DS

// The desktop's own text and window colours in each appearance, which the kit draws with where the
// components ask for "primary" or "secondary" text.
namespace SystemColor {
inline constexpr DynColor primary = makeColor(0x000000, 0xFFFFFF, 0.85, 0.85);
inline constexpr DynColor secondary = makeColor(0x000000, 0xFFFFFF, 0.50, 0.55);
// Full-strength black or white, the base of a card's untinted fill.
inline constexpr DynColor solidPrimary = makeColor(0x000000, 0xFFFFFF, 1.0, 1.0);
inline constexpr DynColor window = makeColor(0xECECEC, 0x1E1E1E, 1.0, 1.0);
}  // namespace SystemColor

}  // namespace velmora

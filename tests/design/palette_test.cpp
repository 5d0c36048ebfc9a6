#include <gtest/gtest.h>

#include "app/design/palette.h"

namespace velmora {
namespace {

struct Expected {
    const char* name;
    DynColor color;
    QRgb light;
    double lightAlpha;
    QRgb dark;
    double darkAlpha;
};

void expectColor(const QColor& c, QRgb rgb, double alpha, const char* name, const char* side) {
    SCOPED_TRACE(std::string(name) + " " + side);
    EXPECT_EQ(c.red(), qRed(rgb));
    EXPECT_EQ(c.green(), qGreen(rgb));
    EXPECT_EQ(c.blue(), qBlue(rgb));
    EXPECT_NEAR(c.alphaF(), alpha, 2e-5);
}

TEST(Palette, EveryMemberResolvesToItsLightAndDarkValue) {
    const Expected table[] = {
        {"accent", DS::accent, 0x4F46E5, 1.0, 0x6366F1, 1.0},
        {"accentTint", DS::accentTint, 0x4F46E5, 0.10, 0x818CF8, 0.17},
        {"accentText", DS::accentText, 0x4338CA, 1.0, 0xA5B4FC, 1.0},
        {"ok", DS::ok, 0x177A3F, 1.0, 0x34C46E, 1.0},
        {"okTint", DS::okTint, 0x177A3F, 0.13, 0x34C46E, 0.16},
        {"warn", DS::warn, 0x9A5A00, 1.0, 0xF5B53D, 1.0},
        {"warnTint", DS::warnTint, 0xF0A014, 0.17, 0xF5B53D, 0.15},
        {"err", DS::err, 0xC4252E, 1.0, 0xFF6B6B, 1.0},
        {"errTint", DS::errTint, 0xD62832, 0.10, 0xFF6B6B, 0.15},
        {"card", DS::card, 0xFFFFFF, 0.80, 0xFFFFFF, 0.06},
        {"cardBorder", DS::cardBorder, 0x000000, 0.07, 0xFFFFFF, 0.07},
        {"fill", DS::fill, 0x000000, 0.05, 0xFFFFFF, 0.07},
        {"fill2", DS::fill2, 0x000000, 0.09, 0xFFFFFF, 0.12},
        {"separator", DS::separator, 0x000000, 0.09, 0xFFFFFF, 0.09},
        {"winbar", DS::winbar, 0xEBEBEE, 1.0, 0x2C2C30, 1.0},
        {"stageTop", DS::stageTop, 0x1A1A22, 1.0, 0x1A1A22, 1.0},
        {"stageBottom", DS::stageBottom, 0x0D0D10, 1.0, 0x0D0D10, 1.0},
    };
    for (const auto& row : table) {
        expectColor(row.color.resolve(Appearance::light), row.light, row.lightAlpha, row.name, "light");
        expectColor(row.color.resolve(Appearance::dark), row.dark, row.darkAlpha, row.name, "dark");
    }
}

TEST(Palette, AnAppearanceThatIsNeitherGetsTheLightValue) {
    const auto unknown = static_cast<Appearance>(7);
    EXPECT_EQ(DS::accent.resolve(unknown), DS::accent.resolve(Appearance::light));
    EXPECT_EQ(DS::card.resolve(unknown).alphaF(), DS::card.resolve(Appearance::light).alphaF());
}

TEST(Palette, ValuesAboveTwentyFourBitsIgnoreTheHighByte) {
    const DynColor c = makeColor(0xFF123456, 0x01ABCDEF, 1, 1);
    EXPECT_EQ(c.resolve(Appearance::light).rgb() & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(c.resolve(Appearance::dark).rgb() & 0xFFFFFF, 0xABCDEFu);
}

}  // namespace
}  // namespace velmora

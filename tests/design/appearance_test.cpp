#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>
#include <QSignalSpy>

#include "app/design/theme.h"
#include "platform/appearance/appearance.h"

namespace velmora {
namespace {

TEST(Appearance, PortalColorSchemeValues) {
    EXPECT_EQ(appearanceFromColorScheme(1), Appearance::dark);
    EXPECT_EQ(appearanceFromColorScheme(2), Appearance::light);
    // No preference, or a value a newer portal might add, leaves the decision to the palette.
    EXPECT_EQ(appearanceFromColorScheme(0), std::nullopt);
    EXPECT_EQ(appearanceFromColorScheme(3), std::nullopt);
}

TEST(Appearance, WindowLightnessDecidesWithoutThePortal) {
    EXPECT_EQ(appearanceFromWindowColor(QColor(0xEF, 0xEF, 0xEF)), Appearance::light);
    EXPECT_EQ(appearanceFromWindowColor(QColor(0x2B, 0x2B, 0x2B)), Appearance::dark);
    EXPECT_EQ(appearanceFromWindowColor(QColor(0x80, 0x80, 0x80)), Appearance::light);
}

TEST(Appearance, OverrideWinsAndSignalsOnlyOnChange) {
    auto& source = AppearanceSource::instance();
    QSignalSpy spy(&source, &AppearanceSource::changed);
    source.setOverride(Appearance::dark);
    EXPECT_EQ(source.current(), Appearance::dark);
    EXPECT_EQ(design::appearance(), Appearance::dark);
    EXPECT_EQ(design::resolved(DS::card).alphaF(), DS::card.resolve(Appearance::dark).alphaF());
    source.setOverride(Appearance::dark);
    EXPECT_EQ(spy.count(), 1);
    source.setOverride(Appearance::light);
    EXPECT_EQ(source.current(), Appearance::light);
    source.setOverride(std::nullopt);
    EXPECT_EQ(spy.count(), 3);
    // Without a bus (as in these tests) the palette's window colour decides.
    EXPECT_EQ(source.current(), appearanceFromWindowColor(QApplication::palette().color(QPalette::Window)));
}

}  // namespace
}  // namespace velmora

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>

#include "app/design/brand.h"
#include "app/design/brand_geometry.h"

namespace velmora {
namespace {

void expectPoint(QPointF actual, double x, double y, double tolerance = 1e-3) {
    EXPECT_NEAR(actual.x(), x, tolerance);
    EXPECT_NEAR(actual.y(), y, tolerance);
}

TEST(BrandGeometry, MarkArcAndHeadMatchTheDrawing) {
    expectPoint(BrandGeometry::markArcPoint(0), 789.7085, 670.7132);
    expectPoint(BrandGeometry::markArcPoint(24), 512 + 292 * std::cos(84 * M_PI / 180),
                612 + 190 * std::sin(84 * M_PI / 180));
    expectPoint(BrandGeometry::markArcPoint(48), 259.1206, 707);
    const auto head = BrandGeometry::markHead(1);
    expectPoint(head.tip, 204.3655, 645.2900);
    expectPoint(head.left, 296.5206, 673.8151);
    expectPoint(head.right, 221.7206, 740.1849);
    // A heavier weight moves the tip further along the tangent.
    const auto heavy = BrandGeometry::markHead(2);
    expectPoint(heavy.tip, 259.1206 - 0.663698 * 165, 707 - 0.748001 * 165, 1e-2);
}

TEST(BrandGeometry, GlyphArcAndHeadMatchTheDrawing) {
    expectPoint(BrandGeometry::glyphArcPoint(0), 17.5778, 16.1417, 1e-4);
    expectPoint(BrandGeometry::glyphArcPoint(40), 4.937822, 16.9, 1e-5);
    const auto head = BrandGeometry::glyphHead();
    expectPoint(head.tip, 2.876783, 14.452120, 1e-5);
    expectPoint(head.left, 6.391251, 15.676258, 1e-5);
    expectPoint(head.right, 3.484393, 18.123742, 1e-5);
}

TEST(BrandGeometry, GlyphLineWidthThinsAsTheImageGrows) {
    const std::pair<double, double> table[] = {{12, 2.0}, {16, 2.0},   {16.5, 1.9},
                                               {18, 1.9}, {18.5, 1.7}, {32, 1.7}};
    for (auto [points, width] : table)
        EXPECT_DOUBLE_EQ(BrandGeometry::menuGlyphLineWidth(points), width) << points;
}

int maxAlpha(const QImage& image) {
    int best = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            best = std::max(best, qAlpha(image.pixel(x, y)));
    return best;
}

TEST(Brand, IconIsAnOpaqueRoundedPlateUnderTheWhiteMark) {
    for (int size : {16, 64, 256}) {
        const QImage icon = Brand::appIconImage(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        for (QPoint corner :
             {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)}) {
            EXPECT_EQ(qAlpha(icon.pixel(corner)), 0) << size;
        }
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 8)), 255) << size;
    }
    const QImage icon = Brand::appIconImage(256);
    // The middle hanger at x = 512 (grid) is white; the plate beside the deck is the blue-green gradient.
    EXPECT_GT(icon.pixelColor(128, 120).lightness(), 215);
    const QColor plate = icon.pixelColor(20, 128);
    EXPECT_GT(plate.blue(), plate.red());
    // The rounded plate's edge is antialiased: some corner pixels are partly covered.
    bool partial = false;
    for (int i = 0; i < 40; ++i) {
        const int a = qAlpha(icon.pixel(i, 20));
        partial = partial || (a > 0 && a < 255);
    }
    EXPECT_TRUE(partial);
}

TEST(Brand, PainterStateIsUnchangedAfterDrawing) {
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.translate(3, 4);
    p.setOpacity(0.5);
    p.setCompositionMode(QPainter::CompositionMode_Plus);
    Brand::drawIcon(p, 32);
    Brand::drawMark(p, Qt::red, 1, 1, true);
    Brand::drawMenuGlyph(p, Qt::blue, 2, 0.6);
    EXPECT_EQ(p.transform(), QTransform::fromTranslate(3, 4));
    EXPECT_DOUBLE_EQ(p.opacity(), 0.5);
    EXPECT_EQ(p.compositionMode(), QPainter::CompositionMode_Plus);
}

TEST(Brand, UnconnectedGlyphNeverExceedsSixTenthsOpacity) {
    const QImage glyph = Brand::menuBarImage(false, 22, Qt::black, 4);
    ASSERT_EQ(glyph.size(), QSize(88, 88));
    const int top = maxAlpha(glyph);
    EXPECT_GE(top, 150);
    EXPECT_LE(top, 154);  // 0.6 of 255, where the arc's end and the head overlap too
}

TEST(Brand, ConnectedGlyphIsASquareWithTheGlyphCutOut) {
    const QImage glyph = Brand::menuBarImage(true, 22, Qt::white, 2);
    // Inside the square left of the deck: solid, in the glyph's colour.
    EXPECT_EQ(qAlpha(glyph.pixel(4, 22)), 255);
    EXPECT_EQ(glyph.pixelColor(4, 22).rgb(), QColor(Qt::white).rgb());
    // Outside the square's rounded corner: empty.
    EXPECT_EQ(qAlpha(glyph.pixel(0, 0)), 0);
    // The deck crosses the middle: cut out.
    EXPECT_EQ(qAlpha(glyph.pixel(22, 23)), 0);
}

TEST(Brand, TrayGlyphColourSuitsThePanel) {
    EXPECT_EQ(Brand::trayGlyphColor(Appearance::dark), QColor(Qt::white));
    EXPECT_EQ(Brand::trayGlyphColor(Appearance::light), QColor(Qt::black));
}

TEST(Brand, IconsDrawAtEverySizeAsked) {
    const QIcon icon = Brand::appIcon(128);
    EXPECT_EQ(icon.availableSizes(), QList<QSize>{QSize(128, 128)});
    const QImage small = icon.pixmap(QSize(20, 20)).toImage();
    EXPECT_EQ(small.size(), QSize(20, 20));
    EXPECT_EQ(qAlpha(small.pixel(10, 10)), 255);
    const QImage tray = Brand::menuBarIcon(true, 18, Qt::black).pixmap(QSize(36, 36)).toImage();
    EXPECT_EQ(tray.size(), QSize(36, 36));
    EXPECT_EQ(qAlpha(tray.pixel(3, 18)), 255);
}

TEST(Brand, IconsetWritesTenFilesWithTheirNamesAndSizes) {
    QTemporaryDir tmp;
    const QString folder = tmp.filePath(QStringLiteral("made/on/demand"));
    ASSERT_EQ(Brand::writeIconset(folder), 10);
    for (const auto& entry : BrandGeometry::kIconset) {
        const QString path =
            QDir(folder).filePath(QStringLiteral("icon_%1.png").arg(QLatin1String(entry.name)));
        QImageReader reader(path);
        EXPECT_EQ(reader.format(), "png") << entry.name;
        EXPECT_EQ(reader.size(), QSize(entry.pixels, entry.pixels)) << entry.name;
    }
    // Run again over the same folder: every file is replaced.
    QFile stale(QDir(folder).filePath(QStringLiteral("icon_16x16.png")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly | QIODevice::Truncate));
    stale.write("not a png");
    stale.close();
    EXPECT_EQ(Brand::writeIconset(folder), 10);
    EXPECT_EQ(QImage(stale.fileName()).size(), QSize(16, 16));
}

TEST(Brand, IconsetCountsOnlyTheFilesItWrote) {
    QTemporaryDir tmp;
    // A folder where one name is taken by a directory: that file cannot be written.
    ASSERT_TRUE(QDir(tmp.path()).mkpath(QStringLiteral("icon_32x32.png")));
    EXPECT_EQ(Brand::writeIconset(tmp.path()), 9);
    // A folder that cannot exist, under a regular file (root may write anywhere else).
    QFile file(tmp.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(Brand::writeIconset(tmp.filePath(QStringLiteral("plain/set"))), 0);
}

}  // namespace
}  // namespace velmora

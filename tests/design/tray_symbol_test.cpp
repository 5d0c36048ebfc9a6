// The tray glyph's forms for the three kinds of tray: the told colour, the rimmed glyph for a tray that tells
// nothing, and the symbolic icon a StatusNotifierItem host finds by name and recolours.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "app/design/tray_symbol.h"

namespace velmora {
namespace {

TEST(TraySymbol, ATrayThatTellsItsColourGetsTheGlyphInItAndOneThatDoesNotGetsTheRim) {
    const Brand::TrayInk told = TraySymbol::inkFor(QColor(0xee, 0xee, 0xee));
    EXPECT_EQ(told.ink.rgb(), qRgb(0xee, 0xee, 0xee));
    EXPECT_FALSE(told.rim.has_value());
    for (const auto& unknown : {std::optional<QColor>(), std::optional<QColor>(QColor())}) {
        const Brand::TrayInk rimmed = TraySymbol::inkFor(unknown);
        ASSERT_TRUE(rimmed.rim.has_value());
        // One of the two stands out on any panel: they lie at the two ends of the grey scale.
        EXPECT_GT(rimmed.ink.lightness() - rimmed.rim->lightness(), 200);
    }
}

TEST(TraySymbol, SymbolicIconsAreSvgShapesInTheGreyHostsRecolour) {
    for (const bool connected : {false, true}) {
        EXPECT_TRUE(TraySymbol::themeName(connected).endsWith("-symbolic"));
        const QByteArray svg = TraySymbol::svg(connected);
        QXmlStreamReader xml(svg);
        int paths = 0;
        QString d;
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("path"))
                ++paths, d = xml.attributes().value("d").toString();
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        EXPECT_EQ(paths, 1);
        EXPECT_TRUE(d.startsWith('M') && d.endsWith('Z'));
        EXPECT_TRUE(svg.contains("currentColor") && svg.contains("#bebebe"));
    }
    EXPECT_NE(TraySymbol::svg(false), TraySymbol::svg(true));
    EXPECT_NE(TraySymbol::themeName(false), TraySymbol::themeName(true));
}

TEST(TraySymbol, InstallWritesBothIconsOnceAndLeavesTheSameBytesAlone) {
    QTemporaryDir icons;
    ASSERT_TRUE(TraySymbol::install(icons.path()));
    const QString folder = icons.path() + "/hicolor/scalable/apps/";
    for (const bool connected : {false, true}) {
        QFile file(folder + TraySymbol::themeName(connected) + ".svg");
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), TraySymbol::svg(connected));
    }
    const QString idle = folder + TraySymbol::themeName(false) + ".svg";
    // An identical file is not written again (a file a host watches would be reloaded for nothing).
    const QDateTime written = QFileInfo(idle).fileTime(QFileDevice::FileModificationTime);
    EXPECT_TRUE(TraySymbol::install(icons.path()));
    EXPECT_EQ(QFileInfo(idle).fileTime(QFileDevice::FileModificationTime), written);
    QFile stale(folder + TraySymbol::themeName(true) + ".svg");  // an older drawing is replaced
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("<svg/>");
    stale.close();
    EXPECT_TRUE(TraySymbol::install(icons.path()));
    ASSERT_TRUE(stale.open(QIODevice::ReadOnly));
    EXPECT_EQ(stale.readAll(), TraySymbol::svg(true));
    // Below a regular file no folder can be made: told, not thrown.
    QFile blocker(icons.path() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(TraySymbol::install(icons.path() + "/file"));
}

}  // namespace
}  // namespace velmora

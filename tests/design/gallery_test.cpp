// Renders every component of the kit, the brand images (light and dark) and the icon set into
// build/artifacts/design/ for a person to look at; two runs write the same bytes.
#include <gtest/gtest.h>

#include <QDir>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include "app/design/brand.h"
#include "app/design/brand_geometry.h"
#include "app/design/buttons.h"
#include "app/design/cards.h"
#include "app/design/fold_row.h"
#include "app/design/glyphs.h"
#include "app/design/notice.h"
#include "app/design/theme.h"
#include "design/widget_helpers.h"

namespace velmora {
namespace {

using namespace testing_support;
using Kind = RowButtonStyle::Kind;

QString artifactsDir() {
    const QString dir = QStringLiteral(VELMORA_ARTIFACTS_DIR "/design");
    QDir().mkpath(dir);
    return dir;
}

void put(QBoxLayout* layout, std::initializer_list<QWidget*> items) {
    for (QWidget* item : items)
        if (item) layout->addWidget(item);
}

QWidget* row(std::initializer_list<QWidget*> items, QMargins margins = {}, bool stretch = true) {
    auto* w = new QWidget;
    w->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* layout = new QHBoxLayout(w);
    layout->setContentsMargins(margins);
    put(layout, items);
    if (stretch) layout->addStretch(1);
    return w;
}

template <typename W>
W* disabled(W* w) {
    w->setEnabled(false);
    return w;
}

TextBlock* text(const QString& s, bool wraps = false) {
    return new TextBlock(s, design::font(wraps ? 12 : 13, QFont::Normal),
                         wraps ? SystemColor::secondary : SystemColor::primary, wraps);
}

QWidget* device(PhoneGlyph::Tone tone, const QString& name, const QString& chip, QWidget* action) {
    return row({new PhoneGlyph(tone, 32), text(name), new ConnChip(chip), action}, {10, 8, 10, 8});
}

struct Gallery {
    QWidget page;
    SecondaryButton* focused = new SecondaryButton("Keyboard focus", 28, false);
    FoldRow* hovered = new FoldRow("Hovered row", "3", DS::warn, new FoldBinding(false, &page), nullptr);

    Gallery() {
        auto* column = new QVBoxLayout(&page);
        column->setSpacing(10);
        auto* pressed = new PrimaryButton("Pressed");
        pressed->setDown(true);
        auto* list = new ListCard;
        list->add(device(PhoneGlyph::Tone::paired, "Phone 8", "WI-FI", new RowButton("Open", Kind::tint)));
        list->add(new RowDivider);
        list->add(device(PhoneGlyph::Tone::new_, "Work phone", "USB", new RowButton("Pair", Kind::primary)));
        list->add(new RowDivider);
        list->add(device(PhoneGlyph::Tone::lost, "Old phone", "BLE", nullptr));
        auto* plain = new Card;
        plain->add(
            text("A plain card holds free content; this secondary text is long enough to wrap.", true));
        auto* tinted = new Card(DS::ok);
        tinted->add(row({new StatusDot(DS::ok, 6), text("Tinted card"), new StatusDot(DS::warn, 8),
                         new StatusDot(DS::err, 10)}));
        auto* body = text("Content shown while expanded.", true);
        body->setContentsMargins(28, 2, 8, 8);
        put(column,
            {new SectionLabel("BUTTONS"), new PrimaryButton("Connect phone", true),
             row({new PrimaryButton("Send files"), pressed, disabled(new PrimaryButton("Disabled"))}, {},
                 false),
             row({new SecondaryButton("Cancel", 28, false), focused,
                  disabled(new SecondaryButton("Disabled", 28, false))}),
             new SecondaryButton("Full width secondary", 32, true),
             row({new RowButton("Pair", Kind::primary), new RowButton("Install", Kind::tint),
                  disabled(new RowButton("Disabled", Kind::primary))}),
             new SectionLabel("CARDS AND GLYPHS"), list, plain, tinted, new SectionLabel("NOTICES"),
             new Notice(Notice::Kind::warn, "Bluetooth is off",
                        "Turn it on to find phones nearby without Wi-Fi.",
                        row({new RowButton("Settings", Kind::tint)})),
             new Notice(Notice::Kind::err, "The phone closed the connection"),
             new Notice(Notice::Kind::info,
                        "A long hint wraps onto more lines while its icon stays at the top.",
                        "Secondary text under the title."),
             new SectionLabel("FOLD ROWS"),
             new FoldRow("Clipboard sync", "On", DS::ok, new FoldBinding(false, &page), text("hidden")),
             new FoldRow("Mirroring", "Off", std::nullopt, new FoldBinding(true, &page), body), hovered,
             new ExpanderText("Expander text", text("hidden"))});
        column->addStretch(1);
    }

    QImage render(Appearance appearance) {
        AppearanceSource::instance().setOverride(appearance);
        QPalette window;  // the background a panel has in this appearance
        window.setColor(QPalette::Window, SystemColor::window.resolve(appearance));
        page.setPalette(window);
        page.show();
        QApplication::setActiveWindow(&page);
        EXPECT_TRUE(QTest::qWaitFor([&] { return page.isActiveWindow(); }, 30000));
        page.resize(440, page.heightForWidth(440));  // wrapped texts make the height follow the width
        EXPECT_TRUE(settle(&page));
        focused->setFocus(Qt::TabFocusReason);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(hovered->header(), &enter);
        EXPECT_TRUE(settle(&page));
        EXPECT_EQ(cutTexts(&page), QStringList());
        return page.grab().toImage();
    }
};

QImage brandSheet(Appearance appearance) {
    QImage sheet(760, 420, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(SystemColor::window.resolve(appearance));
    QPainter p(&sheet);
    int x = 16;
    for (int size : {16, 32, 64, 128, 256}) {
        p.drawImage(x, 16, Brand::appIconImage(size));
        x += size + 16;
    }
    // A tray panel with the glyph in the panel's colour, pixel for pixel at 1x, 2x and 4x.
    p.fillRect(QRect(0, 300, 760, 100), appearance == Appearance::dark ? QColor(0x2B2B2B) : QColor(0xF2F2F2));
    x = 16;
    for (double dpr : {1.0, 2.0, 4.0}) {
        for (bool connected : {false, true}) {
            QImage img = Brand::menuBarImage(connected, 18, Brand::trayGlyphColor(appearance), dpr);
            img.setDevicePixelRatio(1);
            p.drawImage(QPoint(x, 312), img);
            x += img.width() + 12;
        }
    }
    return sheet;
}

TEST(Brand, IconsetCountsOnlyTheFilesItWrote) {
    const QString folder = artifactsDir() + "/iconset";
    ASSERT_EQ(Brand::writeIconset(folder), 10);
    for (const auto& entry : BrandGeometry::kIconset) {
        QImageReader reader(
            QDir(folder).filePath(QStringLiteral("icon_%1.png").arg(QLatin1String(entry.name))));
        EXPECT_EQ(reader.format(), "png") << entry.name;
        EXPECT_EQ(reader.size(), QSize(entry.pixels, entry.pixels)) << entry.name;
    }
    // One name taken by a folder: that file cannot be written.
    QTemporaryDir tmp;
    ASSERT_TRUE(QDir(tmp.path()).mkpath(QStringLiteral("made/on/demand/icon_32x32.png")));
    EXPECT_EQ(Brand::writeIconset(tmp.filePath("made/on/demand")), 9);
    // A folder under a regular file cannot exist (root may write anywhere else).
    QFile file(tmp.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(Brand::writeIconset(tmp.filePath(QStringLiteral("plain/set"))), 0);
}

// The desktop asks icons for whatever size it shows them at.
TEST(Brand, IconsDrawAtEverySizeAsked) {
    EXPECT_EQ(qAlpha(Brand::appIcon(128).pixmap(QSize(20, 20)).toImage().pixel(10, 10)), 255);
    const QImage tray = Brand::menuBarIcon(true, 18, Qt::black).pixmap(QSize(36, 36)).toImage();
    EXPECT_EQ(tray.size(), QSize(36, 36));
    EXPECT_EQ(qAlpha(tray.pixel(3, 18)), 255);
}

TEST(Gallery, RendersTheComponentsAndTheBrandInLightAndDark) {
    Gallery gallery;
    for (Appearance appearance : {Appearance::light, Appearance::dark}) {
        const QString name = appearance == Appearance::dark ? "dark" : "light";
        ASSERT_TRUE(gallery.render(appearance).save(artifactsDir() + "/components-" + name + ".png"));
        ASSERT_TRUE(brandSheet(appearance).save(artifactsDir() + "/brand-" + name + ".png"));
    }
    AppearanceSource::instance().setOverride(std::nullopt);
}

}  // namespace
}  // namespace velmora

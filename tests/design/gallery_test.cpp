// Renders every component of the kit and the brand images, light and dark, into build/artifacts/design/ so a
// person can look at them. Also checks that what was rendered follows the appearance.
#include <gtest/gtest.h>

#include <QDir>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <vector>

#include "app/design/brand.h"
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

QString artifactsDir() {
    const QString dir = QStringLiteral(VELMORA_ARTIFACTS_DIR "/design");
    QDir().mkpath(dir);
    return dir;
}

// A window background in the appearance's own colour, as a panel would have.
class Page : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), design::resolved(SystemColor::window));
    }
};

QWidget* row(std::initializer_list<QWidget*> items, bool stretch = true) {
    auto* w = new QWidget;
    auto* layout = new QHBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    for (QWidget* item : items)
        layout->addWidget(item);
    if (stretch) layout->addStretch(1);
    return w;
}

QWidget* text(const QString& s, int size = 13, const DynColor& color = SystemColor::primary) {
    return new TextBlock(s, design::font(size, QFont::Normal), color, false);
}

QWidget* deviceRow(PhoneGlyph::Tone tone, const QString& name, const QString& chip, QWidget* action) {
    auto* w = new QWidget;
    auto* layout = new QHBoxLayout(w);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(10);
    layout->addWidget(new PhoneGlyph(tone, 32));
    layout->addWidget(text(name));
    layout->addWidget(new ConnChip(chip));
    layout->addStretch(1);
    if (action) layout->addWidget(action);
    w->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return w;
}

struct Gallery {
    std::unique_ptr<Page> page = std::make_unique<Page>();
    StyledButton* focused = nullptr;
    FoldHeader* hovered = nullptr;

    Gallery() {
        page->resize(440, 100);
        auto* column = new QVBoxLayout(page.get());
        column->setContentsMargins(16, 16, 16, 16);
        column->setSpacing(10);

        column->addWidget(new SectionLabel(QStringLiteral("BUTTONS")));
        column->addWidget(new PrimaryButton(QStringLiteral("Connect phone"), true));
        auto* pressed = new PrimaryButton(QStringLiteral("Pressed"));
        pressed->setDown(true);
        auto* disabledPrimary = new PrimaryButton(QStringLiteral("Disabled"));
        disabledPrimary->setEnabled(false);
        column->addWidget(
            row({new PrimaryButton(QStringLiteral("Send files")), pressed, disabledPrimary}, false));
        auto* disabledSecondary = new SecondaryButton(QStringLiteral("Disabled"), 28, false);
        disabledSecondary->setEnabled(false);
        focused = new SecondaryButton(QStringLiteral("Keyboard focus"), 28, false);
        column->addWidget(
            row({new SecondaryButton(QStringLiteral("Cancel"), 28, false), focused, disabledSecondary}));
        column->addWidget(new SecondaryButton(QStringLiteral("Full width secondary"), 32, true));
        auto* disabledRow = new RowButton(QStringLiteral("Disabled"), RowButtonStyle::Kind::primary);
        disabledRow->setEnabled(false);
        column->addWidget(
            row({new RowButton(QStringLiteral("Pair"), RowButtonStyle::Kind::primary),
                 new RowButton(QStringLiteral("Install"), RowButtonStyle::Kind::tint), disabledRow}));

        column->addWidget(new SectionLabel(QStringLiteral("CARDS AND GLYPHS")));
        auto* list = new ListCard;
        list->add(deviceRow(PhoneGlyph::Tone::paired, QStringLiteral("Phone 8"), QStringLiteral("WI-FI"),
                            new RowButton(QStringLiteral("Open"), RowButtonStyle::Kind::tint)));
        list->add(new RowDivider);
        list->add(deviceRow(PhoneGlyph::Tone::new_, QStringLiteral("Work phone"), QStringLiteral("USB"),
                            new RowButton(QStringLiteral("Pair"), RowButtonStyle::Kind::primary)));
        list->add(new RowDivider);
        list->add(
            deviceRow(PhoneGlyph::Tone::lost, QStringLiteral("Old phone"), QStringLiteral("BLE"), nullptr));
        list->add(new RowDivider);
        // A row whose text wraps: the card grows with it.
        auto* note = new QWidget;
        auto* noteLine = new QHBoxLayout(note);
        noteLine->setContentsMargins(12, 8, 12, 8);
        noteLine->setSpacing(10);
        auto* noteText = new TextBlock(
            QStringLiteral("A row whose text is longer than the card is wide wraps onto as many lines as it "
                           "needs, and the card grows with it."),
            design::font(12, QFont::Normal), SystemColor::secondary, true);
        noteLine->addWidget(noteText);
        list->add(note);
        column->addWidget(list);

        auto* plain = new Card;
        plain->add(text(QStringLiteral("A plain card holds free content.")));
        plain->add(new TextBlock(
            QStringLiteral("Second text, secondary, long enough to wrap onto a second line inside the card."),
            design::font(12, QFont::Normal), SystemColor::secondary, true));
        auto* tinted = new Card(DS::ok);
        tinted->add(row({new StatusDot(DS::ok, 8), text(QStringLiteral("Tinted card with an ok dot"))}));
        column->addWidget(plain);
        column->addWidget(tinted);
        column->addWidget(
            row({new PhoneGlyph(PhoneGlyph::Tone::paired, 40), new PhoneGlyph(PhoneGlyph::Tone::new_, 40),
                 new PhoneGlyph(PhoneGlyph::Tone::lost, 40), new StatusDot(DS::ok, 6),
                 new StatusDot(DS::warn, 8), new StatusDot(DS::err, 10)}));

        column->addWidget(new SectionLabel(QStringLiteral("NOTICES")));
        column->addWidget(
            new Notice(Notice::Kind::warn, QStringLiteral("Bluetooth is off"),
                       QStringLiteral("Turn it on to find phones nearby without Wi-Fi."),
                       row({new RowButton(QStringLiteral("Settings"), RowButtonStyle::Kind::tint)})));
        column->addWidget(new Notice(Notice::Kind::err, QStringLiteral("The phone closed the connection")));
        column->addWidget(new Notice(
            Notice::Kind::info,
            QStringLiteral(
                "A long hint wraps onto several lines while its icon stays at the top, nudged down by "
                "one pixel so it lines up with the first line of text."),
            QStringLiteral("Secondary text under the title.")));

        column->addWidget(new SectionLabel(QStringLiteral("FOLD ROWS")));
        auto* closed = new FoldBinding(false, page.get());
        auto* open = new FoldBinding(true, page.get());
        auto* hoverBinding = new FoldBinding(false, page.get());
        column->addWidget(new FoldRow(QStringLiteral("Clipboard sync"), QStringLiteral("On"), DS::ok, closed,
                                      text(QStringLiteral("hidden"))));
        auto* body = text(QStringLiteral("Content shown while expanded."), 12, SystemColor::secondary);
        body->setContentsMargins(28, 2, 8, 8);
        column->addWidget(
            new FoldRow(QStringLiteral("Mirroring"), QStringLiteral("Off"), std::nullopt, open, body));
        auto* hoverRow =
            new FoldRow(QStringLiteral("Hovered row"), std::nullopt, std::nullopt, hoverBinding, nullptr);
        hovered = hoverRow->header();
        column->addWidget(hoverRow);
        column->addWidget(new ExpanderText(QStringLiteral("Expander text"), text(QStringLiteral("hidden"))));
        column->addStretch(1);
    }

    QImage render(Appearance appearance) {
        AppearanceSource::instance().setOverride(appearance);
        page->show();
        QApplication::setActiveWindow(page.get());
        (void)QTest::qWaitForWindowActive(page.get());
        // Wrapped texts make the page's height depend on its width.
        page->resize(440, page->heightForWidth(440));
        settle(page.get());
        focused->setFocus(Qt::TabFocusReason);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(hovered, &enter);
        QTest::qWait(250);  // animations end
        return page->grab().toImage();
    }
};

QImage brandSheet(Appearance appearance) {
    constexpr int kWidth = 760;
    QImage sheet(kWidth, 420, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(SystemColor::window.resolve(appearance));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::Antialiasing);
    int x = 16;
    for (int size : {16, 32, 64, 128, 256}) {
        p.drawImage(x, 16, Brand::appIconImage(size));
        x += size + 16;
    }
    // A tray panel strip with the glyph in the panel's colour, at 1x and 2x.
    const QColor panel = appearance == Appearance::dark ? QColor(0x2B, 0x2B, 0x2B) : QColor(0xF2, 0xF2, 0xF2);
    const QColor glyph = Brand::trayGlyphColor(appearance);
    p.fillRect(QRect(0, 300, kWidth, 100), panel);
    x = 16;
    // 1x and 2x pixels side by side (drawn pixel for pixel), then both variants enlarged.
    for (double dpr : {1.0, 2.0, 4.0}) {
        const std::vector<double> sizes = dpr > 2 ? std::vector<double>{18} : std::vector<double>{16, 18, 22};
        for (double points : sizes) {
            for (bool connected : {false, true}) {
                QImage img = Brand::menuBarImage(connected, points, glyph, dpr);
                img.setDevicePixelRatio(1);
                p.drawImage(QPoint(x, 312), img);
                x += img.width() + 12;
            }
        }
    }
    return sheet;
}

TEST(Gallery, RendersEveryComponentInLightAndDark) {
    Gallery gallery;
    const QImage light = gallery.render(Appearance::light);
    ASSERT_TRUE(light.save(artifactsDir() + "/components-light.png"));
    const QImage dark = gallery.render(Appearance::dark);
    ASSERT_TRUE(dark.save(artifactsDir() + "/components-dark.png"));
    AppearanceSource::instance().setOverride(std::nullopt);

    // Colours are resolved at paint time: the same page paints its background in each appearance's colour.
    EXPECT_EQ(light.pixelColor(2, 2).rgb(), SystemColor::window.resolve(Appearance::light).rgb());
    EXPECT_EQ(dark.pixelColor(2, 2).rgb(), SystemColor::window.resolve(Appearance::dark).rgb());
    EXPECT_EQ(light.size(), dark.size());
}

TEST(Gallery, RendersTheBrandImagesAndTheIconSet) {
    ASSERT_TRUE(brandSheet(Appearance::light).save(artifactsDir() + "/brand-light.png"));
    ASSERT_TRUE(brandSheet(Appearance::dark).save(artifactsDir() + "/brand-dark.png"));
    EXPECT_EQ(Brand::writeIconset(artifactsDir() + "/iconset"), 10);
}

}  // namespace
}  // namespace velmora

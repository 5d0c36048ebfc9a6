// Qt's stock parts in the kit's look, light and dark: the diagnostics menu, a tooltip, a scrolled view's
// scroll bar and a line edit. Each is rendered to build/artifacts/design/kit-parts-<look>.png; the checks
// read the pixels a person would see: the plate in the appearance's colours, readable text, a handle that
// shows, and rounded corners cut by a mask, so no compositor is needed to hide them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>
#include <cmath>

#include "app/design/appearance.h"
#include "app/design/kit_style.h"
#include "support/contrast.h"

namespace velmora {
namespace {

using test::contrast;
using test::luminance;

// The strongest contrast any pixel of `area` has against `ground`.
double strongest(const QImage& image, const QRect& area, QRgb ground) {
    double best = 1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            best = std::max(best, contrast(image.pixel(x, y), ground));
    return best;
}

struct Look {
    Appearance appearance;
    const char* name;
};

class KitParts : public ::testing::TestWithParam<Look> {
  protected:
    void SetUp() override {
        AppearanceSource::instance().setOverride(GetParam().appearance);
        previous_ = QApplication::palette();
        QApplication::setPalette(kitPalette(GetParam().appearance));
    }
    void TearDown() override {
        QApplication::setPalette(previous_);
        AppearanceSource::instance().setOverride(std::nullopt);
    }
    bool dark() const { return GetParam().appearance == Appearance::dark; }
    QRgb window() const { return kitPalette(GetParam().appearance).color(QPalette::Window).rgb(); }

    QPalette previous_;
};

// Pictures of the parts side by side, each over the window colour, as a person would look at them.
class Sheet {
  public:
    explicit Sheet(QRgb ground) : image_(760, 300, QImage::Format_RGB32) { image_.fill(ground); }
    void put(const QImage& part, QPoint at) { QPainter(&image_).drawImage(at, part); }
    bool save(const char* name) const {
        const QString dir = QStringLiteral(VELMORA_ARTIFACTS_DIR "/design");
        QDir().mkpath(dir);
        return image_.save(dir + "/kit-parts-" + name + ".png");
    }

  private:
    QImage image_;
};

// The window as it reaches a screen without a compositor: only the pixels of its mask, the rest the ground.
QImage onScreen(QWidget& w, QRgb ground) {
    QImage shot = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRegion mask = w.mask();
    if (mask.isEmpty()) return shot;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (!mask.contains(QPoint(x, y))) shot.setPixel(x, y, ground);
    return shot;
}

TEST_P(KitParts, MenuTooltipScrollBarAndFieldWearTheKit) {
    Sheet sheet(window());
    QWidget host;
    host.setStyle(kitStyle());
    host.resize(400, 300);
    host.show();

    // The diagnostics menu's shape: two actions, a separator, a disabled line; the first under the pointer.
    QMenu menu(&host);
    menu.setStyle(kitStyle());
    QAction* copy = menu.addAction(QStringLiteral("Copiar diagnóstico"));
    menu.addAction(QStringLiteral("Mostrar o registro"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("Nenhum dado sai deste computador"))->setEnabled(false);
    menu.popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }));
    menu.setActiveAction(copy);
    const QImage menuShot = onScreen(menu, window());
    sheet.put(menuShot, {10, 10});
    ASSERT_FALSE(menu.mask().isEmpty()) << "a rounded menu needs a mask without a compositor";
    EXPECT_FALSE(menu.mask().contains(QPoint(0, 0)));
    EXPECT_FALSE(menu.mask().contains(QPoint(menu.width() - 1, menu.height() - 1)));
    EXPECT_TRUE(menu.mask().contains(QPoint(menu.width() / 2, menu.height() / 2)));
    const QRect first = menu.actionGeometry(copy);
    const QRect second = menu.actionGeometry(menu.actions()[1]);
    // The plate is the window colour of the look; the chosen line is the accent; texts read on both.
    const QRgb plate = menuShot.pixel(second.left() + 2, second.center().y());
    EXPECT_EQ(plate, window());
    EXPECT_EQ(dark(), luminance(plate) < 0.2);
    const QRgb chosen = menuShot.pixel(first.left() + 6, first.center().y());
    EXPECT_GT(contrast(chosen, plate), 1.5);
    EXPECT_GE(strongest(menuShot, second.adjusted(8, 2, -8, -2), plate), 4.5);
    EXPECT_GE(strongest(menuShot, first.adjusted(8, 2, -8, -2), chosen), 4.5);
    menu.hide();

    // A tooltip, in the look's tooltip colours, rounded.
    QToolTip::showText(host.mapToGlobal(QPoint(20, 20)), QStringLiteral("Mover para cima"), &host);
    QWidget* tip = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QTipLabel") && w->isVisible()) tip = w;
        return tip != nullptr;
    }));
    tip->setStyle(kitStyle());
    tip->resize(tip->sizeHint() + QSize(1, 0));  // the mask follows a resize
    const QImage tipShot = onScreen(*tip, window());
    sheet.put(tipShot, {10, 200});
    EXPECT_FALSE(tip->mask().contains(QPoint(0, 0)));
    const QRgb tipPlate = tipShot.pixel(tipShot.width() / 2, 3);
    EXPECT_EQ(dark(), luminance(tipPlate) < 0.2);
    EXPECT_GE(strongest(tipShot, tipShot.rect().adjusted(6, 4, -6, -4), tipPlate), 4.5);
    QToolTip::hideText();

    // A scrolled page: the handle shows where more follows, slim, on a clear track.
    QScrollArea scroll(&host);
    scroll.setStyle(kitStyle());
    scroll.verticalScrollBar()->setStyle(kitStyle());
    scroll.setFrameShape(QFrame::NoFrame);
    scroll.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // as the guide has it
    auto* page = new QLabel(QStringLiteral("Passo a passo\n").repeated(40));
    scroll.setWidget(page);
    scroll.setGeometry(0, 0, 200, 180);
    scroll.show();
    QScrollBar* bar = scroll.verticalScrollBar();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->isVisible(); }));
    EXPECT_EQ(bar->width(), KitStyle::scrollBarWidth);
    const QImage barShot = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    sheet.put(scroll.grab().toImage(), {300, 10});
    const QRgb track = barShot.pixel(barShot.width() / 2, barShot.height() - 2);
    const QRgb handle = barShot.pixel(barShot.width() / 2, 12);
    EXPECT_GE(contrast(handle, track), 1.5) << "the scroll cue does not show";
    EXPECT_EQ(barShot.pixel(0, barShot.height() - 2), barShot.pixel(0, 12));  // no arrows, no groove box

    // The address field: a rounded plate with a rim, in the look's base colour.
    QLineEdit field(&host);
    field.setStyle(kitStyle());
    field.setText(QStringLiteral("192.168.0.35"));
    field.setGeometry(0, 0, 220, 32);
    field.show();
    QImage fieldShot(field.size(), QImage::Format_RGB32);
    fieldShot.fill(window());
    {
        QPainter p(&fieldShot);
        field.render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
    }
    sheet.put(fieldShot, {300, 220});
    EXPECT_EQ(fieldShot.pixel(0, 0), window()) << "the field's corner is square";
    const QRgb base = fieldShot.pixel(fieldShot.width() - 10, fieldShot.height() / 2);
    EXPECT_EQ(dark(), luminance(base) < 0.2);
    EXPECT_GT(contrast(fieldShot.pixel(fieldShot.width() / 2, 0), base), 1.1);  // the rim
    EXPECT_GE(strongest(fieldShot, QRect(10, 6, 90, 20), base), 4.5);
    EXPECT_EQ(fieldShot.pixel(5, fieldShot.height() / 2), base);  // the text keeps clear of the rim

    EXPECT_TRUE(sheet.save(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(Looks, KitParts,
                         ::testing::Values(Look{Appearance::light, "light"}, Look{Appearance::dark, "dark"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmora

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLayout>
#include <QTest>

#include "app/design/guide/guide_view.h"
#include "guide_test_support.h"
#include "platform/appearance/appearance.h"

namespace velmora {
namespace {

// The whole guide at the window's width, every part scrolled into one picture.
QImage renderWhole(GuideView& view, int width) {
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int height = view.widget()->layout()->totalHeightForWidth(width);
    view.resize(width, std::max(height, view.minimumHeight()));
    view.widget()->layout()->activate();
    return view.widget()->grab().toImage();
}

struct RenderCase {
    std::string language;
    Appearance appearance;
    bool allOpen;
};

class GuideRender : public ::testing::TestWithParam<RenderCase> {};

TEST_P(GuideRender, WritesThePicture) {
    const auto& c = GetParam();
    guide::testing::L10nScope l10n;
    l10n.language(c.language);
    AppearanceSource::instance().setOverride(c.appearance);
    GuideView view;
    if (c.allOpen)
        for (const auto& topic : guide::content().topics)
            view.setOpen(QString::fromStdString(L10n::string(topic.titleKey)), true);
    // Let the folds finish opening, as a person would see them.
    QTest::qWait(400);
    const QImage image = renderWhole(view, 600);
    AppearanceSource::instance().setOverride(std::nullopt);

    const QString dir = QString(VELMORA_ARTIFACTS_DIR) + "/guide";
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString name =
        QString("%1/guide-%2-%3-%4.png")
            .arg(dir, QString::fromStdString(c.language), c.appearance == Appearance::dark ? "dark" : "light",
                 c.allOpen ? "open" : "folded");
    ASSERT_TRUE(image.save(name)) << name.toStdString();
    EXPECT_EQ(image.width(), 600);
    // Open topics show more than folded ones.
    EXPECT_GT(image.height(), c.allOpen ? 1400 : 700);
}

INSTANTIATE_TEST_SUITE_P(Guide, GuideRender,
                         ::testing::Values(RenderCase{"pt-BR", Appearance::light, false},
                                           RenderCase{"pt-BR", Appearance::light, true},
                                           RenderCase{"pt-BR", Appearance::dark, false},
                                           RenderCase{"pt-BR", Appearance::dark, true},
                                           RenderCase{"en", Appearance::light, false},
                                           RenderCase{"en", Appearance::light, true},
                                           RenderCase{"en", Appearance::dark, false},
                                           RenderCase{"en", Appearance::dark, true}));

}  // namespace
}  // namespace velmora

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

// Language, appearance, and whether every topic is open.
class GuideRender : public ::testing::TestWithParam<std::tuple<std::string, Appearance, bool>> {};

TEST_P(GuideRender, WritesThePicture) {
    const auto& [language, appearance, allOpen] = GetParam();
    guide::testing::L10nScope l10n;
    l10n.language(language);
    AppearanceSource::instance().setOverride(appearance);
    GuideView view;
    if (allOpen)
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
            .arg(dir, QString::fromStdString(language), appearance == Appearance::dark ? "dark" : "light",
                 allOpen ? "open" : "folded");
    ASSERT_TRUE(image.save(name)) << name.toStdString();
    EXPECT_EQ(image.width(), 600);
    // Open topics show more than folded ones.
    EXPECT_GT(image.height(), allOpen ? 1400 : 700);
}

INSTANTIATE_TEST_SUITE_P(Guide, GuideRender,
                         ::testing::Combine(::testing::Values("pt-BR", "en"),
                                            ::testing::Values(Appearance::light, Appearance::dark),
                                            ::testing::Bool()));

}  // namespace
}  // namespace velmora

// The installer section through each of its states, rendered into build/artifacts/installer/ to look at.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QVBoxLayout>

#include "app/design/appearance.h"
#include "app/design/cards.h"
#include "app/design/fold_row.h"
#include "app/shell/installer/phone_install_section.h"
#include "app/shell/phones/phone_list_actions.h"
#include "app/shell/tray/model_bodies.h"
#include "core/exec/manual_executor.h"
#include "core/l10n/l10n.h"
#include "core/process/posix_process_runner.h"
#include "design/widget_helpers.h"
#include "panel/panel_rig.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

using namespace testing_support;
using Content = SectionContent;

class InstallSectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host = activeWindow({340, 480});
        host->setAutoFillBackground(true);
        (new QVBoxLayout(host.get()))->addStretch(1);
        section = addSection();
        installer.setOnChange([this] {
            for (auto* s : host->findChildren<PhoneInstallSection*>())
                s->refresh();
        });
    }
    PhoneInstallSection* addSection() {
        auto* s = new PhoneInstallSection(installer);
        static_cast<QVBoxLayout*>(host->layout())->insertWidget(0, s);
        return s;
    }
    // The visible button under `root` that reads `label`.
    QAbstractButton* button(const std::string& label, QWidget* root = nullptr) {
        for (auto* b : (root ? root : host.get())->findChildren<QAbstractButton*>())
            if (b->isVisible() && b->text() == QString::fromStdString(label)) return b;
        ADD_FAILURE() << "no button " << label;
        return nullptr;
    }
    void press(const std::string& label, QWidget* root = nullptr) {
        if (auto* b = button(label, root)) b->click();
        ASSERT_TRUE(settle(host.get()));
    }
    void shows(Content content, const char* png, PhoneInstallSection* s = nullptr) {
        s = s ? s : section;
        ASSERT_TRUE(settle(host.get()));
        EXPECT_EQ(s->content(), content) << png;
        EXPECT_TRUE(cutTexts(s).isEmpty()) << png << ": " << cutTexts(s).join(" | ").toStdString();
        const QString dir = QStringLiteral(VELMORA_ARTIFACTS_DIR "/installer");
        QDir().mkpath(dir);
        const QRect area(0, 0, host->width(), std::max(24, s->geometry().bottom() + 12));
        EXPECT_TRUE(host->grab(area).save(dir + "/" + png + ".png")) << png;
    }

    const InstallCandidate first{"R58N123", "Phone-7-Pro"}, second{"ZY22", "Work-phone"};
    PhoneInstaller installer{"/usr/bin/adb",
                             {},
                             std::make_shared<ManualExecutor>(),
                             std::make_shared<ManualExecutor>(),
                             std::make_shared<PosixProcessRunner>()};
    std::unique_ptr<QWidget> host;
    PhoneInstallSection* section = nullptr;
};

TEST_F(InstallSectionTest, OffersInstallsAndReportsOnePhoneAtATime) {
    installer.setPreview({first, second}, 1, InstallStatus::idle());
    shows(Content::offers, "offers");
    QStringList cards;
    for (auto* card : section->findChildren<Card*>())
        cards << card->objectName();
    EXPECT_EQ(cards, (QStringList{"R58N123", "ZY22"}));
    // The second card's button installs on that phone only; this build carries no package, so it fails.
    press(L10n::format("install.offer.button", {second.model}), section->findChild<Card*>("ZY22"));
    const auto refused = InstallStatus::failed(second, {InstallFailure::Kind::noInstaller, {}});
    EXPECT_EQ(installer.status(), refused);
    shows(Content::failed, "failed");
    press(L10n::string("common.try_again"));
    EXPECT_EQ(installer.status(), refused);
    press(L10n::string("common.close"));
    EXPECT_EQ(installer.status(), InstallStatus::idle());
    EXPECT_EQ(section->content(), Content::offers);

    installer.setPreview({first, second}, 0, InstallStatus::installing(first));
    shows(Content::installing, "installing");
    installer.setPreview({second}, 0, InstallStatus::success(first));
    shows(Content::success, "success");
    press(L10n::string("common.got_it"));
    EXPECT_EQ(installer.status(), InstallStatus::idle());
    EXPECT_EQ(section->content(), Content::offers);
}

TEST_F(InstallSectionTest, HintsAndTheHowToWhenThereIsNothingToOffer) {
    installer.setPreview({}, 2, InstallStatus::idle());
    section->setNothingFound(true);
    shows(Content::unauthorized, "unauthorized");
    installer.setPreview({}, 0, InstallStatus::idle());
    shows(Content::howTo, "howto_folded");
    section->open()->setExpanded(true);
    shows(Content::howTo, "howto_adb_found");

    section->setNothingFound(false);
    ASSERT_TRUE(settle(host.get()));
    EXPECT_EQ(section->content(), Content::nothing);
    EXPECT_FALSE(section->isVisible());

    PhoneInstallSection::startOpen = true;
    auto* unfolded = addSection();
    PhoneInstallSection::startOpen = false;
    unfolded->setAdbMissing(true);
    unfolded->setNothingFound(true);
    EXPECT_TRUE(unfolded->open()->isExpanded());
    shows(Content::howTo, "howto_adb_missing", unfolded);
    QGuiApplication::clipboard()->setText("something else");
    press(L10n::string("common.copy"), unfolded);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), PhoneInstallSection::installCommand);
}

// The panel's phone list over a model: its bodies head with the section over the model's installer, which
// follows each change the panel is told of; rendered into build/artifacts/panel/.
TEST(PhoneListInstallSection, FollowsTheModelsInstallerInThePanel) {
    test::ModelHarness harness;
    harness.start();
    ModelPhoneActions phoneActions(harness.model);
    const PhoneQueries queries{[](const DiscoveredPhone&) { return false; },
                               [](const DiscoveredPhone&) { return std::optional<bool>(); }};
    PanelRig rig;
    rig.model.state.browserReady = true;
    rig.window = activeWindow({360, 900});
    rig.panel = new MenuPanel([&] { return rig.model; }, rig.actions, rig.settings,
                              modelBodies({phoneActions, queries, false, harness.model}), rig.window.get());
    rig.panel->show();
    const QString dir = QStringLiteral(VELMORA_ARTIFACTS_DIR "/panel");
    QDir().mkpath(dir);
    auto section = [&](const char* shot, Appearance look = Appearance::light) {
        AppearanceSource::instance().setOverride(look);
        rig.update();
        rig.panel->grab().save(QString("%1/%2.png").arg(dir, shot));
        AppearanceSource::instance().setOverride(std::nullopt);
        return rig.panel->findChild<PhoneInstallSection*>();
    };
    PhoneInstaller& installer = harness.model->installer();
    const InstallCandidate phone{"R58N", "Nimbo-8"};
    installer.setPreview({phone}, 0, InstallStatus::idle());
    ASSERT_TRUE(section("list-install-offer-light"));
    EXPECT_EQ(section("list-install-offer-dark", Appearance::dark)->content(), Content::offers);
    installer.setPreview({phone}, 0, InstallStatus::installing(phone));
    DiscoveredPhone seen;
    seen.id = std::string(32, 'a'), seen.name = "Nimbo 7";
    rig.model.state.phones = {seen};
    EXPECT_EQ(section("list-install-found-installing")->content(), Content::installing);
}

}  // namespace
}  // namespace velmora

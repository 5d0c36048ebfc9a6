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
#include "app/links/installer/phone_installer.h"
#include "app/shell/installer/install_widgets.h"
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
    // The command breaks only between its words, and each line of it shows whole.
    const auto* command = unfolded->findChild<CommandText*>();
    ASSERT_NE(command, nullptr);
    EXPECT_GE(command->width(), command->minimumSizeHint().width());
    EXPECT_GE(command->height(), command->heightForWidth(command->width()));
    EXPECT_EQ(command->lines(command->width()).join(' '), PhoneInstallSection::installCommand);
    QGuiApplication::clipboard()->setText("something else");
    press(L10n::string("common.copy"), unfolded);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), PhoneInstallSection::installCommand);
}

// The phone list's section is over the model's installer and follows it; rendered into artifacts/panel/.
TEST(PhoneListInstallSection, FollowsTheModelsInstallerInThePanel) {
    test::ModelHarness harness;
    ModelPhoneActions phoneActions(harness.start().shared_from_this());
    PanelRig rig;
    rig.window = activeWindow({360, 900});
    rig.panel = new MenuPanel([&] { return rig.model; }, rig.actions, rig.settings,
                              modelBodies({phoneActions, {}, false, harness.model}), rig.window.get());
    rig.panel->show();
    auto shown = [&](Appearance look) {
        AppearanceSource::instance().setOverride(look);
        rig.update();
        const bool dark = look == Appearance::dark;
        rig.panel->grab().save(
            QString(VELMORA_ARTIFACTS_DIR "/panel/list-install-%1.png").arg(dark ? "dark" : "light"));
        AppearanceSource::instance().setOverride(std::nullopt);
        return rig.panel->findChild<PhoneInstallSection*>()->content();
    };
    const InstallCandidate phone{"R58N", "Nimbo-8"};
    harness.model->installer().setPreview({phone}, 0, InstallStatus::idle());
    EXPECT_EQ(shown(Appearance::dark), Content::offers);
    harness.model->installer().setPreview({phone}, 0, InstallStatus::installing(phone));
    EXPECT_EQ(shown(Appearance::light), Content::installing);
}

}  // namespace
}  // namespace velmora

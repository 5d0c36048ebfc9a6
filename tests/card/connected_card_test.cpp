// The connected card inside the panel: drops, the received files reaching the desktop's workspace through
// the model, the card following the model's state, and renders light and dark in build/artifacts/panel/.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QMimeData>
#include <fstream>

#include "app/design/appearance.h"
#include "app/design/text_block.h"
#include "app/model/app_model.h"
#include "app/shell/card/card_actions.h"
#include "app/shell/card/connected_card.h"
#include "app/shell/card/drop_area.h"
#include "core/l10n/l10n.h"
#include "links/fake_adb.h"
#include "panel/panel_rig.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

using namespace testing_support;
using test::ModelHarness;
using test::TempDir;

struct RecordingActions final : CardActions {
    bool fastLinkAvailable() const override { return fast; }
    void switchToFastLink() override { calls.push_back("switch"); }
    void startMirror() override { calls.push_back("startMirror"); }
    void stopMirror() override { calls.push_back("stopMirror"); }
    void pickAndSendFiles() override {}
    void sendClipboard() override {}
    void toggleRing() override { calls.push_back("ring"); }
    void disconnect() override {}
    void reveal(const std::filesystem::path&) override {}
    void open(const std::filesystem::path&) override {}
    void openFolder() override {}
    InstallStatus installStatus() const override { return InstallStatus::idle(); }
    bool cablePhonePresent() const override { return false; }
    void installUpdate() override {}
    bool fast = false;
    std::vector<std::string> calls;
};

// The panel, connected to "Nimbo 8", with the card as its connected body.
struct CardRig : PanelRig {
    explicit CardRig(std::function<PanelBody*()> make = {}) {
        model.state.state = ConnState::connected("Nimbo 8");
        auto actions = std::make_shared<RecordingActions>();
        recorded = actions.get();
        if (!make) make = [actions] { return new ConnectedCard(actions); };
        factory = [make](PanelState::Kind kind, const PanelActions& a) {
            return kind == PanelState::Kind::connected ? make() : placeholderBody(kind, a);
        };
    }
    MenuPanel& openCard() {
        window = activeWindow({360, 900});
        panel = new MenuPanel([this] { return model; }, actions, settings, factory, window.get());
        panel->show();
        settle(window.get());
        return *panel;
    }
    ConnectedCard& card() const { return *dynamic_cast<ConnectedCard*>(panel->body()); }
    template <typename W>
    W* find(const QString& name) const {
        for (auto* w : card().findChildren<W*>())
            if (w->isVisible() && (w->accessibleName() == name || w->property("text").toString() == name))
                return w;
        return nullptr;
    }
    BodyFactory factory;
    RecordingActions* recorded;
};

TEST(ConnectedCard, ADropOfTwoFilesAndAFolderSendsTheTwoFiles) {
    TempDir dir;
    for (const char* name : {"a.txt", "b.png"})
        std::ofstream(dir.path() / name) << name;
    std::filesystem::create_directory(dir.path() / "folder");
    CardRig rig;
    auto& panel = rig.openCard();
    QMimeData mime;
    QList<QUrl> urls;
    for (const char* name : {"a.txt", "folder", "b.png"})
        urls << QUrl::fromLocalFile(QString::fromStdString((dir.path() / name).string()));
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &enter);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.card().dropArea()->highlighted(); }, 30000));
    EXPECT_EQ(rig.card().dropArea()->text(), "Send to Nimbo 8");
    QDropEvent dropped(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &dropped);
    EXPECT_EQ(rig.calls, (std::vector<std::string>{"send " + (dir.path() / "a.txt").string(),
                                                   "send " + (dir.path() / "b.png").string()}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !rig.card().dropArea()->highlighted(); }, 30000));
    EXPECT_EQ(rig.card().dropArea()->text(), "Drop files here to send them");
}

TEST(ConnectedCard, ShowAndOpenReachTheWorkspaceWithTheFilesPaths) {
    ModelHarness harness;
    AppModel& model = harness.start();
    const auto folder = model.downloadsDir();
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "photo.jpg") << "x";
    CardRig rig([&] { return connectedBody(harness.model); });
    rig.model.state.recentFiles = {{"1", folder / "photo.jpg", 2}, {"2", folder / "gone.pdf", 1}};
    rig.openCard();
    auto press = [&](const QString& name) {
        auto* button = rig.find<QAbstractButton>(name);
        ASSERT_TRUE(button) << name.toStdString();
        button->click();
    };
    press("Show photo.jpg in the file manager");
    press("Open photo.jpg");
    press("Open gone.pdf");  // deleted since: the folder opens instead
    press("Open received files folder");
    const std::string f = folder.string();
    EXPECT_EQ(harness.journal->after("workspace."),
              (std::vector<std::string>{"reveal " + f + "/photo.jpg", "open " + f + "/photo.jpg", "open " + f,
                                        "open " + f}));
}

TEST(ConnectedCard, FollowsTheModelsState) {
    CardRig rig;
    rig.openCard();
    auto* card = &rig.card();
    rig.model.state.mirroring = rig.model.state.ringing = true;
    rig.model.state.linkKind = "ble";  // the Bluetooth start text is only for starting
    rig.update();
    EXPECT_EQ(card, &rig.card());  // the same body, redrawn
    ASSERT_TRUE(rig.find<QAbstractButton>("Stop mirroring"));
    rig.find<QAbstractButton>("Stop mirroring")->click();
    rig.find<QAbstractButton>("Stop ringing")->click();
    EXPECT_EQ(rig.recorded->calls, (std::vector<std::string>{"stopMirror", "ring"}));
}

// The update notice over a real model's installer: each published status in turn, then the update button on
// the first of two cable phones. Each state is rendered into build/artifacts/card/.
TEST(ConnectedCard, TheUpdateNoticeFollowsTheInstallerAndUpdatesTheFirstCablePhone) {
    ModelHarness harness;
    const auto adb = std::make_shared<test::FakeAdb>();
    adb->answers["devices -l"] = test::printed(
        "List of devices attached\nFIRST device usb:1 model:Nimbo_8\n"
        "SECOND device usb:2 model:Nimbo_7\n");
    const auto polls = std::make_shared<ManualExecutor>(0);
    harness.makeInstaller = [&](std::optional<std::string>) {
        return std::make_unique<PhoneInstaller>("/usr/bin/adb", PhoneInstaller::Package{}, polls,
                                                harness.exec, adb);
    };
    AppModel& model = harness.start();
    CardRig rig([&] { return connectedBody(harness.model); });
    rig.model.phoneNeedsUpdate = true;
    rig.openCard();
    const QString dir = QStringLiteral(VELMORA_ARTIFACTS_DIR "/card");
    QDir().mkpath(dir);
    auto shows = [&](const std::string& key, const char* shot) {
        rig.update();
        rig.panel->grab().save(QString("%1/update-%2.png").arg(dir, shot));
        for (auto* text : rig.card().findChildren<TextBlock*>())
            if (text->isVisible() && text->text() == QString::fromStdString(key)) return true;
        return rig.find<QAbstractButton>(QString::fromStdString(key)) != nullptr;
    };
    const InstallCandidate phone{"FIRST", "Nimbo-8"};
    const InstallFailure refused{InstallFailure::Kind::userRestricted, {}};
    EXPECT_TRUE(shows(L10n::string("panel.update.plug"), "plug"));
    model.installer().setPreview({}, 0, InstallStatus::installing(phone));
    EXPECT_TRUE(shows(L10n::string("panel.update.installing"), "installing"));
    model.installer().setPreview({}, 0, InstallStatus::success(phone));
    EXPECT_TRUE(shows(L10n::string("panel.update.done"), "done"));
    model.installer().setPreview({}, 0, InstallStatus::failed(phone, refused));
    EXPECT_TRUE(shows(refused.message(), "failed"));

    polls->advance(PhoneInstaller::firstPollDelay);  // the cable phones, as the installer's poll finds them
    harness.exec->runPending();
    model.installer().setPreview({}, 0, InstallStatus::idle());
    ASSERT_TRUE(shows(L10n::string("panel.update.button"), "button"));
    rig.find<QAbstractButton>(QString::fromStdString(L10n::string("panel.update.button")))->click();
    EXPECT_EQ(model.installer().status(),
              InstallStatus::failed(phone, {InstallFailure::Kind::noInstaller, {}}))
        << "the first cable phone; this build carries no package";
}

TEST(ConnectedCard, RendersLightAndDark) {
    const QString dir = QStringLiteral(VELMORA_ARTIFACTS_DIR "/panel");
    QDir().mkpath(dir);
    const std::pair<const char*, std::function<void(CardRig&)>> shots[] = {
        {"card-wifi",
         [](CardRig& r) { r.model.state.rttMs = 85, r.model.state.activeKind = ConnKind::wifi; }},
        {"card-busy", [](CardRig& r) {
             auto& s = r.model.state;
             s.linkKind = "ble", s.battery = 100, s.charging = true, s.rttMs = 40,
             s.phoneControlPaused = true;
             s.mirroring = true, s.transferText = "Sending holiday.mov (42%)";
             r.recorded->fast = true;
             s.recentFiles = {{"1", "/dl/a-very-long-name-from-the-phone-camera-2026-12-06.jpg", 3},
                              {"2", "/dl/notes.txt", 2},
                              {"3", "/dl/report.pdf", 1}};
         }}};
    for (const auto& [name, set] : shots)
        for (const auto appearance : {Appearance::light, Appearance::dark}) {
            AppearanceSource::instance().setOverride(appearance);
            CardRig rig;
            set(rig);
            auto& panel = rig.openCard();
            const QString file =
                QString("%1/%2-%3.png").arg(dir, name, appearance == Appearance::light ? "light" : "dark");
            EXPECT_TRUE(panel.grab().save(file)) << file.toStdString();
        }
    AppearanceSource::instance().setOverride(std::nullopt);
}

}  // namespace
}  // namespace velmora

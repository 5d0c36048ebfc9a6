// The connected card inside the panel: drops, the received files reaching the desktop's workspace through
// the model, the card following the model's state in place, a failed transfer in the error colour, and
// renders light and dark in build/artifacts/panel/.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QMimeData>
#include <algorithm>
#include <fstream>

#include "app/design/appearance.h"
#include "app/design/notice.h"
#include "app/design/text_block.h"
#include "app/links/installer/phone_installer.h"
#include "app/model/app_model.h"
#include "app/shell/card/card_actions.h"
#include "app/shell/card/connected_card.h"
#include "app/shell/card/drop_area.h"
#include "app/shell/panel/panel_controls.h"
#include "core/errors/friendly_errors.h"
#include "core/l10n/l10n.h"
#include "links/fake_adb.h"
#include "panel/layout_faults.h"
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

// The heartbeat's round-trip time changes the link line and nothing else: every widget of the card stays
// the same object, so focus and hover survive and a click whose press and release straddle an update lands.
TEST(ConnectedCard, UpdatesInPlaceAcrossFiftyRoundTripTimes) {
    CardRig rig;
    rig.model.state.rttMs = 20;
    rig.model.state.battery = 64;
    rig.openCard();
    auto widgets = [&] {
        QList<QWidget*> all = rig.card().findChildren<QWidget*>();
        std::sort(all.begin(), all.end());
        return all;
    };
    const QList<QWidget*> before = widgets();
    const QString ringTitle = QString::fromStdString(L10n::string("panel.tile.ring"));
    auto* ring = rig.find<ActionTile>(ringTitle);
    ASSERT_TRUE(ring);
    ring->setFocus(Qt::TabFocusReason);
    QTest::mouseMove(ring, ring->rect().center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ring->isHovered(); }, 30000));
    for (int i = 0; i < 50; ++i) {
        rig.model.state.rttMs = 20 + 2 * i;  // across the slow-link line at 80 ms
        rig.update();
    }
    EXPECT_EQ(widgets(), before);
    EXPECT_TRUE(ring->hasFocus());
    EXPECT_TRUE(ring->isHovered());
    const std::string lastLine = L10n::format("panel.transport.rtt", {transportTitle(rig.model.state), 118});
    EXPECT_TRUE(rig.find<TextBlock>(QString::fromStdString(lastLine))) << lastLine;

    // Press, an update, release: the click lands on the tile and on the mirror button alike.
    QTest::mousePress(ring, Qt::LeftButton, {}, ring->rect().center());
    rig.model.state.rttMs = 30;
    rig.update();
    QTest::mouseRelease(ring, Qt::LeftButton, {}, ring->rect().center());
    auto* mirror = rig.find<QAbstractButton>(QString::fromStdString(L10n::string("panel.mirror.start")));
    ASSERT_TRUE(mirror);
    QTest::mousePress(mirror, Qt::LeftButton, {}, mirror->rect().center());
    rig.model.state.rttMs = 31;
    rig.model.state.battery = 63;
    rig.update();
    QTest::mouseRelease(mirror, Qt::LeftButton, {}, mirror->rect().center());
    EXPECT_EQ(rig.recorded->calls, (std::vector<std::string>{"ring", "startMirror"}));
    EXPECT_EQ(widgets(), before);
}

// A transfer that failed is told in the error colour, never in the accent colour of one under way or done.
TEST(ConnectedCard, AFailedTransferIsDrawnAsAFailure) {
    CardRig rig;
    const std::string noReply = L10n::string("transfer.no_reply");
    const std::string sent = L10n::format("transfer.sent", {"a.txt"});
    rig.model.state.transferText = rig.model.state.transferFailure = noReply;
    rig.openCard();
    EXPECT_EQ(rig.card().dropArea()->text().toStdString(), noReply);
    EXPECT_TRUE(rig.card().dropArea()->showsFailure());
    QDir().mkpath(VELMORA_ARTIFACTS_DIR "/card");
    rig.panel->grab().save(VELMORA_ARTIFACTS_DIR "/card/transfer-no-reply.png");
    rig.model.state.transferText = sent;  // a later success: the failure no longer matches the line
    rig.update();
    EXPECT_EQ(rig.card().dropArea()->text().toStdString(), sent);
    EXPECT_FALSE(rig.card().dropArea()->showsFailure());
}

// The update notice follows the model's installer and updates the first cable phone; each state is
// rendered into build/artifacts/card/.
TEST(ConnectedCard, TheUpdateNoticeFollowsTheInstallerAndUpdatesTheFirstCablePhone) {
    ModelHarness harness;
    const auto adb = std::make_shared<test::FakeAdb>();
    adb->answers["devices -l"] = test::printed("List\nFIRST device usb:1 model:N8\nSECOND device usb:2\n");
    const auto polls = std::make_shared<ManualExecutor>(0);
    harness.makeInstaller = [&](std::optional<std::string>) {
        return std::make_unique<PhoneInstaller>("/adb", PhoneInstaller::Package{}, polls, harness.exec, adb);
    };
    CompanionInstaller& installer = harness.start().installer();
    CardRig rig([&] { return connectedBody(harness.model); });
    rig.model.phoneNeedsUpdate = true;
    rig.openCard();
    QDir().mkpath(VELMORA_ARTIFACTS_DIR "/card");
    auto shows = [&](InstallStatus status, const std::string& text, const char* shot) {
        installer.setPreview({}, 0, status);
        rig.update();
        rig.panel->grab().save(QString(VELMORA_ARTIFACTS_DIR "/card/update-%1.png").arg(shot));
        // Shown, and whole: a sentence wraps at the notice's width rather than being cut.
        for (auto* block : rig.card().findChildren<TextBlock*>())
            if (block->isVisible() && block->text() == QString::fromStdString(text))
                return block->wraps() ? block->height() >= block->heightForWidth(block->width())
                                      : block->width() >= block->sizeHint().width();
        return false;
    };
    const InstallCandidate first{"FIRST", "N8"};
    const InstallFailure refused{InstallFailure::Kind::userRestricted, {}};
    EXPECT_TRUE(shows(InstallStatus::idle(), L10n::string("panel.update.plug"), "plug"));
    EXPECT_TRUE(
        shows(InstallStatus::installing(first), L10n::string("panel.update.installing"), "installing"));
    EXPECT_TRUE(shows(InstallStatus::success(first), L10n::string("panel.update.done"), "done"));
    EXPECT_TRUE(shows(InstallStatus::failed(first, refused), refused.message(), "failed"));
    polls->advance(PhoneInstaller::firstPollDelay);  // the cable phones, as the poll finds them
    harness.exec->runPending();
    shows(InstallStatus::idle(), {}, "button");
    auto* update = rig.find<QAbstractButton>(QString::fromStdString(L10n::string("panel.update.button")));
    ASSERT_TRUE(update);
    update->click();
    EXPECT_EQ(installer.status(), InstallStatus::failed(first, {InstallFailure::Kind::noInstaller, {}}))
        << "installed on the first cable phone; this build carries no package";
}

// Files received, then a phone error whose notice comes and goes above the list while the error itself
// stays. At every step, as soon as the panel refreshes and again once the events have run, the notices
// are the state's, no two controls overlap and the panel is as tall as its content; the card after the
// error is drawn into build/artifacts/card/.
TEST(ConnectedCard, NoOverlapAsAPhoneErrorComesAndGoesOverReceivedFiles) {
    CardRig rig;
    rig.openCard();
    const std::string error = FriendlyErrors::phoneError("busy", "x");
    const std::string wrong = L10n::string("common.something_wrong");
    struct Step {
        const char* name;
        std::function<void(PublishedState&)> change;
        std::vector<std::string> notices;  // the titles shown, top to bottom
    };
    const Step steps[] = {
        {"connected", [](PublishedState&) {}, {}},
        {"received",
         [](PublishedState& s) {
             s.recentFiles = {{"1", "/dl/hostname", 2}, {"2", "/dl/os-release", 1}};
         },
         {}},
        {"error",
         [&](PublishedState& s) {
             s.panelNotice = PanelNotice{error, std::nullopt};
             s.lastError = error;
         },
         {error, wrong}},
        {"notice-gone", [](PublishedState& s) { s.panelNotice.reset(); }, {wrong}},
        {"error-again",
         [&](PublishedState& s) {
             s.panelNotice = PanelNotice{error, std::nullopt};
             s.recentFiles.push_back({"3", "/dl/hostname (1)", 0});
         },
         {error, wrong}},
        {"error-gone",
         [](PublishedState& s) {
             s.panelNotice.reset();
             s.lastError.reset();
         },
         {}},
    };
    auto shownNotices = [&] {
        std::vector<std::pair<int, std::string>> shown;
        for (auto* notice : rig.panel->findChildren<Notice*>())
            if (notice->isVisible())
                shown.emplace_back(notice->mapTo(rig.panel, QPoint(0, 0)).y(),
                                   notice->accessibleName().toStdString());
        std::ranges::sort(shown);
        std::vector<std::string> titles;
        for (const auto& [top, title] : shown)
            titles.push_back(title);
        return titles;
    };
    QDir().mkpath(VELMORA_ARTIFACTS_DIR "/card");
    for (const auto& [name, change, notices] : steps) {
        change(rig.model.state);
        rig.panel->refresh();
        EXPECT_THAT(layoutFaults(*rig.panel), testing::IsEmpty()) << name << ", at once";
        settle(rig.window.get());
        EXPECT_THAT(layoutFaults(*rig.panel), testing::IsEmpty()) << name;
        EXPECT_EQ(shownNotices(), notices) << name;
        rig.panel->grab().save(QString(VELMORA_ARTIFACTS_DIR "/card/phone-error-%1.png").arg(name));
    }
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

// Start-up, the user's connection order while running, and shutdown, seen through the ports.
#include <gtest/gtest.h>

#include <cerrno>

#include "core/errors/crypto_error.h"
#include "core/errors/friendly_errors.h"
#include "core/l10n/l10n.h"
#include "core/storage/app_paths.h"
#include "support/model_harness.h"
#include "support/session_language.h"

namespace velmora {
namespace {

using test::ModelHarness;
using Kind = ConnState::Kind;

std::vector<LinkPref> with(std::vector<LinkPref> prefs, ConnKind kind, bool on) {
    return LinkPrefs::setEnabled(prefs, kind, on)->prefs;
}

TEST(Startup, BringsEachSourceToLifeInOrder) {
    ModelHarness h;
    h.pairBothSides();
    h.host->computer = "";  // no name: the fallback
    AppModel& model = h.start();
    EXPECT_EQ(h.journal->all(),
              (std::vector<std::string>{"usb.onChange", "ble.handlers", "network.start", "wake.start",
                                        "browser.start", "usb.start", "ble.start", "notices.start"}));
    EXPECT_TRUE(model.live());
    EXPECT_EQ(model.state().paired.size(), 1u);
    EXPECT_EQ(model.identity().deviceName(), "Computador");
}

TEST(Startup, PreviewStartsNothingAndReadsNoPeers) {
    ModelHarness h;
    h.pairBothSides();
    ModelPorts bare;  // the snapshot tool's: no port beyond the executor and the settings
    bare.main = h.exec;
    bare.settings = h.settings;
    h.model = AppModel::create(bare, /*preview=*/true);
    AppModel& model = *h.model;
    model.applyLinkPrefs();
    model.setLinkPrefs(with(model.state().linkPrefs, ConnKind::usb, false));
    h.advance(10);
    EXPECT_FALSE(model.live());
    EXPECT_TRUE(model.state().paired.empty());
    EXPECT_EQ(model.identity().deviceName(), "Workstation");
}

TEST(Startup, OnlyAPreviewTakesAWholeStateAndItsObserversHearOfItOnce) {
    ModelHarness h;
    AppModel& live = h.start();
    const auto preview = AppModel::create(h.ports(), /*preview=*/true);
    int heard = 0;
    const Subscription listening = preview->observe([&heard] { ++heard; });
    PublishedState shown = preview->state();
    shown.state = ConnState::connected("NB-7X");
    for (int round = 0; round < 2; ++round) {  // the same state again: nothing more to hear
        EXPECT_TRUE(preview->setPreviewState(shown) && !live.setPreviewState(shown));
        h.exec->runPending();
    }
    EXPECT_EQ(preview->state(), shown);
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(live.state().state.kind(), Kind::idle);
    EXPECT_NE(h.log().find("estado de pré-visualização recusado"), std::string::npos);
}

TEST(Startup, AnIdentityThatCannotBeLoadedEndsWithAnAlertAndStatusOne) {
    ModelHarness h;
    h.identityFails = true;
    h.model = AppModel::create(h.ports(), false);
    EXPECT_EQ(h.model, nullptr);
    const auto said = h.journal->all();  // the alert, the exit, the prompts closed; nothing started
    ASSERT_EQ(said.size(), 3u) << testing::PrintToString(said);
    EXPECT_TRUE(said[0].starts_with("alerts." + L10n::string("err.identity_alert.title") + " | ")) << said[0];
    EXPECT_EQ(said[1], "alerts.exit 1");
    EXPECT_EQ(said[2], "prompt.said dismissed");
}

// Table: why the identity could not be loaded, and what the alert says, naming the key file where it is. The
// session is English: the user reads the alert in English, the log keeps its words in Portuguese and the
// cause itself.
TEST(Startup, TheIdentityAlertNamesWhatIsWrongWithTheKey) {
    const test::SessionLanguage english("en_US.UTF-8");  // the user reads English; the log stays Portuguese
    const std::function<std::string()> damaged = [] { return FriendlyErrors::identityDamaged(); };
    const std::function<std::string()> unreadable = [] {
        return FriendlyErrors::text(CXPError::identityFileUnreadable(EACCES));
    };
    const std::function<std::string()> unsafe = [] {
        return FriendlyErrors::text(CXPError::identityFileUnsafe());
    };
    const struct {
        std::function<void()> fail;
        std::function<std::string()> text;
        std::string named, logged;
    } rows[] = {
        {[] { throw CryptoError("chave privada P-256 de tamanho inválido"); }, damaged,
         AppPaths::shownIdentityKeyFile(), "chave privada P-256 de tamanho inválido"},
        {[] { throw CXPError::identityFileUnreadable(EACCES); }, unreadable, AppPaths::shownIdentityKeyFile(),
         "identityFileUnreadable: 13"},
        {[] { throw CXPError::identityFileUnsafe(); }, unsafe, AppPaths::shownSupportDir(),
         "identityFileUnsafe"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.logged);
        ModelHarness h;
        ModelPorts ports = h.ports();
        ports.loadIdentity = [&](const std::string&) -> std::unique_ptr<Identity> {
            row.fail();
            return nullptr;
        };
        EXPECT_EQ(AppModel::create(std::move(ports), false), nullptr);
        const auto said = h.journal->after("alerts.");
        ASSERT_EQ(said.size(), 2u) << testing::PrintToString(said);
        EXPECT_EQ(said[0], "This computer's identity could not be loaded | " + row.text());
        EXPECT_NE(said[0].find(" " + row.named), std::string::npos) << said[0];
        EXPECT_EQ(said[1], "exit 1");
        EXPECT_NE(h.log().find("identidade não carregada: " + row.logged), std::string::npos) << h.log();
        const std::string portuguese =
            L10n::forLog([&] { return L10n::string("err.identity_alert.title") + " | " + row.text(); });
        EXPECT_NE(h.log().find("alerta: " + portuguese + "\n"), std::string::npos) << h.log();
        EXPECT_EQ(h.log().find("This computer"), std::string::npos) << h.log();
    }
}

TEST(Startup, SwitchingKindsFollowsTheOrderAndPublishesOnlyChanges) {
    ModelHarness h;
    AppModel& model = h.start();
    int changes = 0;
    const Subscription watching = model.observe([&] { ++changes; });
    h.plugInCable();  // neither side knows the other: listed, not connected
    ASSERT_TRUE(h.pumpUntil(
        [&] { return model.state().state.kind() == Kind::idle && !model.state().usbPhones.empty(); }));
    const int before = changes;

    model.setLinkPrefs(with(model.state().linkPrefs, ConnKind::usb, false));
    h.exec->runPending();
    EXPECT_TRUE(model.state().usbPhones.empty());
    EXPECT_EQ(changes, before + 1);
    model.applyLinkPrefs();  // off again: nothing new to publish
    h.exec->runPending();
    EXPECT_EQ(changes, before + 1);
    h.usb->publish({DiscoveredPhone{}});  // a poll still in flight is ignored while the kind is off
    h.exec->runPending();
    EXPECT_TRUE(model.state().usbPhones.empty());

    model.setLinkPrefs(with(model.state().linkPrefs, ConnKind::wifi, true));
    EXPECT_EQ(h.journal->count("browser.start"), 1);
    model.setLinkPrefs(with(model.state().linkPrefs, ConnKind::wifi, false));
    EXPECT_EQ(h.journal->count("browser.stop"), 1);
    EXPECT_EQ(LinkPrefs::load(*h.settings), model.state().linkPrefs);
}

TEST(Startup, SwitchingOffTheLiveKindLeavesQuietlyAndShutdownStillRemovesForwards) {
    ModelHarness h;
    h.pairBothSides();
    AppModel& model = h.start();
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil(Kind::connected));

    model.setLinkPrefs(with(model.state().linkPrefs, ConnKind::ble, false));  // not the live kind
    h.exec->runPending();
    EXPECT_EQ(model.state().state.kind(), Kind::connected);

    model.setLinkPrefs(with(model.state().linkPrefs, ConnKind::usb, false));
    ASSERT_TRUE(h.pumpUntil(Kind::idle));
    EXPECT_NE(h.log().find("trocando de conexão: usb foi desligado"), std::string::npos);
    EXPECT_NE(h.log().find("sessão encerrada sem erro (durou 0 s via tcp/usb:)"), std::string::npos);
    EXPECT_FALSE(model.state().lastError);
    h.advanceSettled(50, 1);
    EXPECT_FALSE(model.state().phoneLost);
    EXPECT_EQ(h.journal->count("server.accepted"), 1);

    model.shutdown();
    for (const char* stopped : {"usb.removeForwards", "network.stop", "wake.stop"})
        EXPECT_EQ(h.journal->count(stopped), 1) << stopped;
}

}  // namespace
}  // namespace velmora

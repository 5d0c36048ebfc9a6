// The preferences' changes through the model, as the user makes them: the switches are kept in the settings,
// the connection order is saved and logged, and a forget whose file could not be written is told.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/shell/prefs/logic/prefs_rules.h"
#include "app/shell/prefs/prefs_actions.h"
#include "core/l10n/l10n.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

TEST(PrefsModel, AForgetThatCouldNotBeSavedIsToldAndTheLiveSessionGoesOn) {
    test::ModelHarness h;
    h.pairBothSides();
    AppModel& model = h.start();
    model.connect(h.userConnect());
    ASSERT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    ASSERT_EQ(model.state().paired.size(), 1u);
    const std::string id = model.state().paired.front().id;

    // A directory where the list belongs: the rename over it fails.
    const auto file = h.dir.path() / "peers.json";
    std::filesystem::remove(file);
    std::filesystem::create_directories(file / "blocked");
    EXPECT_FALSE(model.forgetPaired(id));
    h.exec->runPending();
    EXPECT_TRUE(model.state().paired.empty());  // gone for this run all the same
    ASSERT_TRUE(model.state().panelNotice);
    EXPECT_EQ(model.state().panelNotice->title, L10n::string("prefs.forget.failed.title"));
    EXPECT_NE(h.log().find("esquecer celular " + id + ": peers.json não foi gravado"), std::string::npos);
    EXPECT_EQ(model.state().state.kind(), ConnState::Kind::connected);

    std::filesystem::remove_all(file);
    h.advance(11);  // the notice goes by itself
    EXPECT_FALSE(model.state().panelNotice);
    EXPECT_TRUE(model.forgetPaired(id));  // written now: nothing to tell
    h.exec->runPending();
    EXPECT_FALSE(model.state().panelNotice);
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
}

TEST(PrefsModel, SwitchesAndTheConnectionOrderAreKeptAndLogged) {
    test::ModelHarness h;
    h.settings->setValue("muteDevice", "false");  // not a Boolean: the default holds
    AppModel& model = h.start();
    EXPECT_TRUE(model.preference(Preference::muteDevice));
    EXPECT_FALSE(model.preference(Preference::allowMirrorCapture));
    // No desktop here hides a window from captures: the preferences show that switch locked, with the reason.
    EXPECT_EQ(ModelPrefsActions(model).values().captureUnavailable,
              L10n::string("mirror.capture.unsupported"));
    model.setPreference(Preference::playAudio, false);
    EXPECT_EQ(h.settings->boolean("playAudio"), false);
    EXPECT_FALSE(model.preference(Preference::playAudio));

    model.setLinkEnabled(ConnKind::hotspot, false);
    model.moveLink(ConnKind::usb, 1);
    model.moveLink(ConnKind::ble, 1);                 // past the end: nothing
    model.reorderLink(ConnKind::ble, ConnKind::ble);  // onto itself: nothing
    model.reorderLink(ConnKind::wifi, ConnKind::hotspot);
    h.exec->runPending();
    const std::vector<LinkPref> want = {
        {ConnKind::usb, true}, {ConnKind::hotspot, false}, {ConnKind::wifi, true}, {ConnKind::ble, true}};
    EXPECT_EQ(model.state().linkPrefs, want);
    EXPECT_EQ(LinkPrefs::load(*h.settings), want);
    const std::string log = h.log();
    EXPECT_NE(log.find("tipo de conexão hotspot: desligado"), std::string::npos);
    EXPECT_NE(log.find("ordem das conexões: wifi > usb > !hotspot > ble"), std::string::npos);
    EXPECT_NE(log.find("ordem das conexões: usb > !hotspot > wifi > ble"), std::string::npos);

    const auto preset = prefs::bluetoothOnlyPreset();
    model.applyLinkPreset(preset.prefs, preset.logLine);
    model.applyLinkPreset(preset.prefs, preset.logLine);  // the same list again still logs
    h.exec->runPending();
    EXPECT_EQ(LinkPrefs::load(*h.settings), preset.prefs);
    const std::string after = h.log();
    const auto first = after.find("conexões: só Bluetooth");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(after.find("conexões: só Bluetooth", first + 1), std::string::npos);
}

}  // namespace
}  // namespace velmora

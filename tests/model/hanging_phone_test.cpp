// A phone that hangs at any step never holds up the main executor or the end of the program, and the close
// of a session that is not the live one leaves the live state alone.
#include <gtest/gtest.h>

#include "support/model_harness.h"
#include "support/session_harness.h"

namespace velmora {
namespace {

using test::ModelHarness;
using Kind = ConnState::Kind;

// Shuts the model down on another thread; false when it did not return within the bound.
bool shutsDown(AppModel& model) {
    auto done = std::async(std::launch::async, [&] { model.shutdown(); });
    return done.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
}

// Table: each of the phone's sends during a user-initiated pairing, held back for good.
TEST(HangingPhone, NeverBlocksTheMainExecutorOrShutdown) {
    for (const PhoneStep step :
         {PhoneStep::auth, PhoneStep::answer, PhoneStep::nonce, PhoneStep::confirm, PhoneStep::ready}) {
        SCOPED_TRACE(static_cast<int>(step));
        auto hanging = std::make_shared<std::promise<void>>();
        PhoneConfig config;
        config.faults[step].stall = [hanging] { hanging->set_value(); };
        ModelHarness h(config);
        AppModel& model = h.start();
        h.prompt->answer(true);  // the user confirms the code as soon as it shows
        model.connect(h.userConnect());
        ASSERT_EQ(hanging->get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
        model.setLinkPrefs(LinkPrefs::setEnabled(model.state().linkPrefs, ConnKind::ble, false)->prefs);
        h.advance(10);  // main keeps running: timers, published changes
        EXPECT_EQ(model.state().state.kind(), Kind::connecting);
        EXPECT_TRUE(shutsDown(model));
    }
}

TEST(HangingPhone, ShutdownEndsAPairingPromptAndALiveSession) {
    for (const bool paired : {false, true}) {  // the code shows; the session is live
        SCOPED_TRACE(paired);
        ModelHarness h;
        if (paired) h.pairBothSides();
        AppModel& model = h.start();
        model.connect(h.userConnect());
        ASSERT_TRUE(paired ? h.pumpUntil(Kind::connected) : !h.journal->waitFor("prompt.shown").empty());
        EXPECT_TRUE(shutsDown(model));
        EXPECT_EQ(model.liveSession(), nullptr);
        EXPECT_EQ(model.state().paired.size(), paired ? 1u : 0u);
    }
}

// A session opened beside the live one (a link upgrade or descent) that is discarded while no session is
// live must not tear down the attempt in flight.
TEST(HangingPhone, TheCloseOfASessionThatIsNotLiveOnlyWritesALine) {
    PhoneConfig stalled;
    stalled.faults[PhoneStep::auth].stall = [] {};
    ModelHarness h(stalled);
    h.pairBothSides();
    AppModel& model = h.start();
    h.plugInCable();
    ASSERT_EQ(model.state().state.kind(), Kind::connecting);

    SimulatedPhone other;
    MemoryPeerStore store;
    OpenAttempt opened = openSession(other, h.computer, store);
    ASSERT_TRUE(opened.session) << opened.errorText();
    std::shared_ptr<LinkSession> background = std::move(opened.session);
    auto reports = model.reportsFor(background);
    std::thread loop([&] { background->run(*reports); });
    background->close();
    loop.join();
    opened.finish();
    h.exec->runPending();

    EXPECT_NE(h.log().find("conexão anterior encerrada (trocada por uma melhor)"), std::string::npos);
    EXPECT_EQ(model.state().state.kind(), Kind::connecting);
    EXPECT_EQ(h.journal->count("features.ended"), 0);
    EXPECT_EQ(h.log().find("sessão encerrada"), std::string::npos);
}

}  // namespace
}  // namespace velmora

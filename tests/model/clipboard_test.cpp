// Clipboard sync with the fake clipboard and the simulated phone (the real clipboard's story is in
// tests/clipboard).
#include <gtest/gtest.h>

#include "app/model/features/clipboard/clipboard_policy.h"
#include "core/l10n/l10n.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

TEST(ClipboardPolicy, MarkersKeepACopyHereAndThePhoneWritesThirtyAMinute) {
    using Row = std::tuple<std::string, std::optional<std::string>, bool>;
    for (const auto& [type, hint, never] :
         {Row{"org.nspasteboard.ConcealedType", {}, true}, Row{"org.nspasteboard.TransientType", {}, true},
          Row{"com.agilebits.onepassword", {}, true}, Row{"de.quillbarrow.TransientPasteboardType", {}, true},
          Row{"x-kde-passwordManagerHint", "secret", true}, Row{"x-kde-passwordManagerHint", "public", false},
          Row{"org.nspasteboard.concealedtype", {}, false}})
        EXPECT_EQ(ClipboardPolicy::shouldNeverSend({"text/plain", type}, hint), never) << type;
    double now = 0;
    const auto limiter = ClipboardPolicy::makePhoneWriteLimiter([&] { return now; });
    for (int i = 0; i < 30; ++i, now += 1)
        ASSERT_TRUE(limiter->allow()) << i;
    EXPECT_FALSE(limiter->allow());
    now = 60;
    EXPECT_TRUE(limiter->allow());
}

TEST(Clipboard, EachCopyIsLookedAtOnceAndOnlyWhatThePhoneCanTakeGoes) {
    test::ModelHarness h;
    h.pairBothSides();
    AppModel& model = h.start();
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    auto copy = [&](std::map<std::string, std::string> content) {
        h.clipboard->copy(std::move(content)), h.advance(0.6);
    };
    copy({{"text/plain", "first"}});
    copy({{"text/plain", "hunter2"}, {"org.nspasteboard.ConcealedType", ""}});
    copy({{"image/png", "\x89PNG"}});
    copy({{"text/plain", std::string(200000, 'b')}});
    model.sendClipboardNow();  // the button: a text the phone would end the session for is refused
    EXPECT_EQ(model.state().lastError, L10n::format("clip.too_large", {std::int64_t{200}}));
    copy({{"text/plain", std::string(199999, 'a')}});
    model.setSyncClipboard(false);
    copy({{"text/plain", "while off"}});
    model.writeClipboard("dropped while off");
    EXPECT_EQ(h.clipboard->text(), "while off");
    model.sendClipboardNow();      // whatever the switch says
    model.setSyncClipboard(true);  // the copy made while off stays unsent
    model.writeClipboard("from the phone");
    h.advance(1.2);
    copy({{"text/plain", "end"}});
    ASSERT_NE(h.journal->waitFor("phone {\"t\":\"clip.set\",\"text\":\"end\""), "");
    std::vector<std::string> sent;
    for (const std::string& e : h.journal->all())
        if (e.starts_with("phone {\"t\":\"clip.set\""))
            sent.push_back(nlohmann::json::parse(e.substr(6))["text"].get<std::string>().substr(0, 9));
    EXPECT_EQ(sent, (std::vector<std::string>{"first", "aaaaaaaaa", "while off", "end"}));
    EXPECT_EQ(h.settings->boolean("syncClipboard"), true);
}

}  // namespace
}  // namespace velmora

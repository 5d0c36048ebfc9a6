// Clipboard sync with the fake clipboard and the simulated phone: what the user copies reaches the phone
// once, secrets and oversized texts never do, and the phone's text lands without coming back.
#include <gtest/gtest.h>

#include "app/model/features/clipboard/clipboard_policy.h"
#include "core/l10n/l10n.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

using test::ModelHarness;

TEST(ClipboardPolicy, MarkersKeepACopyHereAndThePhoneWritesThirtyAMinute) {
    using Row = std::tuple<std::vector<std::string>, std::optional<std::string>, bool>;
    for (const auto& [types, hint, never] :
         {Row{{"text/plain", "org.nspasteboard.ConcealedType"}, {}, true},
          Row{{"org.nspasteboard.TransientType"}, {}, true}, Row{{"com.agilebits.onepassword"}, {}, true},
          Row{{"de.quillbarrow.TransientPasteboardType"}, {}, true},
          Row{{"text/plain", "x-kde-passwordManagerHint"}, "secret", true},
          Row{{"text/plain", "x-kde-passwordManagerHint"}, "public", false},
          Row{{"text/plain", "org.nspasteboard.concealedtype"}, {}, false}, Row{{}, {}, false}})
        EXPECT_EQ(ClipboardPolicy::shouldNeverSend(types, hint), never) << types.back();
    double now = 0;
    const auto limiter = ClipboardPolicy::makePhoneWriteLimiter([&] { return now; });
    for (int i = 0; i < 30; ++i, now += 1)
        ASSERT_TRUE(limiter->allow()) << i;
    EXPECT_FALSE(limiter->allow());
    now = 60;
    EXPECT_TRUE(limiter->allow());
}

struct ClipboardStory : ::testing::Test {
    void SetUp() override {
        h.pairBothSides();
        model = &h.start();
        h.plugInCable();
        ASSERT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    }
    // What the phone received as "clip.set" so far, after `marker` went through the same queue.
    std::vector<std::string> sentThrough(const std::string& marker) {
        h.clipboard->copyText(marker);
        h.advance(0.6);
        EXPECT_NE(h.journal->waitFor("phone {\"t\":\"clip.set\",\"text\":\"" + marker), "");
        std::vector<std::string> texts;
        for (const std::string& e : h.journal->all())
            if (e.starts_with("phone {\"t\":\"clip.set\""))
                texts.push_back(nlohmann::json::parse(e.substr(6))["text"].get<std::string>().substr(0, 12));
        return texts;
    }
    ModelHarness h;
    AppModel* model = nullptr;
};

TEST_F(ClipboardStory, EachCopyIsLookedAtOnceAndOnlySendableTextGoes) {
    h.clipboard->copyText("first copy");
    h.advance(0.6);
    h.clipboard->copy({{"text/plain", "hunter2"}, {"org.nspasteboard.ConcealedType", ""}});
    h.advance(0.6);
    h.clipboard->copy({{"image/png", "\x89PNG"}});
    h.advance(0.6);
    h.clipboard->copyText(std::string(200000, 'b'));
    h.advance(0.6);
    h.clipboard->copyText(std::string(199999, 'a'));
    h.advance(0.6);
    model->setSyncClipboard(false);
    h.clipboard->copyText("while off");
    h.advance(0.6);
    model->setSyncClipboard(true);  // the copy made while off stays unsent
    h.advance(1.2);
    EXPECT_EQ(sentThrough("end"), (std::vector<std::string>{"first copy", "aaaaaaaaaaaa", "end"}));
    EXPECT_EQ(h.settings->boolean("syncClipboard"), true);
}

TEST_F(ClipboardStory, ThePhonesTextLandsOnlyWithSyncOnAndNeverComesBack) {
    model->writeClipboard("from the phone");
    EXPECT_EQ(h.clipboard->text(), "from the phone");
    h.advance(1.2);
    model->setSyncClipboard(false);
    model->writeClipboard("dropped");
    EXPECT_EQ(h.clipboard->text(), "from the phone");
    model->sendClipboardNow();  // the button sends whatever the switch says
    model->setSyncClipboard(true);
    EXPECT_EQ(sentThrough("end"), (std::vector<std::string>{"from the pho", "end"}));
}

TEST_F(ClipboardStory, TheButtonRefusesATextThePhoneWouldEndTheSessionFor) {
    h.clipboard->copyText(std::string(200000, 'x'));
    model->sendClipboardNow();
    EXPECT_EQ(model->state().lastError, L10n::format("clip.too_large", {std::int64_t{200}}));
    EXPECT_EQ(sentThrough("end"), (std::vector<std::string>{"end"}));
    EXPECT_EQ(model->state().state.kind(), ConnState::Kind::connected);
}

}  // namespace
}  // namespace velmora

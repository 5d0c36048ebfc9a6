// Clipboard sync with the fake clipboard and the simulated phone (the real clipboard: tests/clipboard); the
// panel's send button answers with a notice.
#include <gtest/gtest.h>

#include "core/l10n/l10n.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

TEST(Clipboard, EachCopyIsLookedAtOnceAndOnlyWhatThePhoneCanTakeGoes) {
    test::ModelHarness h;
    h.pairBothSides();
    AppModel& model = h.start();
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    auto copy = [&](std::map<std::string, std::string> with) { h.clipboard->copy(with), h.advance(0.6); };
    copy({{"text/plain", "first"}});
    copy({{"image/png", "\x89PNG"}});
    // The marker types are exact and case-sensitive; the desktop's hint counts only with "secret".
    copy({{"text/plain", "hidden"}, {"org.nspasteboard.ConcealedType", ""}});
    copy({{"text/plain", "cased"}, {"org.nspasteboard.concealedtype", ""}});
    copy({{"text/plain", "hint"}, {"x-kde-passwordManagerHint", "secret"}});
    copy({{"text/plain", "public"}, {"x-kde-passwordManagerHint", "public"}});
    copy({{"text/plain", std::string(200000, 'b')}});
    model.sendClipboardNow();  // the button refuses a text the phone would end the session for
    EXPECT_EQ(model.state().lastError, L10n::format("clip.too_large", {std::int64_t{200}}));
    copy({{"text/plain", std::string(199999, 'a')}});
    model.setSyncClipboard(false);
    copy({{"text/plain", "while off"}});
    model.writeClipboard("dropped while off");
    EXPECT_EQ(h.clipboard->text(), "while off");
    model.sendClipboardNow(), model.setSyncClipboard(true);  // the button ignores the switch; not sent twice
    const auto notice = [&] { return model.state().panelNotice ? model.state().panelNotice->title : ""; };
    EXPECT_EQ(notice(), L10n::string("panel.notice.clip_sent"));  // the button says it sent
    h.advance(1.2);
    copy({{"image/png", "\x89PNG"}});
    model.sendClipboardNow();  // no text: said so, and nothing goes
    EXPECT_EQ(notice(), L10n::string("panel.notice.clip_empty"));
    copy({{"text/plain", "end"}});
    ASSERT_NE(h.journal->waitFor("phone {\"t\":\"clip.set\",\"text\":\"end\""), "");
    std::vector<std::string> sent = h.journal->after("phone {\"t\":\"clip.set\",\"text\":\"");
    for (std::string& text : sent)
        text.resize(std::min<std::size_t>(text.size(), 9));
    EXPECT_EQ(sent, (std::vector<std::string>{"first\"}", "cased\"}", "public\"}", "aaaaaaaaa", "while off",
                                              "end\"}"}));
}

}  // namespace
}  // namespace velmora

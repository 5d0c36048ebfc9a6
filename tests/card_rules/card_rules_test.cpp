// What the connected card shows for each state of the model, as a table (English texts).
#include <gtest/gtest.h>

#include "app/shell/card/card_rules.h"

namespace velmora {
namespace {

struct Case {
    const char* name;
    std::function<void(PublishedState&, CardFacts&)> set;
    std::function<void(const CardValues&)> check;
};

std::vector<std::string> titles(const CardValues& v) {
    std::vector<std::string> out;
    for (const auto& n : v.notices)
        out.push_back(n.title);
    return out;
}

TEST(CardRules, WhatTheCardShows) {
    const Case cases[] = {
        {"79 ms is not slow (80 is)", [](auto& s, auto&) { s.rttMs = 79; },
         [](const CardValues& v) {
             EXPECT_FALSE(v.slowLink);
             EXPECT_TRUE(v.linkLine.ends_with(" · 79 ms")) << v.linkLine;
             PublishedState slow;
             slow.rttMs = 80;
             EXPECT_TRUE(cardValues(slow, {}).slowLink);
         }},
        {"full and charging", [](auto& s, auto&) { s.battery = 100, s.charging = true; },
         [](const CardValues& v) {
             EXPECT_EQ(v.batteryText, "100% \u26A1\uFE0E");
             EXPECT_EQ(v.batteryA11y, "Battery 100%, charging");
         }},
        {"idle over Bluetooth: only the idle notice",
         [](auto& s, auto& f) { s.linkKind = "ble", s.idleDescended = true, f.fastLinkAvailable = true; },
         [](const CardValues& v) { EXPECT_EQ(titles(v), std::vector<std::string>{"Phone at rest"}); }},
        {"Bluetooth with a faster link: the switch",
         [](auto& s, auto& f) { s.linkKind = "ble", f.fastLinkAvailable = true; },
         [](const CardValues& v) { EXPECT_EQ(v.notices.at(0).extra, CardNotice::Extra::switchLink); }},
        {"the order: update, paused, network, Bluetooth",
         [](auto& s, auto& f) {
             s.linkKind = "ble", s.networkHint = "Join both", s.phoneControlPaused = true;
             f.phoneNeedsUpdate = true;
         },
         [](const CardValues& v) {
             EXPECT_EQ(titles(v),
                       (std::vector<std::string>{"Update the phone's app", "Remote control paused",
                                                 "Different networks", "Connected over Bluetooth"}));
             EXPECT_EQ(v.notices[0].text.substr(0, 32), "The phone runs an older version;");
             EXPECT_EQ(v.notices[2].text, "Join both");
             EXPECT_EQ(v.notices[3].extra, CardNotice::Extra::none);  // nothing faster in sight
         }},
        {"a transfer line beats the drag",
         [](auto& s, auto& f) { s.transferText = "Sending a.txt", f.dropping = true; },
         [](const CardValues& v) {
             EXPECT_EQ(v.dropText, "Sending a.txt");
             EXPECT_TRUE(v.dropHighlight);
         }},
        {"five received files list the newest three",
         [](auto& s, auto&) {
             for (int i = 5; i >= 1; --i)
                 s.recentFiles.push_back({std::to_string(i), "/dl/f" + std::to_string(i) + ".txt", i});
         },
         [](const CardValues& v) {
             ASSERT_EQ(v.received.size(), 3u);
             EXPECT_EQ(v.received[0], (ReceivedRow{"/dl/f5.txt", "f5.txt"}));
             EXPECT_EQ(v.received[2].name, "f3.txt");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PublishedState s;
        s.state = ConnState::connected("Nimbo 8");
        CardFacts f;
        c.set(s, f);
        c.check(cardValues(s, f));
    }
}

}  // namespace
}  // namespace velmora

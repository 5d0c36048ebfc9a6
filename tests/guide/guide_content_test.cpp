#include "app/design/guide/guide_content.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace velmora::guide {
namespace {

std::string spec(const TextSpec& t) {
    std::string s = t.key;
    if (t.args.empty()) return s;
    s += "(";
    for (std::size_t i = 0; i < t.args.size(); ++i)
        s += (i ? "," : "") + t.args[i];
    return s + ")";
}

std::string item(const Item& i) {
    const std::array kinds{"heading", "spaced-heading", "paragraph", "bullet", "numbered", "key", "warn"};
    std::string s = kinds[static_cast<int>(i.kind)];
    if (i.kind == ItemKind::numbered) s += " " + std::to_string(i.number);
    if (i.kind == ItemKind::keyRow) s += " " + (i.cap.literal ? "\"" + i.cap.text + "\"" : i.cap.text);
    s += " " + spec(i.text);
    if (i.kind == ItemKind::notice) s += " " + i.noticeTextKey;
    return s;
}

// The whole guide as one list of lines, in the order a reader meets it.
std::vector<std::string> describe(const Content& c) {
    std::vector<std::string> out{"window " + c.windowTitleKey, "title " + c.titleKey,
                                 "privacy " + c.privacyKey};
    for (const auto& s : c.steps)
        out.push_back("step " + std::to_string(s.number) + " " +
                      std::array{"phone", "cable", "code"}[static_cast<int>(s.symbol)] + " " + s.titleKey +
                      " " + spec(s.body));
    out.push_back("section " + c.connectionsHeaderKey);
    for (const auto& r : c.connections)
        out.push_back("conn " + r.titleKey + " " + r.textKey);
    out.push_back("section " + c.topicsHeaderKey);
    for (const auto& t : c.topics) {
        out.push_back("topic " + t.titleKey);
        for (const auto& i : t.items)
            out.push_back("  " + item(i));
    }
    out.push_back("footer " + c.protocolKey + " " + c.doneKey);
    return out;
}

TEST(GuideContent, KeysAndArgumentsInOrder) {
    const std::vector<std::string> expected{
        "window guide.window_title",
        "title guide.title",
        "privacy guide.privacy",
        "step 1 phone guide.step1.title guide.step1.body(ref.android.start)",
        "step 2 cable guide.step2.title guide.step2.body",
        "step 3 code guide.step3.title guide.step3.body(ref.android.pair_new_mac,panel.phone.pair)",
        "section guide.conn.header",
        "conn conn.usb.title guide.conn.usb",
        "conn conn.wifi.title guide.conn.wifi",
        "conn conn.hotspot.title guide.conn.hotspot",
        "conn conn.ble.title guide.conn.ble",
        "section guide.more.header",
        "topic guide.perms.title",
        "  heading guide.perms.mac",
        "  bullet guide.perms.mac1",
        "  bullet guide.perms.mac2",
        "  bullet guide.perms.mac3(ref.keychain.always_allow)",
        "  spaced-heading guide.perms.phone",
        "  bullet guide.perms.phone1",
        "  bullet guide.perms.phone2",
        "  bullet guide.perms.phone3",
        "  bullet guide.perms.phone4",
        "topic guide.mirror.title",
        "  paragraph guide.mirror.intro(panel.mirror.start)",
        "  key guide.key.drag guide.key.drag.desc",
        "  key guide.key.wheel guide.key.wheel.desc",
        "  key guide.key.right guide.key.back",
        "  key guide.key.esc guide.key.back",
        "  key \"Ctrl+Shift+H\" guide.key.home",
        "  key \"Ctrl+Shift+R\" guide.key.recents",
        "  key \"Ctrl+V\" guide.key.paste.desc",
        "  key guide.key.keyboard guide.key.keyboard.desc",
        "  paragraph guide.mirror.note1(ref.android.mirror_notif_title)",
        "  paragraph guide.mirror.note2",
        "  paragraph guide.mirror.note3(prefs.audio.title)",
        "topic guide.share.title",
        "  bullet guide.share.1",
        "  bullet guide.share.2(panel.tile.send_clipboard,ref.android.clip_auto)",
        "  bullet guide.share.3(panel.tile.send_files)",
        "  bullet guide.share.4",
        "  bullet guide.share.5",
        "topic guide.install.title",
        "  paragraph guide.install.intro",
        "  heading guide.install.way1",
        "  numbered 1 guide.install.way1.s1",
        "  numbered 2 guide.install.way1.s2",
        "  numbered 3 guide.install.way1.s3",
        "  numbered 4 guide.install.way1.s4",
        "  paragraph guide.install.brands",
        "  spaced-heading guide.install.way2",
        "  warn guide.install.way2.warn.title guide.install.way2.warn.text",
        "  paragraph guide.install.way2.steps",
        "topic guide.cable.title",
        "  paragraph guide.cable.1",
        "  paragraph guide.cable.2",
        "  paragraph guide.cable.3",
        "topic guide.trouble.title",
        "  bullet guide.trouble.1(panel.search_again)",
        "  bullet guide.trouble.2",
        "  bullet guide.trouble.3",
        "  bullet guide.trouble.4(prefs.keep.title)",
        "  bullet guide.trouble.5",
        "  bullet guide.trouble.6(menu.diagnostics,common.copy_diagnostics)",
        "footer guide.protocol common.got_it",
    };
    EXPECT_EQ(describe(content()), expected);
}

}  // namespace
}  // namespace velmora::guide

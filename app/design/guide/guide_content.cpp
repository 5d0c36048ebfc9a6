#include "app/design/guide/guide_content.h"

#include "core/l10n/l10n.h"

namespace velmora::guide {

namespace {

Item item(ItemKind kind, std::string key, std::vector<std::string> args = {}) {
    Item i;
    i.kind = kind;
    i.text = {std::move(key), std::move(args)};
    return i;
}

Item heading(std::string key) {
    return item(ItemKind::heading, std::move(key));
}

Item spacedHeading(std::string key) {
    return item(ItemKind::spacedHeading, std::move(key));
}

Item paragraph(std::string key, std::vector<std::string> args = {}) {
    return item(ItemKind::paragraph, std::move(key), std::move(args));
}

Item bullet(std::string key, std::vector<std::string> args = {}) {
    return item(ItemKind::bullet, std::move(key), std::move(args));
}

Item numbered(int number, std::string key) {
    Item i = item(ItemKind::numbered, std::move(key));
    i.number = number;
    return i;
}

Item keyRow(KeyCap cap, std::string descriptionKey) {
    Item i = item(ItemKind::keyRow, std::move(descriptionKey));
    i.cap = std::move(cap);
    return i;
}

KeyCap capKey(std::string key) {
    return {std::move(key), false};
}

// Shortcuts of the mirror window, written the way the desktop writes them.
KeyCap capShortcut(std::string caption) {
    return {std::move(caption), true};
}

Item warning(std::string titleKey, std::string textKey) {
    Item i = item(ItemKind::notice, std::move(titleKey));
    i.noticeTextKey = std::move(textKey);
    return i;
}

Topic permissions() {
    return {"guide.perms.title",
            {heading("guide.perms.mac"), bullet("guide.perms.mac1"), bullet("guide.perms.mac2"),
             bullet("guide.perms.mac3", {"ref.keychain.always_allow"}), spacedHeading("guide.perms.phone"),
             bullet("guide.perms.phone1"), bullet("guide.perms.phone2"), bullet("guide.perms.phone3"),
             bullet("guide.perms.phone4")}};
}

Topic mirroring() {
    return {"guide.mirror.title",
            {paragraph("guide.mirror.intro", {"panel.mirror.start"}),
             keyRow(capKey("guide.key.drag"), "guide.key.drag.desc"),
             keyRow(capKey("guide.key.wheel"), "guide.key.wheel.desc"),
             // The right button and Escape both act as the phone's back action.
             keyRow(capKey("guide.key.right"), "guide.key.back"),
             keyRow(capKey("guide.key.esc"), "guide.key.back"),
             keyRow(capShortcut("Ctrl+Shift+H"), "guide.key.home"),
             keyRow(capShortcut("Ctrl+Shift+R"), "guide.key.recents"),
             keyRow(capShortcut("Ctrl+V"), "guide.key.paste.desc"),
             keyRow(capKey("guide.key.keyboard"), "guide.key.keyboard.desc"),
             paragraph("guide.mirror.note1", {"ref.android.mirror_notif_title"}),
             paragraph("guide.mirror.note2"), paragraph("guide.mirror.note3", {"prefs.audio.title"})}};
}

Topic sharing() {
    return {"guide.share.title",
            {bullet("guide.share.1"),
             bullet("guide.share.2", {"panel.tile.send_clipboard", "ref.android.clip_auto"}),
             bullet("guide.share.3", {"panel.tile.send_files"}), bullet("guide.share.4"),
             bullet("guide.share.5")}};
}

Topic installing() {
    return {"guide.install.title",
            {paragraph("guide.install.intro"), heading("guide.install.way1"),
             numbered(1, "guide.install.way1.s1"), numbered(2, "guide.install.way1.s2"),
             numbered(3, "guide.install.way1.s3"), numbered(4, "guide.install.way1.s4"),
             paragraph("guide.install.brands"), spacedHeading("guide.install.way2"),
             warning("guide.install.way2.warn.title", "guide.install.way2.warn.text"),
             paragraph("guide.install.way2.steps")}};
}

Topic cable() {
    return {"guide.cable.title",
            {paragraph("guide.cable.1"), paragraph("guide.cable.2"), paragraph("guide.cable.3")}};
}

Topic troubleshooting() {
    return {"guide.trouble.title",
            {bullet("guide.trouble.1", {"panel.search_again"}), bullet("guide.trouble.2"),
             bullet("guide.trouble.3"), bullet("guide.trouble.4", {"prefs.keep.title"}),
             bullet("guide.trouble.5"),
             bullet("guide.trouble.6", {"menu.diagnostics", "common.copy_diagnostics"})}};
}

Content build() {
    Content c;
    c.windowTitleKey = "guide.window_title";
    c.titleKey = "guide.title";
    c.privacyKey = "guide.privacy";
    c.steps = {
        {1, StepSymbol::phone, "guide.step1.title", {"guide.step1.body", {"ref.android.start"}}},
        {2, StepSymbol::cable, "guide.step2.title", {"guide.step2.body", {}}},
        {3,
         StepSymbol::code,
         "guide.step3.title",
         {"guide.step3.body", {"ref.android.pair_new_mac", "panel.phone.pair"}}},
    };
    c.connectionsHeaderKey = "guide.conn.header";
    c.connections = {
        {"conn.usb.title", "guide.conn.usb"},
        {"conn.wifi.title", "guide.conn.wifi"},
        {"conn.hotspot.title", "guide.conn.hotspot"},
        {"conn.ble.title", "guide.conn.ble"},
    };
    c.topicsHeaderKey = "guide.more.header";
    c.topics = {permissions(), mirroring(), sharing(), installing(), cable(), troubleshooting()};
    c.protocolKey = "guide.protocol";
    c.doneKey = "common.got_it";
    return c;
}

std::vector<L10n::Arg> lookedUp(const std::vector<std::string>& keys) {
    std::vector<L10n::Arg> args;
    args.reserve(keys.size());
    for (const auto& key : keys)
        args.emplace_back(L10n::string(key));
    return args;
}

}  // namespace

const Content& content() {
    static const Content guide = build();
    return guide;
}

std::string shown(const TextSpec& text) {
    if (text.args.empty()) return L10n::string(text.key);
    return L10n::format(text.key, lookedUp(text.args));
}

std::string bulletLine(const TextSpec& text) {
    return L10n::format("common.bullet", {L10n::format(text.key, lookedUp(text.args))});
}

std::string numberedLine(int number, const std::string& title) {
    return L10n::format("common.numbered", {std::int64_t{number}, title});
}

std::string capText(const KeyCap& cap) {
    return cap.literal ? cap.text : L10n::string(cap.text);
}

}  // namespace velmora::guide

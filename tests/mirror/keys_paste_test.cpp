#include <gtest/gtest.h>

#include <tuple>

#include "app/mirror/logic/key_mapper.h"
#include "app/mirror/logic/paste_chunker.h"
#include "core/protocol/control_json.h"

namespace velmora {
namespace {

using nlohmann::json;
using enum KeyPress::Key;

const json none = nullptr;  // "not a command" in the tables below

// A single message as itself, any other list as an array.
json one(const std::optional<std::vector<json>>& messages) {
    if (!messages) return none;
    return messages->size() == 1 ? messages->front() : json(*messages);
}

json key(const char* name) {
    return {{"t", "in.key"}, {"key", name}};
}
json nav(const char* k, bool shift, bool word) {
    return {{"t", "in.nav"}, {"key", k}, {"shift", shift}, {"word", word}};
}
json edit(const char* action) {
    return {{"t", "in.edit"}, {"action", action}};
}

TEST(KeyMapper, CommandsMatchExactly) {
    const std::pair<const char*, json> table[] = {
        {"deleteBackward:", key("del")},
        {"cancelOperation:", key("back")},
        {"moveWordForwardAndModifySelection:", nav("right", true, true)},
        {"moveToRightEndOfLineAndModifySelection:", nav("end", true, false)},
        {"moveToEndOfDocumentAndModifySelection:", nav("docend", true, false)},
        {"selectAll:", edit("selectAll")},
        {"scrollPageDown:", json::array()},
        {"DeleteBackward:", json::array()},
        {"deleteBackward", json::array()},
    };
    for (const auto& [command, want] : table) {
        EXPECT_EQ(one(KeyMapper::messages(std::string_view(command))), want) << command;
    }
}

TEST(KeyMapper, KeyPressesAndShortcuts) {
    const auto ctrl = [](const char* c, bool shift = false) { return KeyPress{other, c, true, shift}; };
    const auto press = [](KeyPress::Key k, bool withCtrl = false, bool shift = false) {
        return KeyPress{k, "", withCtrl, shift};
    };
    const std::pair<KeyPress, json> table[] = {
        {ctrl("A"), edit("selectAll")},
        {ctrl("c"), edit("copy")},
        {ctrl("z"), edit("undo")},
        {ctrl("Z", true), edit("redo")},
        {ctrl("h", true), key("home")},
        {ctrl("R", true), key("recents")},
        {ctrl("["), key("back")},
        {ctrl("l"), key("lock")},
        {ctrl("h"), none},                           // without Shift: not a phone button
        {ctrl("v"), none},                           // the view pastes
        {KeyPress{other, "a", false, false}, none},  // typed text
        {press(backspace), key("del")},
        {press(backspace, true), key("delword")},
        {press(forwardDelete, true), key("fdelword")},
        {press(tab), key("tab")},
        {press(tab, false, true), none},
        {press(left, false, true), nav("left", true, false)},
        {press(right, true, true), nav("right", true, true)},
        {press(end, true, true), nav("docend", true, false)},
    };
    for (const auto& [press, want] : table) {
        EXPECT_EQ(one(KeyMapper::messages(press)), want) << press.characters << int(press.key);
    }
    EXPECT_TRUE(KeyMapper::isPaste(ctrl("V", true)));
    EXPECT_FALSE(KeyMapper::isPaste(KeyPress{other, "v", false, false}));
}

std::string repeat(std::string_view s, std::size_t n) {
    std::string out;
    while (n-- > 0)
        out += s;
    return out;
}

TEST(PasteChunker, ChunksByCharactersAndBytes) {
    using PasteChunker::split;
    EXPECT_EQ(split(""), PasteChunker::Result{});
    EXPECT_EQ(split(std::string(8001, 'a')).chunks, (std::vector<std::string>{std::string(8000, 'a'), "a"}));
    EXPECT_EQ(split(repeat("€", 6000)).chunks,
              (std::vector{repeat("€", 5461), repeat("€", 539)}));  // 16383 bytes
    const auto most = split(std::string(100001, 'a'));
    EXPECT_TRUE(most.truncated && most.chunks.size() == 13 && most.chunks.back().size() == 4000);
    EXPECT_FALSE(split(std::string(100000, 'a')).truncated);
    EXPECT_EQ(split("abc", 8000, 16384, 0), (PasteChunker::Result{{}, true}));
    // Ill-formed bytes arrive as U+FFFD, never as bytes the phone's JSON reader refuses.
    EXPECT_EQ(split("a\xff"), (PasteChunker::Result{{"a\xEF\xBF\xBD"}, false}));
}

TEST(PasteChunker, NeverSplitsACharacterNorPassesTheInputLimit) {
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";  // one character, 18 bytes
    const std::string flag = "\U0001F1E7\U0001F1F7";                          // one character, 8 bytes
    const std::string accented = "e\u0301\u0323";                             // one character, 5 bytes
    // text, characters and bytes per chunk, the chunks
    const std::tuple<std::string, std::int64_t, std::int64_t, std::vector<std::string>> table[] = {
        {family + family, 1, 18, {family, family}},
        {flag + flag + "\r\n", 8000, 17, {flag + flag, "\r\n"}},
        {"a" + accented + accented, 2, 100, {"a" + accented, accented}},
        {accented, 8000, 2, {"e", "\u0301", "\u0323"}}};  // cut only when too long for any chunk
    for (const auto& [text, chars, bytes, want] : table) {
        EXPECT_EQ(PasteChunker::split(text, chars, bytes, 100).chunks, want) << text;
    }
    // A base with 40000 combining marks is one character of 80001 bytes; '"' with marks and control
    // characters escape the most. Every record stays within the input channel's limit.
    const std::string pathological = "a" + repeat("\u0301", 40000);
    for (const std::string& text : {pathological, repeat("\"\u0301", 9000), std::string(20000, '\x01'),
                                    repeat("\x01\"\u0301", 5000) + pathological}) {
        const auto result = PasteChunker::split(text);
        std::string joined;
        for (const auto& chunk : result.chunks) {
            EXPECT_LE(chunk.size(), 16384u);
            EXPECT_LE(encodeJSON({{"t", "in.text"}, {"text", chunk}}).size(), std::size_t(Limits::inputMax));
            joined += chunk;
        }
        EXPECT_EQ(joined, text);  // nothing lost
    }
}

}  // namespace
}  // namespace velmora

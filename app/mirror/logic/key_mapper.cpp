#include "app/mirror/logic/key_mapper.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "app/mirror/logic/input_messages.h"

namespace velmora::KeyMapper {
namespace {

using nlohmann::json;

struct KeyRow {
    std::string_view command;
    std::string_view key;
};

constexpr std::array keyRows{
    KeyRow{"deleteBackward:", "del"},
    KeyRow{"deleteForward:", "fdel"},
    KeyRow{"deleteWordBackward:", "delword"},
    KeyRow{"deleteWordForward:", "fdelword"},
    KeyRow{"deleteToBeginningOfLine:", "delline"},
    KeyRow{"deleteToBeginningOfParagraph:", "delline"},
    KeyRow{"deleteToEndOfLine:", "deleol"},
    KeyRow{"deleteToEndOfParagraph:", "deleol"},
    KeyRow{"insertNewline:", "enter"},
    KeyRow{"insertLineBreak:", "enter"},
    KeyRow{"insertNewlineIgnoringFieldEditor:", "enter"},
    KeyRow{"insertTab:", "tab"},
    KeyRow{"cancelOperation:", "back"},
};

struct NavRow {
    std::string_view command;
    std::string_view key;
    bool shift;
    bool word;
};

constexpr std::array navRows{
    NavRow{"moveLeft:", "left", false, false},
    NavRow{"moveBackward:", "left", false, false},
    NavRow{"moveRight:", "right", false, false},
    NavRow{"moveForward:", "right", false, false},
    NavRow{"moveUp:", "up", false, false},
    NavRow{"moveDown:", "down", false, false},
    NavRow{"moveLeftAndModifySelection:", "left", true, false},
    NavRow{"moveBackwardAndModifySelection:", "left", true, false},
    NavRow{"moveRightAndModifySelection:", "right", true, false},
    NavRow{"moveForwardAndModifySelection:", "right", true, false},
    NavRow{"moveUpAndModifySelection:", "up", true, false},
    NavRow{"moveDownAndModifySelection:", "down", true, false},
    NavRow{"moveWordLeft:", "left", false, true},
    NavRow{"moveWordBackward:", "left", false, true},
    NavRow{"moveWordRight:", "right", false, true},
    NavRow{"moveWordForward:", "right", false, true},
    NavRow{"moveWordLeftAndModifySelection:", "left", true, true},
    NavRow{"moveWordBackwardAndModifySelection:", "left", true, true},
    NavRow{"moveWordRightAndModifySelection:", "right", true, true},
    NavRow{"moveWordForwardAndModifySelection:", "right", true, true},
    NavRow{"moveToBeginningOfLine:", "home", false, false},
    NavRow{"moveToLeftEndOfLine:", "home", false, false},
    NavRow{"moveToBeginningOfParagraph:", "home", false, false},
    NavRow{"moveToEndOfLine:", "end", false, false},
    NavRow{"moveToRightEndOfLine:", "end", false, false},
    NavRow{"moveToEndOfParagraph:", "end", false, false},
    NavRow{"moveToBeginningOfLineAndModifySelection:", "home", true, false},
    NavRow{"moveToLeftEndOfLineAndModifySelection:", "home", true, false},
    NavRow{"moveToEndOfLineAndModifySelection:", "end", true, false},
    NavRow{"moveToRightEndOfLineAndModifySelection:", "end", true, false},
    NavRow{"moveToBeginningOfDocument:", "docstart", false, false},
    NavRow{"moveToEndOfDocument:", "docend", false, false},
    NavRow{"moveToBeginningOfDocumentAndModifySelection:", "docstart", true, false},
    NavRow{"moveToEndOfDocumentAndModifySelection:", "docend", true, false},
};

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return out;
}

// Selector names for the arrow, Home and End keys: plain, by word (Ctrl, left and right only), to the
// document's ends (Ctrl with Home and End); Shift extends the selection.
std::string_view moveCommand(KeyPress::Key key, bool ctrl, bool shift) {
    using enum KeyPress::Key;
    struct Row {
        KeyPress::Key key;
        std::string_view plain, plainShift, ctrl, ctrlShift;
    };
    static constexpr std::array rows{
        Row{left,
            "moveLeft:", "moveLeftAndModifySelection:", "moveWordLeft:", "moveWordLeftAndModifySelection:"},
        Row{right, "moveRight:", "moveRightAndModifySelection:", "moveWordRight:",
            "moveWordRightAndModifySelection:"},
        Row{up, "moveUp:", "moveUpAndModifySelection:", "moveUp:", "moveUpAndModifySelection:"},
        Row{down, "moveDown:", "moveDownAndModifySelection:", "moveDown:", "moveDownAndModifySelection:"},
        Row{home, "moveToBeginningOfLine:", "moveToBeginningOfLineAndModifySelection:",
            "moveToBeginningOfDocument:", "moveToBeginningOfDocumentAndModifySelection:"},
        Row{end, "moveToEndOfLine:", "moveToEndOfLineAndModifySelection:", "moveToEndOfDocument:",
            "moveToEndOfDocumentAndModifySelection:"},
    };
    for (const Row& row : rows) {
        if (row.key != key) continue;
        if (ctrl) return shift ? row.ctrlShift : row.ctrl;
        return shift ? row.plainShift : row.plain;
    }
    return {};
}

std::optional<std::string_view> phoneButton(std::string_view characters, bool shift) {
    if (shift) {
        if (characters == "h") return "home";
        if (characters == "r") return "recents";
        if (characters == "n") return "notifications";
        return std::nullopt;
    }
    if (characters == "[") return "back";
    if (characters == "l") return "lock";
    return std::nullopt;
}

}  // namespace

std::vector<json> messages(std::string_view command) {
    for (const KeyRow& row : keyRows) {
        if (row.command == command) return {InputMessage::key(row.key)};
    }
    for (const NavRow& row : navRows) {
        if (row.command == command) return {InputMessage::nav(row.key, row.shift, row.word)};
    }
    if (command == "selectAll:") return {InputMessage::edit("selectAll")};
    return {};
}

std::optional<std::vector<json>> messages(std::string_view ctrlCharacters, bool shift) {
    const std::string c = lower(ctrlCharacters);
    if (c == "a") return std::vector{InputMessage::edit("selectAll")};
    if (c == "c") return std::vector{InputMessage::edit("copy")};
    if (c == "x") return std::vector{InputMessage::edit("cut")};
    if (c == "z") return std::vector{InputMessage::edit(shift ? "redo" : "undo")};
    return std::nullopt;
}

std::optional<std::string_view> command(const KeyPress& press) {
    using enum KeyPress::Key;
    switch (press.key) {
        case other:
            return std::nullopt;
        case backspace:
            return press.ctrl ? "deleteWordBackward:" : "deleteBackward:";
        case forwardDelete:
            return press.ctrl ? "deleteWordForward:" : "deleteForward:";
        case enter:
            return "insertNewline:";
        case tab:
            // Shift+Tab moves focus backwards elsewhere; the phone has no such key.
            if (press.shift) return std::nullopt;
            return "insertTab:";
        case escape:
            return "cancelOperation:";
        default:
            return moveCommand(press.key, press.ctrl, press.shift);
    }
}

bool isPaste(const KeyPress& press) {
    return press.ctrl && press.key == KeyPress::Key::other && lower(press.characters) == "v";
}

std::optional<std::vector<json>> messages(const KeyPress& press) {
    if (press.ctrl && press.key == KeyPress::Key::other && !press.characters.empty()) {
        const std::string c = lower(press.characters);
        if (const auto button = phoneButton(c, press.shift)) return std::vector{InputMessage::key(*button)};
        return messages(std::string_view(c), press.shift);
    }
    const auto name = command(press);
    if (!name) return std::nullopt;
    return messages(*name);
}

}  // namespace velmora::KeyMapper

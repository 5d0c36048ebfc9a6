#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace velmora {

// A key press as the mirror view reads it from the toolkit's key event, without the toolkit's types.
struct KeyPress {
    enum class Key { other, backspace, forwardDelete, enter, tab, escape, left, right, up, down, home, end };
    Key key = Key::other;
    std::string characters;  // for Key::other: the key's character(s) as typed without modifiers ("a", "[")
    bool ctrl = false;       // the shortcut modifier on this desktop (Command on the phone's usual peer)
    bool shift = false;
};

// Turns editing commands and shortcuts into "in.key", "in.nav" and "in.edit" messages. Editing commands go by
// the conventional selector names of text systems ("deleteBackward:", "moveWordLeftAndModifySelection:");
// the view's key presses are translated into those names first, so one table serves both.
namespace KeyMapper {

// One message for every command in the tables, none for any other name. Names match exactly (case and the
// trailing colon included).
std::vector<nlohmann::json> messages(std::string_view command);

// For Ctrl with the characters typed without modifiers: a/c/x/z (any case) give select-all, copy, cut, and
// undo or (with Shift) redo; anything else gives none, so that the caller goes on to its other handling.
std::optional<std::vector<nlohmann::json>> messages(std::string_view ctrlCharacters, bool shift);

// The editing command a key press stands for (Backspace "deleteBackward:", Ctrl+Left "moveWordLeft:", ...).
std::optional<std::string_view> command(const KeyPress& press);

// Ctrl+V and Ctrl+Shift+V paste the clipboard as text; the view reads the clipboard and chunks it.
bool isPaste(const KeyPress& press);

// Everything a key press sends: the phone-button shortcuts (Ctrl+Shift+H/R/N home, recents and notifications;
// Ctrl+[ back; Ctrl+L lock), the editing shortcuts, then editing commands. None when the press is not a
// command (typed text, or a paste), which the view handles itself.
std::optional<std::vector<nlohmann::json>> messages(const KeyPress& press);

}  // namespace KeyMapper
}  // namespace velmora

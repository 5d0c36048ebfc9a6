#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace velmora {

// A position on the phone's screen as fractions of its width and height, each in 0...1, origin at the top
// left, y growing downwards. The phone never learns the computer's pixel sizes.
struct PhonePoint {
    double x = 0;
    double y = 0;
    bool operator==(const PhonePoint&) const = default;
};

// The input messages the mirror sends on the input channel, one JSON object each, typed by "t".
namespace InputMessage {

// "phase" is "down", "move" or "up": one step of a finger drag.
nlohmann::json touch(std::string_view phase, PhonePoint at);
nlohmann::json tap(PhonePoint at);
nlohmann::json longPress(PhonePoint at);
// A straight swipe lasting swipeMs.
nlohmann::json swipe(PhonePoint from, PhonePoint to);
inline constexpr int swipeMs = 140;

// A named key or phone button ("del", "enter", "back", "home", ...).
nlohmann::json key(std::string_view name);
// Moves the cursor; `shift` extends the selection, `word` moves by word.
nlohmann::json nav(std::string_view direction, bool shift, bool word);
// "selectAll", "copy", "cut", "undo" or "redo" on the phone's focused field.
nlohmann::json edit(std::string_view action);
// Text to insert at the phone's cursor.
nlohmann::json text(std::string text);

}  // namespace InputMessage
}  // namespace velmora

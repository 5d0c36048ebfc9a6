#include "app/mirror/logic/input_messages.h"

#include <utility>

namespace velmora::InputMessage {

using nlohmann::json;

json touch(std::string_view phase, PhonePoint at) {
    return {{"t", "in.touch"}, {"phase", phase}, {"x", at.x}, {"y", at.y}};
}

json tap(PhonePoint at) {
    return {{"t", "in.tap"}, {"x", at.x}, {"y", at.y}};
}

json longPress(PhonePoint at) {
    return {{"t", "in.long"}, {"x", at.x}, {"y", at.y}};
}

json swipe(PhonePoint from, PhonePoint to) {
    return {{"t", "in.swipe"}, {"x1", from.x}, {"y1", from.y}, {"x2", to.x}, {"y2", to.y}, {"ms", swipeMs}};
}

json key(std::string_view name) {
    return {{"t", "in.key"}, {"key", name}};
}

json nav(std::string_view direction, bool shift, bool word) {
    return {{"t", "in.nav"}, {"key", direction}, {"shift", shift}, {"word", word}};
}

json edit(std::string_view action) {
    return {{"t", "in.edit"}, {"action", action}};
}

json text(std::string text) {
    return {{"t", "in.text"}, {"text", std::move(text)}};
}

}  // namespace velmora::InputMessage

#pragma once

#include <string>
#include <vector>

// What the guide says, as data: every text is a localisation key, looked up when the view is built,
// so a change of language or table shows on the next build of the view. The view only lays this out.
namespace velmora::guide {

// A looked-up text; when `args` is not empty the text is a format filled with the texts of those keys,
// in this order (they name buttons and screens, so the guide uses the exact words those show).
struct TextSpec {
    std::string key;
    std::vector<std::string> args;

    bool operator==(const TextSpec&) const = default;
};

// The drawings on the bands above the three steps.
enum class StepSymbol { phone, cable, code };

struct Step {
    int number = 0;
    StepSymbol symbol = StepSymbol::phone;
    std::string titleKey;
    TextSpec body;
};

struct ConnectionRow {
    std::string titleKey;
    std::string textKey;
};

// A key-cap plate: either a caption shown as written (a real shortcut) or a key looked up.
struct KeyCap {
    std::string text;
    bool literal = false;
};

enum class ItemKind {
    heading,        // semibold, primary colour
    spacedHeading,  // a heading with a little room above it
    paragraph,      // secondary colour; formatted only when it has arguments
    bullet,         // always formatted, then wrapped in "common.bullet"
    numbered,       // "common.numbered" with `number` and the looked-up text
    keyRow,         // `cap` on a plate, `text` as its description
    notice,         // a warning notice: `text` is its title, `noticeTextKey` its text
};

struct Item {
    ItemKind kind = ItemKind::paragraph;
    TextSpec text;
    int number = 0;
    KeyCap cap;
    std::string noticeTextKey;
};

// One foldable topic; its displayed title is also its identity among the open topics.
struct Topic {
    std::string titleKey;
    std::vector<Item> items;
};

struct Content {
    std::string windowTitleKey;
    std::string titleKey;
    std::string privacyKey;
    std::vector<Step> steps;
    std::string connectionsHeaderKey;
    std::vector<ConnectionRow> connections;
    std::string topicsHeaderKey;
    std::vector<Topic> topics;
    std::string protocolKey;
    std::string doneKey;
};

// The guide, in the order it is shown.
const Content& content();

// The displayed texts, looked up now.
std::string shown(const TextSpec& text);       // looked up; formatted only when it has arguments
std::string bulletLine(const TextSpec& text);  // formatted even without arguments ("%%" shows "%")
std::string numberedLine(int number, const std::string& title);
std::string capText(const KeyCap& cap);

}  // namespace velmora::guide

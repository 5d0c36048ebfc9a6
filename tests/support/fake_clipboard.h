#pragma once

#include <map>
#include <ranges>

#include "app/model/ports/clipboard.h"

namespace velmora::test {

// A clipboard in memory, MIME type to bytes; copy() stands for another program's copy. Main thread only.
struct FakeClipboard final : Clipboard {
    void copy(std::map<std::string, std::string> with) { content = std::move(with), ++count; }
    std::int64_t changeCount() const override { return count; }
    std::vector<std::string> types() const override {
        const auto keys = std::views::keys(content);
        return {keys.begin(), keys.end()};
    }
    std::optional<std::string> data(const std::string& type) const override {
        return content.contains(type) ? std::optional(content.at(type)) : std::nullopt;
    }
    std::optional<std::string> text() const override { return data("text/plain"); }
    std::int64_t replaceText(const std::string& text) override { return copy({{"text/plain", text}}), count; }

    std::map<std::string, std::string> content;
    std::int64_t count = 7;  // any start: the model must not assume 0
};

}  // namespace velmora::test

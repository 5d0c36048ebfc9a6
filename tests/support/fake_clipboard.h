#pragma once

#include <map>
#include <string>

#include "app/model/ports/clipboard.h"

namespace velmora::test {

// A clipboard in memory, one MIME type to its bytes. copy() stands for another program's copy; the model's
// own writes come through replaceText. Main executor only, like the port.
class FakeClipboard final : public Clipboard {
  public:
    void copy(std::map<std::string, std::string> content) {
        content_ = std::move(content);
        ++count_;
    }
    void copyText(const std::string& text) { copy({{"text/plain", text}}); }

    std::int64_t changeCount() const override { return count_; }
    std::vector<std::string> types() const override {
        std::vector<std::string> out;
        for (const auto& entry : content_)
            out.push_back(entry.first);
        return out;
    }
    std::optional<std::string> data(const std::string& mimeType) const override {
        const auto found = content_.find(mimeType);
        return found == content_.end() ? std::nullopt : std::optional(found->second);
    }
    std::optional<std::string> text() const override { return data("text/plain"); }
    std::int64_t replaceText(const std::string& text) override {
        content_ = {{"text/plain", text}};
        return ++count_;
    }

  private:
    std::map<std::string, std::string> content_;
    std::int64_t count_ = 7;  // any start: the model must not assume 0
};

}  // namespace velmora::test

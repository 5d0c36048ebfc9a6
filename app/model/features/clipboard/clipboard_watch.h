#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/model/ports/clipboard.h"

namespace velmora {

// The model's view of the desktop clipboard: the change it saw last, so each copy is looked at once, and
// the one write of the phone's text that must not travel back.
//
// Threads: the main executor only (like the port).
class ClipboardWatch {
  public:
    // The content present now counts as seen: what was copied before the program started is not sent.
    explicit ClipboardWatch(std::shared_ptr<Clipboard> clipboard);

    // True once for each new change; the change counts as seen from then on, whatever the caller decides.
    bool takeChange();
    // The text of the current content when it may go to the phone: no marker of a secret, not empty, below
    // the size limit.
    std::optional<std::string> sendableText() const;
    // The plain text, whatever it is; absent when none or empty.
    std::optional<std::string> text() const;
    // Writes the phone's text; the change it makes counts as seen, so the next poll sends nothing back.
    void writeFromPhone(const std::string& text);
    // Places a text of this computer (the diagnostics report): a change like the user's own copy.
    void place(const std::string& text) { (void)clipboard_->replaceText(text); }

  private:
    const std::shared_ptr<Clipboard> clipboard_;
    std::int64_t lastChange_;
};

}  // namespace velmora

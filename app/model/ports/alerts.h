#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velmora {

// Modal questions and messages: what the model cannot go on without (a message, then the end of the
// process), and the confirmations the user answers.
class Alerts {
  public:
    virtual ~Alerts() = default;
    // Shows `title` and `text` and returns when the user closed the message. Main thread. The caller logs
    // the alert, in the log's language.
    virtual void showFatal(const std::string& title, const std::string& text) = 0;
    // Ends the process with `status`. It may return: the caller then gives up at once, and the application's
    // entry returns the status once that has unwound (tests record it).
    virtual void exitProcess(int status) = 0;
    // Asks `message` with `text` and returns the index of the button chosen; the first button is the
    // default, and closing the alert chooses it. Main thread; returns when the alert is dismissed.
    virtual std::size_t choose(const std::string& message, const std::string& text,
                               const std::vector<std::string>& buttons) {
        (void)message, (void)text, (void)buttons;
        return 0;
    }
};

}  // namespace velmora

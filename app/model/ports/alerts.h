#pragma once

#include <string>

namespace velmora {

// What the model cannot go on without: a modal message, then the end of the process.
class Alerts {
  public:
    virtual ~Alerts() = default;
    // Shows `title` and `text` and returns when the user closed the message. Main thread.
    virtual void showFatal(const std::string& title, const std::string& text) = 0;
    // Ends the process with `status` (the application calls std::exit; tests record it and return).
    virtual void exitProcess(int status) = 0;
};

}  // namespace velmora

#pragma once

#include <cstddef>
#include <functional>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora::companion {

class CompanionPhone;

// A bad script line; the text names the line and what is wrong with it.
struct ScriptError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One action of the phone's script: a line "name arg arg ...", words split at blanks, "double quotes" keep
// blanks inside one word.
struct ScriptAction {
    int line = 0;
    std::string name;
    std::vector<std::string> args;
};

// The actions and what each takes, for --help.
extern const char* const kScriptHelp;

// One line; nothing for a blank line or a comment ("#..."). Throws ScriptError for an unknown action, a wrong
// number of words or a malformed value.
std::optional<ScriptAction> parseScriptLine(const std::string& text, int line);
// Every line of a script, checked before any runs; the first bad line throws.
std::vector<ScriptAction> parseScript(std::istream& in);

// Runs the phone's script, one action after the other; actions that need the link wait for a session first
// (60 s at most). Carries the script's own position in what the phone received, so each "wait" takes a
// message the previous one did not.
class ScriptRunner {
  public:
    ScriptRunner(CompanionPhone& phone, std::function<void(const std::string&)> say);
    // Runs one action. True when the script goes on; false after "quit". Throws ScriptError when the action
    // fails (a wait that times out, no session).
    bool run(const ScriptAction& action);

  private:
    CompanionPhone& phone_;
    std::function<void(const std::string&)> say_;
    std::size_t cursor_ = 0;
};

}  // namespace velmora::companion

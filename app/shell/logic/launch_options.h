#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmora {

// What the command line asks for. Options match whole arguments only ("--snapshot=x" is no option), only the
// first occurrence of each counts, the argument after an option is its folder even when it looks like an
// option itself, and "--snapshot" wins over "--make-iconset". An option without a folder is ignored.
struct LaunchChoice {
    enum class Mode { application, snapshot, iconset };
    Mode mode = Mode::application;
    std::string folder;  // the tool's folder, as given; empty for the application

    bool operator==(const LaunchChoice&) const = default;
};

// `args` is the whole argument list, the program's own path at index 0.
LaunchChoice parseLaunch(const std::vector<std::string>& args);

}  // namespace velmora

#include "app/shell/logic/launch_options.h"

#include <algorithm>

namespace velmora {
namespace {

// The folder after the first `option`, when the option is there and not the last argument.
std::optional<std::string> folderAfter(const std::vector<std::string>& args, const std::string& option) {
    if (args.empty()) return std::nullopt;
    const auto it = std::find(args.begin() + 1, args.end(), option);
    if (it == args.end() || it + 1 == args.end()) return std::nullopt;
    return *(it + 1);
}

}  // namespace

LaunchChoice parseLaunch(const std::vector<std::string>& args) {
    if (auto folder = folderAfter(args, "--snapshot")) return {LaunchChoice::Mode::snapshot, *folder};
    if (auto folder = folderAfter(args, "--make-iconset")) return {LaunchChoice::Mode::iconset, *folder};
    return {};
}

}  // namespace velmora

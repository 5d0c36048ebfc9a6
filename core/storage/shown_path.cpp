#include "core/storage/shown_path.h"

namespace velmora {

std::string shownPath(const std::filesystem::path& file, const std::filesystem::path& home) {
    if (home.empty() || !home.is_absolute()) return file.string();
    const auto rest = file.lexically_relative(home);
    if (rest.empty() || rest.native().starts_with("..")) return file.string();
    return rest == "." ? "~" : "~/" + rest.string();
}

}  // namespace velmora

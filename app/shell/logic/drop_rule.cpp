#include "app/shell/logic/drop_rule.h"

namespace velmora {

std::vector<std::string> filesToSend(bool connected, const std::vector<DroppedItem>& items) {
    std::vector<std::string> files;
    if (!connected) return files;
    for (const auto& item : items)
        if (item.regularFile && !item.path.empty()) files.push_back(item.path);
    return files;
}

}  // namespace velmora

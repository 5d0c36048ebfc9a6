#include "app/mirror/media/annex_b.h"

#include <cstddef>

namespace velmora::AnnexB {

std::vector<Bytes> split(ByteView b) {
    struct StartCode {
        std::size_t at;
        std::size_t length;
    };
    std::vector<StartCode> codes;
    const std::size_t n = b.size();
    std::size_t i = 0;
    while (i + 2 < n) {
        if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1) {
            codes.push_back({i, 3});
            i += 3;
        } else if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 0 && i + 3 < n && b[i + 3] == 1) {
            codes.push_back({i, 4});
            i += 4;
        } else {
            ++i;
        }
    }
    std::vector<Bytes> units;
    for (std::size_t k = 0; k < codes.size(); ++k) {
        const std::size_t begin = codes[k].at + codes[k].length;
        const std::size_t end = k + 1 < codes.size() ? codes[k + 1].at : n;
        if (end > begin)
            units.emplace_back(b.begin() + static_cast<std::ptrdiff_t>(begin),
                               b.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return units;
}

}  // namespace velmora::AnnexB

#include "app/mirror/media/annex_b.h"

#include <cstddef>
#include <cstring>

namespace velmora::AnnexB {

std::vector<ByteView> split(ByteView b) {
    struct StartCode {
        std::size_t at;
        std::size_t length;
    };
    std::vector<StartCode> codes;
    const std::size_t n = b.size();
    // Every start code ends in a 01 byte after two zeros: jump from one 01 to the next (memchr runs in
    // vector code) rather than test every position.
    std::size_t i = 0;
    while (i + 2 < n) {
        const void* one = std::memchr(b.data() + i + 2, 1, n - i - 2);
        if (!one) break;
        const auto p = static_cast<std::size_t>(static_cast<const std::uint8_t*>(one) - b.data());
        if (b[p - 1] != 0 || b[p - 2] != 0) {
            i = p - 1;  // this 01 ends no start code; the next one is at least one byte on
            continue;
        }
        if (p >= i + 3 && b[p - 3] == 0)
            codes.push_back({p - 3, 4});
        else
            codes.push_back({p - 2, 3});
        i = p + 1;
    }
    std::vector<ByteView> units;
    units.reserve(codes.size());
    for (std::size_t k = 0; k < codes.size(); ++k) {
        const std::size_t begin = codes[k].at + codes[k].length;
        const std::size_t end = k + 1 < codes.size() ? codes[k + 1].at : n;
        if (end > begin) units.push_back(b.subspan(begin, end - begin));
    }
    return units;
}

}  // namespace velmora::AnnexB

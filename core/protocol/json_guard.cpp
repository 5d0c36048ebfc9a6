#include "core/protocol/json_guard.h"

#include "core/errors/cxp_error.h"

namespace velmora::JsonGuard {

void check(ByteView data, std::size_t maxDepth, std::size_t maxItems) {
    bool inString = false;
    bool escaped = false;
    std::size_t depth = 0;
    std::size_t items = 0;
    for (const std::uint8_t b : data) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (b == '\\') {
                escaped = true;
            } else if (b == '"') {
                inString = false;
            }
            continue;
        }
        switch (b) {
            case '[':
            case '{':
                if (++depth > maxDepth) throw CXPError::protocolError("JSON aninhado demais");
                break;
            case ']':
            case '}':
                // Stray closers must not bank depth credit for later openers.
                if (depth > 0) --depth;
                break;
            case '"':
                inString = true;
                break;
            case ',':
                if (++items > maxItems) throw CXPError::protocolError("JSON com elementos demais");
                break;
            default:
                break;
        }
    }
}

}  // namespace velmora::JsonGuard

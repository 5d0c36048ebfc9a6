#pragma once

#include <cstddef>

#include "core/bytes.h"

namespace velmora {

// A scan of a received message's raw bytes that runs before the JSON parser, so that a message
// nested too deeply or holding too many elements is refused without ever being parsed.
namespace JsonGuard {

// Counts brackets and commas outside strings. More than maxDepth open brackets at once throws
// CXPError::protocolError("JSON aninhado demais"); more than maxItems commas throws
// CXPError::protocolError("JSON com elementos demais"). Anything else (unbalanced brackets, an open
// string) is left to the parser.
void check(ByteView data, std::size_t maxDepth, std::size_t maxItems);

}  // namespace JsonGuard
}  // namespace velmora

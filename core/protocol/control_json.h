#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

#include "core/bytes.h"

namespace velmora {

// Control messages (and mirroring input messages) are JSON objects whose member "t" names the
// message type. All three functions are stateless and safe on any thread.

// Compact JSON text of a message. Never fails: a value JSON cannot carry (NaN, infinity, binary,
// a non-object message) gives "{}"; text that is not valid UTF-8 is written with U+FFFD in place
// of the bad bytes rather than losing the whole message.
Bytes encodeJSON(const nlohmann::json& message);

// Parses a received message under hard limits. Throws CXPError::protocolError:
//   "mensagem grande demais"   more than maxBytes bytes (nothing read before this test);
//   the JsonGuard texts        too deep or too many elements (nothing parsed);
//   "mensagem inválida (JSON)" not JSON, or a top level other than an object.
nlohmann::json decodeJSON(ByteView data, std::size_t maxBytes);

// The member `key` as a double when it holds a JSON number or boolean (true is 1). Not for fields of
// received messages: those go through the typed readers, where numbers and booleans stay apart.
std::optional<double> num(const nlohmann::json& message, std::string_view key);

}  // namespace velmora

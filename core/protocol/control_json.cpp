#include "core/protocol/control_json.h"

#include <cmath>

#include "core/errors/cxp_error.h"
#include "core/protocol/json_guard.h"
#include "core/text/limits.h"

namespace velmora {
namespace {

bool representable(const nlohmann::json& v) {
    switch (v.type()) {
        case nlohmann::json::value_t::number_float:
            return std::isfinite(v.get<double>());
        case nlohmann::json::value_t::binary:
        case nlohmann::json::value_t::discarded:
            return false;
        case nlohmann::json::value_t::array:
        case nlohmann::json::value_t::object:
            for (const auto& child : v) {
                if (!representable(child)) return false;
            }
            return true;
        default:
            return true;
    }
}

Bytes emptyObject() {
    return Bytes{'{', '}'};
}

}  // namespace

Bytes encodeJSON(const nlohmann::json& message) {
    if (!message.is_object() || !representable(message)) return emptyObject();
    try {
        const std::string text = message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        return Bytes(text.begin(), text.end());
    } catch (const nlohmann::json::exception&) {
        return emptyObject();
    }
}

nlohmann::json decodeJSON(ByteView data, std::size_t maxBytes) {
    if (data.size() > maxBytes) throw CXPError::protocolError("mensagem grande demais");
    JsonGuard::check(data, Limits::jsonMaxDepth, Limits::jsonMaxItems);
    nlohmann::json parsed;
    try {
        // The library reports some failures (a number such as 1e400) as out_of_range rather than as
        // a parse error, so every one of its exceptions means the same thing here.
        parsed = nlohmann::json::parse(data.begin(), data.end());
    } catch (const nlohmann::json::exception&) {
        throw CXPError::protocolError("mensagem inválida (JSON)");
    }
    // The library also accepts a bare null, number or text at the top level.
    if (!parsed.is_object()) throw CXPError::protocolError("mensagem inválida (JSON)");
    return parsed;
}

std::optional<double> num(const nlohmann::json& message, std::string_view key) {
    if (!message.is_object()) return std::nullopt;
    const auto it = message.find(key);
    if (it == message.end()) return std::nullopt;
    if (it->is_boolean()) return it->get<bool>() ? 1.0 : 0.0;
    if (it->is_number()) return it->get<double>();
    return std::nullopt;
}

}  // namespace velmora

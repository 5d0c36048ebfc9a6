#include "core/discovery/discovery.h"

#include "core/crypto/cxp_crypto.h"
#include "core/protocol/inbound.h"
#include "core/text/safe_text.h"

namespace velmora::Discovery {
namespace {

ByteView bytesOf(std::string_view text) {
    return ByteView(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

}  // namespace

std::string_view rawValue(Rejection rejection) {
    switch (rejection) {
        case Rejection::missingID:
            return "id ausente";
        case Rejection::badID:
            return "id inválido";
    }
    return "id inválido";
}

std::variant<Entry, Rejection> validate(std::optional<std::string_view> id,
                                        std::optional<std::string_view> name,
                                        std::optional<std::string_view> ip, std::string_view serviceName) {
    if (!id) return Rejection::missingID;
    if (!isDeviceID(*id)) return Rejection::badID;

    Entry entry;
    entry.id = std::string(*id);
    if (ip && Inbound::isRoutableIPv4(*ip)) entry.ip = std::string(*ip);
    entry.name = SafeText::deviceName(name ? *name : serviceName);
    entry.endpointKey = entry.ip ? *entry.ip : serviceKey(serviceName);
    return entry;
}

std::string serviceKey(std::string_view serviceName) {
    const Bytes digest = CXPCrypto::sha256(bytesOf(serviceName));
    return "svc-" + CXPCrypto::hex(ByteView(digest).first(6));
}

}  // namespace velmora::Discovery

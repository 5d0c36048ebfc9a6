// Turning a connected transport into an authenticated session, and the pairing prompt; on the attempt's
// thread, which blocks throughout.
#include "app/model/app_model.h"
#include "app/model/app_version.h"
#include "core/channel/secure_channel.h"
#include "core/errors/cxp_error.h"
#include "core/log/velmora_log.h"

namespace velmora {

namespace {

nlohmann::json capsMessage(const std::string& deviceName) {
    return {
        {"t", "caps"},
        {"v", 2},
        {"name", deviceName},
        {"model", "Mac"},  // the wire value the phone expects from this side
        {"features", {"clip", "files", "notif", "notif.filter", "mirror", "input", "net.offer", "pair.cr1"}},
        {"appVersion", AppVersion::version()},
        {"appBuild", AppVersion::build()}};
}

std::int64_t milliseconds(double seconds) {
    return static_cast<std::int64_t>(seconds * 1000.0);
}

// Shows the code while this thread waits; the watchdog leaves the handshake alone meanwhile.
bool askPairing(AttemptContext& context, const Peer& peer, const std::string& code) {
    context.pairingPrompted.store(true);
    const bool answer = context.prompt->confirm(peer, code);
    context.pairingEndedAtMs.store(milliseconds(context.main->now()));
    context.pairingPrompted.store(false);
    return answer;
}

}  // namespace

std::shared_ptr<LinkSession> AppModel::openSession(AttemptContext& context,
                                                   std::shared_ptr<Transport> transport, bool userInitiated,
                                                   const std::optional<std::string>& expected,
                                                   const std::string& kind) {
    auto channel = SecureChannel::connectAsClient(std::move(transport));
    const LinkSession::Prompt prompt = [&context, userInitiated](const Peer& peer, const std::string& code) {
        if (userInitiated) return askPairing(context, peer, code);
        VelmoraLog::write("pareamento recusado: a conexão automática não pode iniciar pareamento");
        return false;
    };
    std::shared_ptr<LinkSession> session;
    try {
        session = LinkSession::open(std::move(channel), *context.identity, *context.store, expected,
                                    userInitiated, prompt, *context.main);
    } catch (const CXPError& e) {
        if (e.kind() == CXPError::Kind::unexpectedPeer) {
            VelmoraLog::write(
                "o aparelho que respondeu não é o celular esperado: fechando sem enviar a identidade deste "
                "computador");
        } else if (e.kind() == CXPError::Kind::unknownPeer) {
            VelmoraLog::write(
                "aparelho desconhecido numa conexão automática: fechando sem enviar a identidade deste "
                "computador");
        }
        throw;
    }
    session->setTransportKind(kind);
    session->sendControl(capsMessage(context.identity->deviceName()));
    return session;
}

}  // namespace velmora

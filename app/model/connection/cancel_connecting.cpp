// The panel's phone list asks two things of the connection half: the user's cancel of an attempt in progress,
// and the name of the phone that was lost.
#include "app/model/app_model.h"
#include "core/log/velmora_log.h"

namespace velmora {

void AppModel::cancelConnecting() {
    autoConnect_ = false;
    const std::shared_ptr<AttemptWatch> watch = connectingWatch_.lock();
    VelmoraLog::write("conexão cancelada pelo usuário");
    // Once the handshake is through, the transport belongs to the session that main is about to install;
    // closing it then would cut a phone the user sees as connected a moment later.
    if (!watch || watch->opened.load() || watch->finished.load()) return;
    watch->close();  // outside every lock of ours; also stops a transport that is not made yet
}

void AppModel::rememberLostPeer(const LinkSession& closed) {
    if (!closed.peer().name.empty()) edit().lostPeerName = closed.peer().name;
}

}  // namespace velmora

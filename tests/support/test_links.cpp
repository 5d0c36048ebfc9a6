#include "support/test_links.h"

#include "core/loopback.h"
#include "core/transport/tcp_transport.h"

namespace velmora {

LinkEnds makeLink(LinkKind kind) {
    if (kind == LinkKind::socketPair) {
        auto [a, b] = test::socketPair();
        return {std::make_shared<TcpTransport>(std::move(a)), std::make_shared<TcpTransport>(std::move(b))};
    }
    test::LoopbackListener listener;
    auto computer = std::make_shared<TcpTransport>("127.0.0.1", listener.port());
    // The kernel completes the connection from the backlog, so accepting afterwards on this thread works.
    computer->connect(5.0);
    return {computer, std::make_shared<TcpTransport>(listener.accept())};
}

std::string linkName(LinkKind kind) {
    return kind == LinkKind::socketPair ? "SocketPair" : "LoopbackTcp";
}

}  // namespace velmora

#include "app/entry/dev_connect.h"

#include <QString>

#include "app/model/app_model.h"
#include "core/log/velmora_log.h"
#include "core/transport/tcp_transport.h"

namespace velmora {

void connectFromEnvironment(AppModel& model) {
    const std::string text = qEnvironmentVariable("VELMORA_DEV_CONNECT").toStdString();
    if (text.empty()) return;
    const auto colon = text.rfind(':');
    const std::string host = colon == std::string::npos ? text : text.substr(0, colon);
    std::uint16_t port = AppModel::phonePort;
    if (colon != std::string::npos) {
        bool ok = false;
        const uint value = QString::fromStdString(text.substr(colon + 1)).toUInt(&ok);
        if (ok && value > 0 && value <= 65535) port = static_cast<std::uint16_t>(value);
    }
    VelmoraLog::write("VELMORA_DEV_CONNECT: conectando a " + host + ":" + std::to_string(port));
    model.connect({host, "manual:" + host, std::nullopt, "tcp", std::nullopt, true, 10,
                   [host, port] { return std::make_shared<TcpTransport>(host, port); }});
}

}  // namespace velmora

#include "app/entry/dev_connect.h"

#include <QString>

#include "app/model/app_model.h"
#include "core/log/velmora_log.h"

namespace velmora {

void connectFromEnvironment(AppModel& model) {
    const std::string text = qEnvironmentVariable("VELMORA_DEV_CONNECT").toStdString();
    if (text.empty()) return;
    VelmoraLog::write("VELMORA_DEV_CONNECT: endereço digitado " + text);
    model.connectManual(text);
}

}  // namespace velmora

// Stand-ins for the entry points of the session features until each feature fills its own.
#include "app/model/app_model.h"

namespace velmora {

void AppModel::postNotification(LinkSession&, const nlohmann::json&) {}
void AppModel::removeNotification(const std::string&) {}
void AppModel::receiveOffer(LinkSession&, const nlohmann::json&) {}
void AppModel::fileAccepted(std::uint32_t) {}
void AppModel::fileRejected(std::uint32_t) {}
void AppModel::fileDone(std::uint32_t, bool) {}
void AppModel::receiveFileChunk(LinkSession&, ByteView) {}
void AppModel::mergePhoneApps(std::vector<PhoneApp>) {}
void AppModel::writeClipboard(std::string) {}
void AppModel::finishDiagnostics(std::string) {}

}  // namespace velmora

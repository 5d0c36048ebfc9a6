// Stand-ins for the entry points of the session features until each feature fills its own.
#include "app/model/app_model.h"

namespace velmora {

void AppModel::receiveOffer(LinkSession&, const nlohmann::json&) {}
void AppModel::fileAccepted(std::uint32_t) {}
void AppModel::fileRejected(std::uint32_t) {}
void AppModel::fileDone(std::uint32_t, bool) {}
void AppModel::receiveFileChunk(LinkSession&, ByteView) {}
void AppModel::writeClipboard(std::string) {}
void AppModel::finishDiagnostics(std::string) {}
void AppModel::mirrorStarted(MirrorStart) {}
void AppModel::mirrorStopped() {}
void AppModel::mirrorError(std::string, std::optional<std::string>) {}
void AppModel::showMirrorNotice(const std::string&, double) {}
void AppModel::setMirrorControlPaused(bool) {}

}  // namespace velmora

#include "app/model/features/mirroring/mirror_requests.h"

namespace velmora::MirrorRequests {

nlohmann::json start(const std::string& linkKind, bool playAudio, bool muteDevice) {
    if (linkKind == "ble") {
        return {{"t", "mirror.start"}, {"maxSize", 1024}, {"fps", 1},
                {"bitrate", 90000},    {"audio", false},  {"muteDevice", false}};
    }
    return {{"t", "mirror.start"}, {"maxSize", 1600},    {"fps", 60},
            {"bitrate", 8000000},  {"audio", playAudio}, {"muteDevice", playAudio && muteDevice}};
}

nlohmann::json stop(bool keep) {
    return {{"t", "mirror.stop"}, {"keep", keep}};
}

nlohmann::json keyframe() {
    return {{"t", "mirror.keyframe"}};
}

}  // namespace velmora::MirrorRequests

#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace velmora::MirrorRequests {

// "mirror.start" for the live link: a slow profile over Bluetooth LE (one picture a second, no sound,
// whatever the settings), the full profile otherwise, asking for the sound and the phone's muting only when
// the sound is played here.
nlohmann::json start(const std::string& linkKind, bool playAudio, bool muteDevice);
// "mirror.stop"; `keep` asks the phone to keep its capture permission for the next start.
nlohmann::json stop(bool keep);
nlohmann::json keyframe();

}  // namespace velmora::MirrorRequests

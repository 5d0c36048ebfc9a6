#pragma once

#include <array>
#include <string_view>

#include "core/settings/settings.h"

namespace velmora {

// The five Boolean switches of the inline preferences. Each is stored under its own name in the settings
// file; a value that is missing or is not a Boolean reads as the switch's default.
enum class Preference { syncClipboard, playAudio, muteDevice, keepCapture, allowMirrorCapture };

inline constexpr std::array<Preference, 5> kAllPreferences{Preference::syncClipboard, Preference::playAudio,
                                                           Preference::muteDevice, Preference::keepCapture,
                                                           Preference::allowMirrorCapture};

// "syncClipboard", "playAudio", "muteDevice", "keepCapture", "allowMirrorCapture".
std::string_view settingsKey(Preference which);

// On for all but the capture permission, which the user must grant.
bool defaultValue(Preference which);

bool readPreference(const Settings& settings, Preference which);

}  // namespace velmora

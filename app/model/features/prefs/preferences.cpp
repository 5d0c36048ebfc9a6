#include "app/model/features/prefs/preferences.h"

namespace velmora {

std::string_view settingsKey(Preference which) {
    switch (which) {
        case Preference::syncClipboard:
            return "syncClipboard";
        case Preference::playAudio:
            return "playAudio";
        case Preference::muteDevice:
            return "muteDevice";
        case Preference::keepCapture:
            return "keepCapture";
        case Preference::allowMirrorCapture:
            return "allowMirrorCapture";
    }
    return "syncClipboard";
}

bool defaultValue(Preference which) {
    return which != Preference::allowMirrorCapture;
}

bool readPreference(const Settings& settings, Preference which) {
    return settings.boolean(settingsKey(which)).value_or(defaultValue(which));
}

}  // namespace velmora

// The persisted mirroring settings, in our settings file under their own keys.
#include "app/model/app_model.h"
#include "core/l10n/l10n.h"

namespace velmora {

void AppModel::loadMirrorSettings() {
    const Settings& settings = *ports_.settings;
    state_.playAudio = settings.boolean("playAudio").value_or(true);
    state_.muteDevice = settings.boolean("muteDevice").value_or(true);
    state_.keepCapture = settings.boolean("keepCapture").value_or(true);
    state_.allowMirrorCapture = settings.boolean("allowMirrorCapture").value_or(false);
    state_.mirrorCaptureSupported = ports_.mirrorScreens && ports_.mirrorScreens->canHideFromCapture();
    if (!state_.mirrorCaptureSupported) state_.mirrorCaptureNote = L10n::string("mirror.capture.unsupported");
    mirror_->playAudio = state_.playAudio;
}

void AppModel::setPlayAudio(bool on) {
    edit().playAudio = on;
    mirror_->playAudio = on;
    ports_.settings->setValue("playAudio", on);
    if (!ports_.mirrorSound) return;
    // What the phone sends was settled by "mirror.start": turning the sound on plays only a stream it has.
    if (on && mirror_->audioFormat && state_.mirroring)
        ports_.mirrorSound->start(mirror_->audioFormat->rate,
                                  static_cast<int>(mirror_->audioFormat->channels));
    else if (!on)
        ports_.mirrorSound->stop();
}

void AppModel::setMuteDevice(bool on) {
    edit().muteDevice = on;
    ports_.settings->setValue("muteDevice", on);
}

void AppModel::setKeepCapture(bool on) {
    edit().keepCapture = on;
    ports_.settings->setValue("keepCapture", on);
}

// Kept as the user's wish; no desktop here can act on it (see mirrorCaptureSupported).
void AppModel::setAllowMirrorCapture(bool on) {
    edit().allowMirrorCapture = on;
    ports_.settings->setValue("allowMirrorCapture", on);
}

}  // namespace velmora

#pragma once

#include <memory>

#include "app/mirror/audio/qt_audio_output.h"
#include "app/mirror/media/audio_player.h"
#include "app/model/ports/mirror_sound.h"
#include "core/exec/serial_queue.h"

namespace velmora {

// The model's sound player: the phone's PCM through AudioPlayer onto the desktop's sound server, with the
// player's device work on a serial queue of its own ("tessel.audio.ctl").
class QtMirrorSound final : public MirrorSound {
  public:
    QtMirrorSound();
    ~QtMirrorSound() override;

    void start(double rate, int channels) override { player_.start(rate, channels); }
    void stop() override { player_.stop(); }
    void feed(ByteView packet) override { player_.feed(packet); }

  private:
    QtAudioOutput output_;
    SerialQueue ctl_;
    AudioPlayer player_;
};

}  // namespace velmora

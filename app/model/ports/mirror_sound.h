#pragma once

#include "core/bytes.h"

namespace velmora {

// The one player of the phone's sound, reused by every mirroring run. start() and stop() come from the main
// thread and return at once; feed() comes from the session's receive thread.
class MirrorSound {
  public:
    virtual ~MirrorSound() = default;
    virtual void start(double rate, int channels) = 0;
    virtual void stop() = 0;
    virtual void feed(ByteView packet) = 0;  // one packet of channel 2
};

}  // namespace velmora

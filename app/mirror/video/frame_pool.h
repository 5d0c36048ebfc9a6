#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "app/mirror/video/video_frame.h"

namespace velmora {

// Pictures to convert into, reused once every holder has let go, so that a steady stream allocates nothing.
// A picture comes back when its last holder drops it, on that holder's thread, through the pool's mutex:
// the holder's last reads are ordered before the writes of whoever takes the picture next (the mutex's
// release and acquire), on every processor, not only where stores happen to stay in order. The pool keeps
// at most `keep` pictures of its own, in use or waiting; beyond that it hands out pictures that are freed
// when dropped. What it keeps lives until both the pool and the last picture it handed out are gone,
// whichever goes last.
//
// Threads: take() on any thread, pictures dropped on any.
class FramePool {
  public:
    explicit FramePool(std::size_t keep = 3);

    // A picture no one holds any more (its pixels as last written: the caller overwrites them), or a new one.
    std::shared_ptr<VideoFrame> take();

    struct Counts {
        std::uint64_t taken = 0;
        std::uint64_t made = 0;  // of those taken, new pictures
        std::size_t spare = 0;   // pictures back in the pool now
    };
    Counts counts() const;

  private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace velmora

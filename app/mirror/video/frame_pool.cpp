#include "app/mirror/video/frame_pool.h"

#include <mutex>
#include <vector>

namespace velmora {

struct FramePool::Shared {
    explicit Shared(std::size_t n) : keep(n) { spare.reserve(n); }  // so that giving back never allocates
    const std::size_t keep;
    mutable std::mutex mutex;  // guards the fields below
    std::vector<std::unique_ptr<VideoFrame>> spare;
    std::size_t owned = 0;  // pictures of the pool's own, spare or in use
    Counts counts;
};

FramePool::FramePool(std::size_t keep) : shared_(std::make_shared<Shared>(keep)) {}

std::shared_ptr<VideoFrame> FramePool::take() {
    std::unique_ptr<VideoFrame> frame;
    bool own = true;
    {
        std::lock_guard guard(shared_->mutex);
        ++shared_->counts.taken;
        if (!shared_->spare.empty()) {
            frame = std::move(shared_->spare.back());
            shared_->spare.pop_back();
        } else {
            ++shared_->counts.made;
            own = shared_->owned < shared_->keep;
            if (own) ++shared_->owned;
        }
    }
    if (!frame) frame = std::make_unique<VideoFrame>();
    if (!own) return std::shared_ptr<VideoFrame>(std::move(frame));
    // The last holder's drop: the shared count's last decrement orders every holder's reads before this,
    // and the mutex orders this before the next take().
    return std::shared_ptr<VideoFrame>(frame.release(), [shared = shared_](VideoFrame* back) {
        std::lock_guard guard(shared->mutex);
        shared->spare.emplace_back(back);
    });
}

FramePool::Counts FramePool::counts() const {
    std::lock_guard guard(shared_->mutex);
    Counts out = shared_->counts;
    out.spare = shared_->spare.size();
    return out;
}

}  // namespace velmora

// The pictures the video sink converts into, handed to a view on another thread and back: a picture comes
// back only once the view has let go of it, with the view's last touches ordered before the next writes
// (ThreadSanitizer checks that order in its tree), and the pool outlives whichever side goes last.

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <random>
#include <thread>

#include "app/mirror/video/frame_pool.h"

namespace velmora {
namespace {

constexpr std::int64_t kLetGo = -1;  // what the view writes into a picture as it drops it

// A decoder thread (this one) takes pictures, writes its number all over one and hands it to a view thread,
// taking the next one as soon as fewer than two are queued; the view keeps the last two it took, checks they
// stay as written while it holds them, and as it takes a new one marks the oldest as let go and drops it,
// while the decoder takes its next. The decoder finds that mark on every picture it gets back. At most five
// pictures are out at once (one being written, one queued, three at the view).
TEST(FramePool, PicturesComeBackOnlyOnceTheViewHasLetGoOfThem) {
    constexpr int kPictures = 3000;
    const struct {
        std::size_t keep;
        bool allKept;  // every picture out at once can be one the pool keeps
    } cases[] = {{5, true}, {2, false}};
    for (const auto& c : cases) {
        auto pool = std::make_unique<FramePool>(c.keep);
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::shared_ptr<VideoFrame>> queue;
        bool finished = false;
        int altered = 0, badMark = 0, fresh = 0;
        std::vector<std::shared_ptr<VideoFrame>> lastHeld;
        std::thread view([&] {
            std::vector<std::shared_ptr<VideoFrame>> held;
            std::mt19937 random(7);
            const auto intact = [](const VideoFrame& f) {
                return std::all_of(f.pixels.begin(), f.pixels.end(), [&](std::uint8_t b) {
                    return b == static_cast<std::uint8_t>(f.ptsMicros);
                });
            };
            for (;;) {
                std::shared_ptr<VideoFrame> frame;
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return finished || !queue.empty(); });
                    if (queue.empty()) break;
                    frame = std::move(queue.front());
                    queue.pop_front();
                }
                changed.notify_all();
                if (held.size() == 2) {                // checked as it was shown last
                    held.front()->ptsMicros = kLetGo;  // the view's last touch
                    held.erase(held.begin());          // while the decoder takes its next picture
                }
                held.push_back(std::move(frame));
                for (const auto& f : held)
                    altered += intact(*f) ? 0 : 1;
                for (int spin = static_cast<int>(random() % 2000); spin > 0; --spin)
                    std::atomic_signal_fence(std::memory_order_seq_cst);
            }
            lastHeld = std::move(held);
        });
        for (int i = 0; i < kPictures; ++i) {
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return queue.size() < 2; });
            }
            auto frame = pool->take();
            if (frame->pixels.empty())
                ++fresh;
            else if (frame->ptsMicros != kLetGo)
                ++badMark;
            frame->ptsMicros = i;
            frame->pixels.assign(4096 + static_cast<std::size_t>(i % 7) * 64, static_cast<std::uint8_t>(i));
            std::lock_guard lock(mutex);
            queue.push_back(std::move(frame));
            changed.notify_all();
        }
        const FramePool::Counts counts = pool->counts();
        {
            std::lock_guard lock(mutex);
            finished = true;
        }
        changed.notify_all();
        view.join();
        EXPECT_EQ(altered, 0) << "keep " << c.keep;
        EXPECT_EQ(badMark, 0) << "keep " << c.keep;
        EXPECT_EQ(counts.taken, static_cast<std::uint64_t>(kPictures));
        EXPECT_EQ(counts.made, static_cast<std::uint64_t>(fresh));
        // Beyond what it keeps the pool hands out pictures of their own, freed when dropped (ASan's leak
        // check).
        if (c.allKept)
            EXPECT_LE(counts.made, 5u);
        else
            EXPECT_GT(counts.made, c.keep);
        EXPECT_LE(counts.spare, c.keep);
        // The pool goes first; the view's last pictures come back to what it left, and are freed with them.
        pool.reset();
        ASSERT_EQ(lastHeld.size(), 2u);
        EXPECT_EQ(lastHeld.back()->ptsMicros, kPictures - 1);
        lastHeld.clear();
    }
}

}  // namespace
}  // namespace velmora

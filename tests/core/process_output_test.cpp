#include "core/process/process_output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

namespace velmora {
namespace {

TEST(ReadCapped, KeepsTheFirstCapBytesAndReportsTheExcessOnce) {
    const std::size_t cap = ProcessOutput::adbMax;
    const struct {
        std::vector<std::size_t> pieces;  // each written on its own
        std::size_t cap;
        std::size_t kept;
    } cases[] = {
        {{}, cap, 0},         {{1, 16383, 40000, cap - 56384}, cap, cap}, {{cap + 1}, cap, cap},
        {{cap, 1}, cap, cap}, {{cap, 200000, 3, 70000}, cap, cap},        {{10, 30}, 25, 25},
        {{5}, 0, 0},
    };
    for (const auto& c : cases) {
        std::size_t total = 0;
        for (std::size_t size : c.pieces)
            total += size;
        SCOPED_TRACE(std::to_string(total) + " bytes, cap " + std::to_string(c.cap));
        int ends[2];
        ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        std::thread writer([&] {
            std::uint8_t next = 0;
            for (std::size_t size : c.pieces) {
                Bytes piece(size);
                for (auto& b : piece)
                    b = next++;
                for (ssize_t done = 0, n = 0; done < static_cast<ssize_t>(size) && n >= 0; done += n)
                    n = ::write(ends[1], piece.data() + done, size - static_cast<std::size_t>(done));
            }
            ::close(ends[1]);
        });
        int exceedCalls = 0;
        const auto out = ProcessOutput::readCapped(ends[0], c.cap, [&] { ++exceedCalls; });
        writer.join();
        ::close(ends[0]);
        EXPECT_EQ(out.data.size(), c.kept);
        EXPECT_EQ(out.truncated, total > c.cap);
        EXPECT_EQ(exceedCalls, total > c.cap ? 1 : 0);
        for (std::size_t i = 0; i < out.data.size(); ++i)
            ASSERT_EQ(out.data[i], static_cast<std::uint8_t>(i)) << "byte " << i;
    }
}

TEST(ReadCapped, AReadErrorEndsQuietlyWithNothingKept) {
    // A directory descriptor reads with EISDIR: the loop must stop, not spin.
    const int dir = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(dir, 0);
    for (const int fd : {-1, dir}) {
        bool called = false;
        const auto out = ProcessOutput::readCapped(fd, 100, [&] { called = true; });
        EXPECT_TRUE(out.data.empty() && !out.truncated && !called) << fd;
    }
    ::close(dir);
}

}  // namespace
}  // namespace velmora

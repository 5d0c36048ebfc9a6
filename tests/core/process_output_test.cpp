#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/process/process_output.h"

namespace velmora {
namespace {

using ProcessOutput::readCapped;

// Writes `pieces` into a pipe from another thread, each in its own write, and reads the pipe capped.
struct PipedRead {
    ProcessOutput::Capped result;
    int exceedCalls = 0;
};

PipedRead readPieces(const std::vector<std::size_t>& pieces, std::size_t cap) {
    int ends[2];
    EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    std::thread writer([&] {
        std::uint8_t next = 0;
        for (std::size_t size : pieces) {
            Bytes piece(size);
            for (auto& b : piece)
                b = next++;
            std::size_t done = 0;
            while (done < piece.size()) {
                const ssize_t n = ::write(ends[1], piece.data() + done, piece.size() - done);
                ASSERT_GT(n, 0);
                done += static_cast<std::size_t>(n);
            }
        }
        ::close(ends[1]);
    });
    PipedRead out;
    out.result = readCapped(ends[0], cap, [&] { ++out.exceedCalls; });
    writer.join();
    ::close(ends[0]);
    return out;
}

void expectCountingPattern(const Bytes& data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        ASSERT_EQ(data[i], static_cast<std::uint8_t>(i)) << "byte " << i;
    }
}

TEST(ReadCapped, KeepsTheFirstCapBytesAndReportsTheExcessOnce) {
    struct Case {
        const char* what;
        std::vector<std::size_t> pieces;
        std::size_t cap;
        std::size_t kept;
        bool truncated;
    };
    const std::size_t cap = ProcessOutput::adbMax;
    const Case cases[] = {
        {"no output", {}, cap, 0, false},
        {"exactly the cap", {cap}, cap, cap, false},
        {"exactly the cap in odd pieces", {1, 16383, 40000, cap - 56384}, cap, cap, false},
        {"cap plus one", {cap + 1}, cap, cap, true},
        {"one more byte after the cap", {cap, 1}, cap, cap, true},
        {"many chunks past the cap", {cap, 200000, 3, 70000}, cap, cap, true},
        {"a chunk straddling a small cap", {10, 30}, 25, 25, true},
        {"zero cap with output", {5}, 0, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto out = readPieces(c.pieces, c.cap);
        EXPECT_EQ(out.result.data.size(), c.kept);
        EXPECT_EQ(out.result.truncated, c.truncated);
        EXPECT_EQ(out.exceedCalls, c.truncated ? 1 : 0);
        expectCountingPattern(out.result.data);
    }
}

TEST(ReadCapped, AReadErrorEndsQuietlyWithNothingKept) {
    // A directory descriptor reads with EISDIR: the loop must stop, not spin.
    const int dir = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(dir, 0);
    for (const int fd : {-1, dir}) {
        bool called = false;
        const auto out = readCapped(fd, 100, [&] { called = true; });
        EXPECT_TRUE(out.data.empty());
        EXPECT_FALSE(out.truncated);
        EXPECT_FALSE(called);
    }
    ::close(dir);
}

}  // namespace
}  // namespace velmora

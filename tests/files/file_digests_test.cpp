// The file digests computed beside the transfer: the hash pass before an offer (blocks read while the one
// before is hashed) and the incoming file's (read back as it is written). Each must be the digest of exactly
// the bytes, in order, however they were cut; a file that cannot be read back whole has none; a transfer
// dropped midway does not wait for its hash.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "app/model/features/files/digest_worker.h"
#include "app/model/features/files/written_digest.h"
#include "core/crypto/cxp_crypto.h"
#include "core/posix/unique_fd.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

Bytes pattern(std::size_t size) {
    Bytes out(size);
    std::uint32_t x = 2463534242U;
    for (auto& b : out) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    return out;
}

std::string sha(const Bytes& data) {
    return CXPCrypto::hex(CXPCrypto::sha256(data));
}

struct Cut {
    std::size_t size, piece;
};
constexpr std::size_t kMiB = 1048576;
// Around the block, and more blocks than may wait, so the feeder is held back by the worker.
const Cut kCuts[] = {{0, 1},
                     {1, 1},
                     {kMiB - 1, 65536},
                     {kMiB, kMiB},
                     {kMiB + 1, 7777},
                     {3 * kMiB, 65540},
                     {7 * kMiB + 5, kMiB},
                     {7 * kMiB + 5, 3 * kMiB}};

TEST(FileDigests, BlocksHandedOverAreHashedInOrder) {
    for (const Cut cut : kCuts) {
        const Bytes data = pattern(cut.size);
        DigestWorker worker;
        for (std::size_t at = 0; at < data.size(); at += cut.piece) {
            Bytes block = worker.spareBlock();
            ASSERT_TRUE(block.empty());
            const auto piece = ByteView(data).subspan(at, std::min(cut.piece, data.size() - at));
            block.assign(piece.begin(), piece.end());
            worker.update(std::move(block));
        }
        EXPECT_EQ(worker.finishHex(), sha(data)) << cut.size << " bytes in blocks of " << cut.piece;
    }
}

TEST(FileDigests, AFileIsReadBackAsItIsWritten) {
    test::TempDir dir;
    for (const Cut cut : kCuts) {
        const Bytes data = pattern(cut.size);
        const auto path = dir.path() / ("f" + std::to_string(cut.size) + "_" + std::to_string(cut.piece));
        const UniqueFd fd(::open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600));
        ASSERT_TRUE(fd.valid());
        WrittenDigest digest(fd.get());
        for (std::size_t at = 0; at < data.size(); at += cut.piece) {
            const std::size_t n = std::min(cut.piece, data.size() - at);
            ASSERT_EQ(::write(fd.get(), data.data() + at, n), static_cast<ssize_t>(n));
            digest.written(static_cast<std::int64_t>(at + n));
        }
        EXPECT_EQ(digest.finishHex(), sha(data)) << cut.size << " bytes in writes of " << cut.piece;
    }
}

TEST(FileDigests, AFileCutShortUnderTheDigestHasNone) {
    test::TempDir dir;
    const Bytes data = pattern(3 * kMiB);
    const UniqueFd fd(::open((dir.path() / "f").c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600));
    WrittenDigest digest(fd.get());
    ASSERT_EQ(::write(fd.get(), data.data(), data.size()), static_cast<ssize_t>(data.size()));
    ASSERT_EQ(::ftruncate(fd.get(), 1000), 0);
    digest.written(static_cast<std::int64_t>(data.size()));
    EXPECT_EQ(digest.finishHex(), std::nullopt);
}

TEST(FileDigests, ADroppedTransferEndsWithoutItsDigest) {
    test::TempDir dir;
    const Bytes data = pattern(6 * kMiB);
    const UniqueFd fd(::open((dir.path() / "f").c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600));
    {
        WrittenDigest digest(fd.get());
        ASSERT_EQ(::write(fd.get(), data.data(), data.size()), static_cast<ssize_t>(data.size()));
        digest.written(static_cast<std::int64_t>(data.size()));
    }  // joins: would hang here if the worker were left waiting
    auto worker = std::make_unique<DigestWorker>();
    for (int i = 0; i < 5; ++i)
        worker->update(Bytes(kMiB, 1));
    worker.reset();
    SUCCEED();
}

}  // namespace
}  // namespace velmora

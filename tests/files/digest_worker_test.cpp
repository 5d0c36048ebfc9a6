// The incoming file's digest, computed on a worker of its own: it must be the digest of exactly the bytes
// fed, in order, however they were cut, and a transfer dropped midway must not wait for its hash.
#include <gtest/gtest.h>

#include "app/model/features/files/digest_worker.h"
#include "core/crypto/cxp_crypto.h"

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

TEST(DigestWorker, IsTheDigestOfTheBytesFedHoweverTheyAreCut) {
    constexpr std::size_t block = DigestWorker::kBlock;
    // Sizes around the block, and more blocks than may wait, so the feeder is held back by the worker.
    const std::size_t many = block * (DigestWorker::kBlocksAhead + 3) + 5;
    struct Row {
        std::size_t size, piece;
    };
    for (const Row row : {Row{0, 1}, Row{1, 1}, Row{block - 1, 65536}, Row{block, block}, Row{block + 1, 7},
                          Row{3 * block, 65540}, Row{many, 65536}, Row{many, block + 3}, Row{many, many}}) {
        const Bytes data = pattern(row.size);
        DigestWorker worker;
        for (std::size_t at = 0; at < data.size(); at += row.piece)
            worker.update(ByteView(data).subspan(at, std::min(row.piece, data.size() - at)));
        EXPECT_EQ(worker.finishHex(), CXPCrypto::hex(CXPCrypto::sha256(data)))
            << row.size << " bytes in pieces of " << row.piece;
    }
}

TEST(DigestWorker, KeepsTheOrderWhenCopiedBytesAndWholeBlocksAlternate) {
    const Bytes data = pattern(DigestWorker::kBlock * (DigestWorker::kBlocksAhead + 2) + 12345);
    DigestWorker worker;
    const std::size_t cuts[] = {10, DigestWorker::kBlock, 70000, DigestWorker::kBlock / 2};
    std::size_t at = 0;
    for (int i = 0; at < data.size(); ++i) {
        const auto piece = ByteView(data).subspan(at, std::min(cuts[i % 4], data.size() - at));
        if (i % 2 == 0) {
            worker.update(piece);
        } else {
            Bytes block = worker.spareBlock();
            ASSERT_TRUE(block.empty());
            block.assign(piece.begin(), piece.end());
            worker.updateBlock(std::move(block));
        }
        at += piece.size();
    }
    EXPECT_EQ(worker.finishHex(), CXPCrypto::hex(CXPCrypto::sha256(data)));
}

TEST(DigestWorker, ADroppedTransferEndsWithoutItsDigest) {
    const Bytes data = pattern(DigestWorker::kBlock * (DigestWorker::kBlocksAhead + 1));
    auto worker = std::make_unique<DigestWorker>();
    worker->update(data);
    worker.reset();  // joins; hangs or crashes here if the worker were left waiting
    SUCCEED();
}

}  // namespace
}  // namespace velmora

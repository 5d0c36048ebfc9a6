#include "core/bytes.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(Bytes, ViewSeesOwnedBytes) {
    const Bytes owned{1, 2, 3};
    const ByteView view(owned);
    EXPECT_EQ(view.size(), 3u);
    EXPECT_EQ(view[2], 3);
}

}  // namespace
}  // namespace velmora

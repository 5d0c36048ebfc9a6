#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>

#include "core/errors/friendly_errors.h"
#include "core/errors/net_error.h"

namespace velmora {
namespace {

using Text = std::function<std::string()>;

TEST(LocalNetworkRefusal, FirewallAndAvahiRefusalsReadAsLocalNetworkOnly) {
    const int noDaemon = -26;  // AVAHI_ERR_NO_DAEMON
    struct Row {
        NetError error;
        Text connecting;
        Text searching;
    };
    const Row rows[] = {
        {NetError::posix(EPERM), FriendlyErrors::localNetwork, FriendlyErrors::localNetwork},
        {NetError::posix(EACCES), FriendlyErrors::localNetwork, FriendlyErrors::localNetwork},
        {NetError::avahi(NetError::avahiAccessDenied), FriendlyErrors::localNetwork,
         FriendlyErrors::localNetwork},
        {NetError::avahi(noDaemon), FriendlyErrors::unreachable, FriendlyErrors::searchFailed},
        {NetError::posix(ECONNREFUSED), FriendlyErrors::refused, FriendlyErrors::searchFailed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.error.what());
        EXPECT_EQ(FriendlyErrors::text(row.error), row.connecting());
        EXPECT_EQ(FriendlyErrors::browseFailure(row.error), row.searching());
    }
    // A file the user may not read is no network matter.
    EXPECT_EQ(FriendlyErrors::text(PosixError(EACCES)), FriendlyErrors::generic());
}

}  // namespace
}  // namespace velmora

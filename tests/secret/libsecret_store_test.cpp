#include "platform/secret/libsecret_store.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "core/temp_data_home.h"
#include "no_service_road.h"

namespace velmora {
namespace {

TEST(SecretStoreWithoutBus, ReadsAsNotFoundAndTheKeyFileCarriesTheIdentity) {
    test::TempDataHome home;
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("DISPLAY");
    ::setenv("XDG_RUNTIME_DIR", home.root().c_str(), 1);  // holds no "bus" socket
    test::expectNoServiceRoad();
}

}  // namespace
}  // namespace velmora

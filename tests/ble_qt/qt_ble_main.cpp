// One QCoreApplication and one BlueZ stand-in for the whole program: Qt reads the system bus's address once,
// so every story shares the stand-in and sets it up as it needs.
#include <gtest/gtest.h>

#include <cstdio>

#include "bluez_stand_in.h"

namespace velmora::test {
BluezStandIn* standIn = nullptr;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    velmora::test::BluezStandIn standIn;
    if (!standIn.running()) {
        std::fprintf(stderr, "the BlueZ stand-in did not start (dbus-daemon, python3-dbus, python3-gi)\n");
        return 1;
    }
    velmora::test::standIn = &standIn;
    return RUN_ALL_TESTS();
}

#include <gtest/gtest.h>

#include "app/links/adb_output.h"

namespace velmora {
namespace {

using AdbOutput::CableDevice;

const std::string header = "List of devices attached\n";

TEST(AdbOutput, CableDevicesArePhonesReadyOnUsb) {
    struct Case {
        const char* what;
        std::string list;
        std::vector<CableDevice> devices;
    };
    const std::string phone7 = "SER1   device   usb:1-1  product:x  model:Phone_7 device:y transport_id:3\n";
    const Case cases[] = {
        {"header only", header, {}},
        {"empty output", "", {}},
        {"header and a blank line (real adb, no phone)", header + "\n", {}},
        {"one phone, runs of spaces", header + phone7, {{"SER1", "Phone-7"}}},
        {"no model: the serial names it",
         header + "SER1 device usb:1-1 product:x transport_id:3\n",
         {{"SER1", "SER1"}}},
        {"wireless: no usb field",
         header + "192.168.1.9:5555 device product:x model:Phone_7 transport_id:2\n",
         {}},
        {"unauthorized", header + "SER1 unauthorized usb:1-1 transport_id:3\n", {}},
        {"no udev rules",
         header + "SER2 no permissions (user in plugdev group; are your udev rules wrong?); "
                  "see [http://developer.android.com/tools/device.html] usb:1-2 transport_id:4\n",
         {}},
        {"the first line is skipped whatever it says",
         phone7 + "SER2 device usb:1-2 model:A_B_C\n",
         {{"SER2", "A-B-C"}}},
        {"usb field anywhere", header + "SER1 device model:M usb:2-1\n", {{"SER1", "M"}}},
        {"first model field wins", header + "SER1 device usb:1 model:One model:Two\n", {{"SER1", "One"}}},
        {"empty model", header + "SER1 device usb:1 model:\n", {{"SER1", ""}}},
        {"tab does not separate", header + "SER1\tdevice usb:1-1 model:M\n", {}},
        {"CR LF endings",
         "List of devices attached\r\nSER1 device usb:1-1 model:Phone_7\r\n\r\n",
         {{"SER1", "Phone-7"}}},
        {"state only", header + "SER1 device\n", {}},
        {"binary line dropped, others kept",
         header + std::string("SER\x01 device usb:1 model:M\nSER\xff device usb:1\n") + phone7,
         {{"SER1", "Phone-7"}}},
        {"NUL inside a line", header + std::string("SER1 device usb:1\0x model:M\n", 28), {}},
        {"two phones in adb's order",
         header + "B device usb:1-2 model:Two\nA device usb:1-1 model:One\n",
         {{"B", "Two"}, {"A", "One"}}},
        {"no final line end", header + "SER1 device usb:1-1 model:M", {{"SER1", "M"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(AdbOutput::cableDevices(c.list), c.devices);
    }
}

TEST(AdbOutput, ExistingForwardNeedsSerialLocalTcpPortAndPhonePort) {
    struct Case {
        const char* list;
        std::optional<std::uint16_t> port;
    };
    const Case cases[] = {
        {"SER1 tcp:5555 tcp:47625\n", 5555},
        {"OTHER tcp:5555 tcp:47625\n", std::nullopt},
        {"SER1 tcp:5555 tcp:8080\n", std::nullopt},
        {"SER1 tcp:99999 tcp:47625\n", std::nullopt},
        {"SER1 tcp:0 tcp:47625\n", std::nullopt},
        {"SER1 tcp: tcp:47625\n", std::nullopt},
        {"SER1 tcp:-1 tcp:47625\n", std::nullopt},
        {"SER1 tcp:+80 tcp:47625\n", std::nullopt},
        {"SER1 localabstract:x tcp:47625\n", std::nullopt},
        {"SER1 tcp:5555\n", std::nullopt},
        {"SER1 tcp:5555 tcp:476250\n", std::nullopt},
        {"SER10 tcp:5555 tcp:47625\n", std::nullopt},
        {"SER1  tcp:6000   tcp:47625  extra\r\n", 6000},
        {"SER1 tcp:8080 tcp:8080\nSER1 tcp:7001 tcp:47625\nSER1 tcp:7002 tcp:47625\n", 7001},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        EXPECT_EQ(AdbOutput::existingForward(c.list, "SER1", 47625), c.port);
    }
}

TEST(AdbOutput, AllocatedPortIsOneWholeNumber) {
    struct Case {
        const char* output;
        std::optional<std::uint16_t> port;
    };
    const Case cases[] = {
        {"40123\n", 40123},    {"  40123 \r\n", 40123},  {"1", 1},
        {"65535", 65535},      {"", std::nullopt},       {" \n", std::nullopt},
        {"0\n", std::nullopt}, {"65536", std::nullopt},  {"99999999999", std::nullopt},
        {"abc", std::nullopt}, {"401 23", std::nullopt}, {"40123\n40124\n", std::nullopt},
        {"-5", std::nullopt},  {"0x50", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        EXPECT_EQ(AdbOutput::allocatedPort(c.output), c.port);
    }
}

}  // namespace
}  // namespace velmora

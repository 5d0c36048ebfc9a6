#include "app/links/adb_output.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using namespace std::string_literals;
using Port = std::optional<std::uint16_t>;

TEST(AdbOutput, CableDevicesArePhonesReadyOnUsb) {
    struct Case {
        const char* what;
        std::string list;
        std::vector<AdbOutput::CableDevice> devices;
    };
    const std::string header = "List of devices attached\n";
    const std::string phone7 = "SER1   device   usb:1-1  product:x  model:Phone_7 device:y transport_id:3\n";
    const Case cases[] = {
        {"empty output", "", {}},
        {"header and a blank line (real adb, no phone)", header + "\n", {}},
        {"one phone, runs of spaces", header + phone7, {{"SER1", "Phone-7"}}},
        {"no model: the serial names it",
         header + "SER1 device usb:1-1 transport_id:3\n",
         {{"SER1", "SER1"}}},
        {"wireless: no usb field", header + "192.168.1.9:5555 device model:Phone_7 transport_id:2\n", {}},
        {"unauthorized", header + "SER1 unauthorized usb:1-1 transport_id:3\n", {}},
        {"serial alone", header + "SER1\n", {}},
        {"tab does not separate", header + "SER1\tdevice usb:1-1 model:M\n", {}},
        {"the first line is skipped whatever it says",
         phone7 + "S2 device usb:2 model:A_B\n",
         {{"S2", "A-B"}}},
        {"usb anywhere, first model wins", header + "S device model:One usb:2 model:Two\n", {{"S", "One"}}},
        {"empty model", header + "SER1 device usb:1 model:\n", {{"SER1", ""}}},
        {"CR LF endings, no final line end",
         header + "S device usb:1-1 model:P_7\r\n\r\nB device usb:2",
         {{"S", "P-7"}, {"B", "B"}}},
        {"binary and NUL lines dropped, the others kept in adb's order",
         header + "SER\x01 device usb:1 model:M\nSER\xff device usb:1\nX device usb:1\0 model:M\n"s + phone7 +
             "A device usb:1-1 model:One\n",
         {{"SER1", "Phone-7"}, {"A", "One"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(AdbOutput::cableDevices(c.list), c.devices);
    }
}

TEST(AdbOutput, PortsAreOneWholeNumberAndForwardsNeedSerialLocalTcpPortAndPhonePort) {
    const std::pair<const char*, Port> allocated[] = {
        {"  40123 \r\n", 40123}, {"1", 1},       {"65535", 65535}, {" \n", {}},           {"0\n", {}},
        {"65536", {}},           {"000001", {}}, {"-5", {}},       {"40123\n40124\n", {}}};
    for (const auto& [output, port] : allocated)
        EXPECT_EQ(AdbOutput::allocatedPort(output), port) << output;
    const std::pair<const char*, Port> forwards[] = {
        {"SER1 tcp:5555 tcp:47625\n", 5555},
        {"SER1  tcp:6000   tcp:47625  extra\r\n", 6000},
        {"OTHER tcp:5555 tcp:47625\nSER10 tcp:5555 tcp:47625\nSER1 tcp:5555 tcp:476250\n", {}},
        {"SER1 localabstract:x tcp:47625\nSER1 tcp:5555\n", {}},
        {"SER1 tcp:8080 tcp:8080\nSER1 tcp:99999 tcp:47625\nSER1 tcp:7001 tcp:47625\nSER1 tcp:7002 tcp:47625",
         7001}};
    for (const auto& [list, port] : forwards)
        EXPECT_EQ(AdbOutput::existingForward(list, "SER1", 47625), port) << list;
}

}  // namespace
}  // namespace velmora

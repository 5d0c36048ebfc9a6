#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::AdbOutput {

// The non-empty lines of adb's output, each without its trailing "\r", leaving out every line that is not
// printable ASCII (a tab allowed): adb prints serials and properties in ASCII, and a line that cannot be
// read whole must not name a phone. The USB bridge and the installer read device lists by this one rule.
std::vector<std::string_view> readableLines(std::string_view text);

// One phone on the cable that adb may talk to.
struct CableDevice {
    std::string serial;
    std::string model;  // "_" turned into "-"; the serial when adb gave no model
    bool operator==(const CableDevice&) const = default;
};

// The phones of `adb devices -l` that are ready ("device") and attached by USB (a "usb:" field). The first
// line is the header. Phones in other states ("unauthorized", "offline", "no permissions (...)") and
// wireless ones are left out, and so is any line that is not printable ASCII: adb prints serials and
// properties in ASCII, and a line we cannot read whole must not become a phone.
std::vector<CableDevice> cableDevices(std::string_view deviceList);

// The local port of an existing forward "serial tcp:N tcp:remotePort" in `adb forward --list` output.
std::optional<std::uint16_t> existingForward(std::string_view forwardList, std::string_view serial,
                                             std::uint16_t remotePort);

// The port `adb forward tcp:0 ...` printed: a decimal 1-65535 alone, white space around it allowed.
std::optional<std::uint16_t> allocatedPort(std::string_view output);

// A decimal port 1-65535, digits only (no sign, no spaces). Port 0 names no endpoint.
std::optional<std::uint16_t> port(std::string_view text);

}  // namespace velmora::AdbOutput

#include "app/links/adb_output.h"

#include <algorithm>

#include "core/text/split.h"

namespace velmora::AdbOutput {
namespace {

bool printable(std::string_view line) {
    return std::all_of(line.begin(), line.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b == '\t' || (b >= 0x20 && b < 0x7f);
    });
}

// adb separates fields with runs of spaces; a tab is part of a field.
std::vector<std::string_view> fields(std::string_view line) {
    return Split::pieces(line, ' ');
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string modelOf(const std::vector<std::string_view>& parts) {
    for (const auto part : parts) {
        if (!startsWith(part, "model:")) continue;
        std::string model(part.substr(6));
        std::replace(model.begin(), model.end(), '_', '-');
        return model;
    }
    return std::string(parts.front());
}

}  // namespace

std::vector<std::string_view> readableLines(std::string_view text) {
    std::vector<std::string_view> out;
    for (auto line : Split::pieces(text, '\n')) {
        if (line.back() == '\r') line.remove_suffix(1);
        if (!line.empty() && printable(line)) out.push_back(line);
    }
    return out;
}

std::vector<CableDevice> cableDevices(std::string_view deviceList) {
    const auto all = readableLines(deviceList);
    std::vector<CableDevice> devices;
    for (std::size_t i = 1; i < all.size(); ++i) {
        const auto parts = fields(all[i]);
        if (parts.size() < 2 || parts[1] != "device") continue;
        if (std::none_of(parts.begin(), parts.end(), [](auto part) { return startsWith(part, "usb:"); }))
            continue;
        devices.push_back(CableDevice{std::string(parts[0]), modelOf(parts)});
    }
    return devices;
}

std::optional<std::uint16_t> existingForward(std::string_view forwardList, std::string_view serial,
                                             std::uint16_t remotePort) {
    const std::string remote = "tcp:" + std::to_string(remotePort);
    for (const auto line : readableLines(forwardList)) {
        const auto parts = fields(line);
        if (parts.size() < 3 || parts[0] != serial || parts[2] != remote) continue;
        if (!startsWith(parts[1], "tcp:")) continue;
        if (const auto local = port(parts[1].substr(4))) return local;
    }
    return std::nullopt;
}

std::optional<std::uint16_t> allocatedPort(std::string_view output) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!output.empty() && isSpace(output.front()))
        output.remove_prefix(1);
    while (!output.empty() && isSpace(output.back()))
        output.remove_suffix(1);
    return port(output);
}

std::optional<std::uint16_t> port(std::string_view text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace velmora::AdbOutput

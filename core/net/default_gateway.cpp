#include "core/net/default_gateway.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/process/process_output.h"
#include "core/text/split.h"

namespace velmora::DefaultGateway {
namespace {

constexpr unsigned routeUp = 0x1;       // RTF_UP
constexpr unsigned routeGateway = 0x2;  // RTF_GATEWAY

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

// The kernel prints these columns with %08X (addresses, masks) or %04X (flags) and %d (metric); anything
// else in them marks a row we do not understand.
std::optional<std::uint32_t> number(std::string_view text, int base, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The kernel prints the unsigned metric with %d, so the largest ones read as negative numbers.
std::optional<std::uint32_t> metricOf(std::string_view text) {
    if (text.empty() || text.size() > 11) return std::nullopt;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

struct Columns {
    std::size_t destination, gateway, flags, metric, mask;
};

std::optional<Columns> columnsOf(std::string_view header) {
    const auto names = fields(header);
    auto at = [&](std::string_view name) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] == name) return i;
        }
        return std::nullopt;
    };
    const auto destination = at("Destination"), gateway = at("Gateway"), flags = at("Flags"),
               metric = at("Metric"), mask = at("Mask");
    if (!destination || !gateway || !flags || !metric || !mask) return std::nullopt;
    return Columns{*destination, *gateway, *flags, *metric, *mask};
}

// The kernel prints the address as the u32 it holds in network byte order, read as a host integer; putting
// that integer back into memory gives the address bytes in order, whatever the host's endianness.
std::string dottedFromKernel(std::uint32_t raw) {
    in_addr address{};
    std::memcpy(&address, &raw, sizeof raw);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

}  // namespace

std::optional<std::string> parseRouteTable(std::string_view text) {
    std::optional<Columns> columns;
    std::optional<std::uint32_t> bestGateway;
    std::uint32_t bestMetric = 0;
    for (const auto line : Split::pieces(text, '\n')) {
        const auto row = fields(line);
        if (row.empty()) continue;
        if (!columns) {
            columns = columnsOf(line);
            if (!columns) return std::nullopt;
            continue;
        }
        const auto need = std::max(
            {columns->destination, columns->gateway, columns->flags, columns->metric, columns->mask});
        if (row.size() <= need) continue;
        const auto destination = number(row[columns->destination], 16, 8);
        const auto mask = number(row[columns->mask], 16, 8);
        const auto gateway = number(row[columns->gateway], 16, 8);
        const auto flags = number(row[columns->flags], 16, 4);
        const auto metric = metricOf(row[columns->metric]);
        if (!destination || !mask || !gateway || !flags || !metric) continue;
        if (*destination != 0 || *mask != 0 || *gateway == 0) continue;
        if ((*flags & (routeUp | routeGateway)) != (routeUp | routeGateway)) continue;
        if (bestGateway && *metric >= bestMetric) continue;
        bestGateway = *gateway;
        bestMetric = *metric;
    }
    if (!bestGateway) return std::nullopt;
    return dottedFromKernel(*bestGateway);
}

std::optional<std::string> read(const std::string& routeTablePath) {
    const int fd = ::open(routeTablePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    const auto table = ProcessOutput::readCapped(fd, ProcessOutput::adbMax, {});
    ::close(fd);
    std::string_view text(reinterpret_cast<const char*>(table.data.data()), table.data.size());
    // The kernel lists the default route first, so the kept part of an oversized table still holds it; a
    // row cut at the cap could read as another address or metric, so it is dropped.
    if (table.truncated) text = text.substr(0, text.rfind('\n') + 1);
    return parseRouteTable(text);
}

}  // namespace velmora::DefaultGateway

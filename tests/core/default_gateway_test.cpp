#include "core/net/default_gateway.h"

#include <gtest/gtest.h>

#include <fstream>
#include "support/temp_dir.h"

namespace velmora {
namespace {

using DefaultGateway::parseRouteTable;

const std::string header =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

std::string row(const char* iface, const char* destination, const char* gateway, const char* flags,
                int metric, const char* mask) {
    return std::string(iface) + "\t" + destination + "\t" + gateway + "\t" + flags + "\t0\t0\t" +
           std::to_string(metric) + "\t" + mask + "\t0\t0\t0\n";
}

TEST(DefaultGateway, PicksTheLowestMetricDefaultRouteThroughAGateway) {
    struct Case {
        const char* what;
        std::string table;
        std::optional<std::string> gateway;
    };
    const std::string lan = row("eth0", "0001A8C0", "00000000", "0001", 100, "00FFFFFF");
    const Case cases[] = {
        {"typical desktop", header + row("eth0", "00000000", "0101A8C0", "0003", 100, "00000000") + lan,
         "192.168.1.1"},
        {"lower metric wins",
         header + row("wlan0", "00000000", "010A14AC", "0003", 600, "00000000") +
             row("eth0", "00000000", "0101A8C0", "0003", 100, "00000000"),
         "192.168.1.1"},
        {"first wins on a tie",
         header + row("a", "00000000", "0101A8C0", "0003", 5, "00000000") +
             row("b", "00000000", "010A14AC", "0003", 5, "00000000"),
         "192.168.1.1"},
        {"default through an interface only (VPN)",
         header + row("wg0", "00000000", "00000000", "0001", 0, "00000000") + lan, std::nullopt},
        {"route not up", header + row("eth0", "00000000", "0101A8C0", "0002", 0, "00000000"), std::nullopt},
        {"not a default route", header + row("eth0", "0000000A", "0101A8C0", "0003", 0, "000000FF"),
         std::nullopt},
        {"only the header", header, std::nullopt},
        {"no header", row("eth0", "00000000", "0101A8C0", "0003", 100, "00000000"), std::nullopt},
        {"CR LF lines",
         "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\r\n"
         "eth0\t00000000\t0101A8C0\t0003\t0\t0\t0\t00000000\r\n",
         "192.168.1.1"},
        {"malformed rows skipped",
         header + "eth0\t00000000\n" + row("x", "00000000", "0101A8CG", "0003", 0, "00000000") +
             row("x", "00000000", "10101A8C0", "0003", 0, "00000000") +
             row("x", "00000000", "-101A8C0", "0003", 0, "00000000") +
             row("eth0", "00000000", "0201A8C0", "0003", 50, "00000000"),
         "192.168.1.2"},
        {"metric printed negative is the largest",
         header + row("a", "00000000", "0101A8C0", "0003", -1, "00000000") +
             row("b", "00000000", "010A14AC", "0003", 2000, "00000000"),
         "172.20.10.1"},
        {"binary noise", std::string("\x00\xff\x01\n", 4) + header, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(parseRouteTable(c.table), c.gateway);
    }
}

TEST(DefaultGateway, ReadsAFileAndDropsARowCutAtTheCap) {
    const test::TempDir dir("velmora-route");
    const std::string path = (dir.path() / "route").string();
    // A route whose mask is cut at the cap ("00" of "00FFFFFF") would read as a better default route.
    const std::string cutRow = "eth1\t00000000\t010A14AC\t0003\t0\t0\t1\t00";
    std::string table = header + row("eth0", "00000000", "0101A8C0", "0003", 100, "00000000");
    const std::string filler = row("eth0", "0001A8C0", "00000000", "0001", 100, "00FFFFFF");
    while (table.size() + filler.size() + cutRow.size() + 2 < 65536)
        table += filler;
    table += std::string(65536 - table.size() - cutRow.size() - 1, ' ') + "\n" + cutRow;
    ASSERT_EQ(table.size(), 65536u);
    std::ofstream(path) << table << "FFFFFF\t0\t0\t0\n";
    EXPECT_EQ(DefaultGateway::read(path), "192.168.1.1");
    EXPECT_EQ(DefaultGateway::read((dir.path() / "missing").string()), std::nullopt);
    // Whatever the machine's network, its own table gives nothing or a dotted quad.
    const std::string system = DefaultGateway::read().value_or("...");
    EXPECT_EQ(std::count(system.begin(), system.end(), '.'), 3) << system;
}

}  // namespace
}  // namespace velmora

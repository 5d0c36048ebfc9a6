#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "app/model/ble_freshness.h"
#include "app/model/failure_book.h"

namespace velmora {
namespace {

constexpr double kT = 1000;  // an arbitrary "now"

TEST(FailureBook, RestsGrowPerKeyKindAndFailureInARow) {
    struct Row {
        const char* key;
        bool knownHotspotGateway;
        std::vector<double> rests;  // returned by the 1st, 2nd, ... failure at the same now
    };
    const Row rows[] = {
        {"usb:R58N123", true, {4, 8, 16, 32, 60, 60, 60}},
        {"usb:R58N123", false, {4, 8, 16, 32, 60}},  // the flag only matters to gateway keys
        {"net:0123456789abcdef0123456789abcdef", true, {4, 8, 16, 32, 60}},
        {"gw:192.168.43.1", true, {4, 8, 16, 32, 60}},
        {"gw:192.168.43.1", false, {600, 600, 600, 600, 600}},
        {"ble:AA:BB:CC:DD:EE:FF", true, {4, 8, 8, 8, 8, 8}},
        {"bleach", true, {4, 8, 8}},        // every key starting with "ble" is Bluetooth
        {"ble:x:far:y", true, {600, 600}},  // ":far:" wins over the Bluetooth cap
        {"net:0123:far:10.0.0.7", true, {600, 600, 600}},
        {"gw:x:far:y", true, {600}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.key) + (row.knownHotspotGateway ? " known" : " unknown"));
        FailureBook book;
        for (std::size_t i = 0; i < row.rests.size(); ++i) {
            EXPECT_EQ(book.markFailure(row.key, kT, row.knownHotspotGateway), row.rests[i])
                << "failure " << i + 1;
            EXPECT_EQ(book.count(row.key), static_cast<std::int64_t>(i + 1));
            EXPECT_EQ(book.entries.at(row.key),
                      (FailureBook::Entry{static_cast<std::int64_t>(i + 1), kT + row.rests[i]}));
        }
    }
}

TEST(FailureBook, CoolingEndsExactlyWhenTheRestEnds) {
    struct Row {
        double at;
        bool cooling;
    };
    FailureBook book;
    for (int i = 0; i < 5; ++i)
        book.markFailure("usb:S", kT, true);  // rests until kT + 60
    const Row rows[] = {{kT, true}, {kT + 59.999, true}, {kT + 60, false}, {kT - 10, true}};
    for (const auto& row : rows)
        EXPECT_EQ(book.cooling("usb:S", row.at), row.cooling) << row.at;
    EXPECT_FALSE(book.cooling("usb:other", kT));
    EXPECT_EQ(book.count("usb:other"), 0);
}

TEST(FailureBook, ARestIsCountedFromTheTimeOfTheLatestFailure) {
    FailureBook book;
    EXPECT_EQ(book.markFailure("usb:S", kT, true), 4);
    EXPECT_EQ(book.markFailure("usb:S", kT + 100, true), 8);  // no decay: the count goes on
    EXPECT_TRUE(book.cooling("usb:S", kT + 107.9));
    EXPECT_FALSE(book.cooling("usb:S", kT + 108));
}

TEST(FailureBook, ClearAndRemoveAllStartKeysAgain) {
    FailureBook book;
    book.markFailure("usb:S", kT, true);
    book.markFailure("usb:S", kT, true);
    book.markFailure("ble:B", kT, true);
    book.clear("usb:S");
    book.clear("usb:never");
    EXPECT_EQ(book.count("usb:S"), 0);
    EXPECT_FALSE(book.cooling("usb:S", kT));
    EXPECT_EQ(book.markFailure("usb:S", kT, true), 4);
    EXPECT_EQ(book.count("ble:B"), 1);
    book.removeAll();
    EXPECT_TRUE(book.entries.empty());
    EXPECT_EQ(book.markFailure("ble:B", kT, true), 4);
}

TEST(FailureBook, AHugeCountStaysAtTheLongestRestWithoutOverflow) {
    FailureBook book;
    book.entries["usb:S"] = {std::numeric_limits<std::int64_t>::max() - 1, 0};
    EXPECT_EQ(book.markFailure("usb:S", kT, true), 60);
    EXPECT_EQ(book.markFailure("usb:S", kT, true), 60);
    EXPECT_EQ(book.count("usb:S"), std::numeric_limits<std::int64_t>::max());
    book.entries["ble:B"] = {70, 0};
    EXPECT_EQ(book.markFailure("ble:B", kT, true), 8);
}

TEST(BleFreshness, SightingsFromBeforeARecentDropAreHidden) {
    constexpr double t = 500;
    struct Row {
        const char* id;
        double lastSeen;
        double now;
        bool usable;
    };
    BleFreshness fresh;
    fresh.noteDisconnect("AA:BB:CC:DD:EE:01", t);
    const Row rows[] = {
        {"AA:BB:CC:DD:EE:01", t - 1, t + 30, false},
        {"AA:BB:CC:DD:EE:01", t, t + 30, false},  // seen at the very moment of the drop: not after it
        {"AA:BB:CC:DD:EE:01", t + 1, t + 1, true},
        {"AA:BB:CC:DD:EE:01", t - 1, t + 60, false},  // exactly 60 s: the drop still counts
        {"AA:BB:CC:DD:EE:01", t - 1, t + 60.001, true},
        {"AA:BB:CC:DD:EE:02", t - 100, t, true},  // never dropped
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.id) + " seen " + std::to_string(row.lastSeen) + " at " +
                     std::to_string(row.now));
        EXPECT_EQ(fresh.isUsable(row.id, row.lastSeen, row.now), row.usable);
    }
}

TEST(BleFreshness, ALaterDropReplacesTheEarlierOne) {
    BleFreshness fresh;
    fresh.noteDisconnect("A", 100);
    fresh.noteDisconnect("A", 200);
    EXPECT_FALSE(fresh.isUsable("A", 150, 210));
    EXPECT_TRUE(fresh.isUsable("A", 201, 210));
}

TEST(BleFreshness, PruneForgetsOnlyDropsOlderThanSixtySeconds) {
    struct Row {
        double pruneAt;
        std::vector<std::string> kept;
    };
    const Row rows[] = {
        {160, {"future", "now", "old"}},
        {160.5, {"future", "now"}},
        {1000, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pruneAt);
        BleFreshness fresh;
        fresh.noteDisconnect("old", 100);
        fresh.noteDisconnect("now", 150);
        fresh.noteDisconnect("future", 900);
        fresh.prune(row.pruneAt);
        std::vector<std::string> kept;
        for (const auto& [id, at] : fresh.droppedAt)
            kept.push_back(id);
        EXPECT_EQ(kept, row.kept);
    }
}

}  // namespace
}  // namespace velmora

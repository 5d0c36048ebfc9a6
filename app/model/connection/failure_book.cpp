#include "app/model/connection/failure_book.h"

#include <algorithm>
#include <limits>

#include "core/discovery/candidate_key.h"

namespace velmora {
namespace {

// A hotspot we cannot tie to a paired phone, or an address on a subnet we are not on, rarely answers;
// trying it every minute would only slow every other attempt down.
constexpr double kLongRest = 600;
constexpr double kMaxBackoff = 60;
constexpr double kMaxBluetoothRest = 8;

}  // namespace

double FailureBook::markFailure(std::string_view key, double now, bool knownHotspotGateway) {
    auto it = entries.find(key);
    std::int64_t previous = it == entries.end() ? 0 : it->second.count;
    std::int64_t n = previous == std::numeric_limits<std::int64_t>::max() ? previous : previous + 1;

    // 4 * 2^(n-1), which passes 60 at the fifth failure.
    double wait = n >= 5 ? kMaxBackoff : 4.0 * static_cast<double>(1 << (n - 1));
    const std::optional<CandidateKey> parsed = CandidateKey::parse(key);
    const auto is = [&](CandidateKey::Kind kind) { return parsed && parsed->kind == kind; };
    if (is(CandidateKey::Kind::gateway) && !knownHotspotGateway) wait = kLongRest;
    // A phone that rotates its Bluetooth address comes back quickly; keep its rest short.
    if (is(CandidateKey::Kind::ble)) wait = std::min(kMaxBluetoothRest, wait);
    if (is(CandidateKey::Kind::netFar)) wait = kLongRest;

    entries.insert_or_assign(std::string(key), Entry{n, now + wait});
    return wait;
}

bool FailureBook::cooling(std::string_view key, double now) const {
    auto it = entries.find(key);
    return it != entries.end() && it->second.until > now;
}

std::int64_t FailureBook::count(std::string_view key) const {
    auto it = entries.find(key);
    return it == entries.end() ? 0 : it->second.count;
}

void FailureBook::clear(std::string_view key) {
    auto it = entries.find(key);
    if (it != entries.end()) entries.erase(it);
}

}  // namespace velmora

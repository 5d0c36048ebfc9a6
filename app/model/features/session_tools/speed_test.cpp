#include "app/model/features/session_tools/speed_test.h"

#include <algorithm>
#include <cstdio>

#include "core/l10n/l10n.h"

namespace velmora {

namespace {

constexpr double kMinSeconds = 0.001;

// A number with `decimals` places and the decimal mark of the texts' language.
std::string decimal(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
    if (L10n::languageCode() != "en") std::ranges::replace(text, '.', ',');
    return text;
}

}  // namespace

std::optional<std::uint64_t> SpeedTest::begin(double now) {
    std::lock_guard lock(mutex_);
    if (start_) return std::nullopt;
    start_ = now;
    bytes_ = 0;
    return ++run_;
}

void SpeedTest::count(std::int64_t bytes) {
    std::lock_guard lock(mutex_);
    bytes_ += bytes;
}

std::optional<SpeedTest::Result> SpeedTest::finish(double now) {
    std::lock_guard lock(mutex_);
    if (!start_) return std::nullopt;
    const Result result{std::max(kMinSeconds, now - *start_), bytes_};
    start_.reset();
    return result;
}

bool SpeedTest::expire(std::uint64_t run) {
    std::lock_guard lock(mutex_);
    if (!start_ || run != run_) return false;
    start_.reset();
    return true;
}

bool SpeedTest::clear() {
    std::lock_guard lock(mutex_);
    const bool running = start_.has_value();
    start_.reset();
    return running;
}

std::string speedTestText(bool bluetooth, const SpeedTest::Result& result) {
    const double kib = static_cast<double>(result.bytes) / 1024.0 / result.seconds;
    const double mbit = kib * 8.0 / 1024.0;
    const std::string link = L10n::string(bluetooth ? "prefs.bench.link_ble" : "prefs.bench.link_tcp");
    return L10n::format("prefs.bench.result",
                        {link, decimal(kib, 1), decimal(mbit, 2), decimal(result.seconds, 3)});
}

}  // namespace velmora

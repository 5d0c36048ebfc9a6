#include "app/model/features/files/transfer_policy.h"

#include <limits>

namespace velmora::TransferPolicy {

namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

// Without a trailing separator, so "/a/b/" and "/a/b" compare equal.
std::filesystem::path normalised(const std::filesystem::path& path) {
    std::filesystem::path out = path.lexically_normal();
    if (!out.has_filename() && out.has_parent_path() && out != out.root_path()) out = out.parent_path();
    return out;
}

}  // namespace

Verdict decide(const Inbound::FileOffer& offer, const std::set<std::uint32_t>& activeTids,
               std::optional<std::int64_t> freeBytes, std::int64_t pendingBytes, std::int64_t reserve) {
    if (activeTids.contains(offer.tid)) return Verdict::rejectDuplicate;
    if (activeTids.size() >= maxActive) return Verdict::rejectTooMany;
    if (!freeBytes) return Verdict::accept;
    const std::int64_t pending = pendingBytes < 0 ? 0 : pendingBytes;
    const std::int64_t base = offer.size > kMax - pending ? kMax : offer.size + pending;
    if (reserve > 0 && base > kMax - reserve) return Verdict::rejectNoSpace;
    return *freeBytes >= base + reserve ? Verdict::accept : Verdict::rejectNoSpace;
}

std::string_view name(Verdict verdict) {
    switch (verdict) {
        case Verdict::accept:
            return "accept";
        case Verdict::rejectTooMany:
            return "rejectTooMany";
        case Verdict::rejectDuplicate:
            return "rejectDuplicate";
        case Verdict::rejectNoSpace:
            return "rejectNoSpace";
    }
    return "?";
}

bool isDirectChild(const std::filesystem::path& file, const std::filesystem::path& folder) {
    if (!file.is_absolute() || !folder.is_absolute()) return false;
    const std::filesystem::path full = normalised(file);
    if (!full.has_filename()) return false;
    return normalised(full.parent_path()) == normalised(folder);
}

}  // namespace velmora::TransferPolicy

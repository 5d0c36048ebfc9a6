#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string_view>

#include "core/protocol/inbound.h"

// Admission of the phone's file offers, and the one test of whether a path lies in the received-files
// folder. Pure functions; any thread.
namespace velmora::TransferPolicy {

enum class Verdict : std::uint8_t { accept, rejectTooMany, rejectDuplicate, rejectNoSpace };

// At most this many incoming transfers run at once.
inline constexpr std::size_t maxActive = 8;
// Kept free on the received-files volume beyond what the transfers will still write.
inline constexpr std::int64_t reserveBytes = 268435456;

// Duplicate id first, then the count, then the space: the offer's size plus what running transfers still
// have to write plus the reserve must fit in `freeBytes`. Unknown free space admits; sums that overflow
// refuse.
Verdict decide(const Inbound::FileOffer& offer, const std::set<std::uint32_t>& activeTids,
               std::optional<std::int64_t> freeBytes, std::int64_t pendingBytes, std::int64_t reserve);

// The verdict's name in the log line of a refusal ("rejectTooMany", ...).
std::string_view name(Verdict verdict);

// True when `file`'s parent, with dot segments removed lexically (links not resolved), is exactly `folder`
// likewise normalised. Relative paths never count.
bool isDirectChild(const std::filesystem::path& file, const std::filesystem::path& folder);

}  // namespace velmora::TransferPolicy

#pragma once

#include <cstdint>

namespace velmora::Limits {

// Every size and count bound on what the phone sends, in one place; recordMax() in
// core/channel/channel_limits.h says which record bound holds on which channel.

inline constexpr std::int64_t preAuthRecord = 65536;  // record payload before the session is authenticated
inline constexpr std::int64_t controlMax = 2097152;   // one JSON control message
inline constexpr std::int64_t inputMax = 65536;       // input-channel record
inline constexpr std::int64_t audioMax = 262144;      // audio-channel record
inline constexpr std::int64_t fileChunkMax = 262144;  // files-channel record
inline constexpr std::int64_t videoMax = 4194304;     // video record, and any channel without a limit
inline constexpr std::int64_t jsonMaxDepth = 16;      // nesting levels of a control message
inline constexpr std::int64_t jsonMaxItems = 50000;   // element separators of a control message
inline constexpr std::int64_t maxIncomingTransfers = 8;
inline constexpr std::int64_t maxFileSize = 8589934592;  // 8 GiB, size of an offered file
inline constexpr std::int64_t fileNameMaxBytes = 200;    // UTF-8 bytes of a cleaned file name
inline constexpr std::int64_t listMaxItems = 5000;       // entries of a received list
inline constexpr std::int64_t deviceNameMaxChars = 64;   // scalars of a cleaned device name
inline constexpr std::int64_t deviceNameMaxBytes = 256;  // UTF-8 bytes of a cleaned device name
inline constexpr std::int64_t notifTitleMax = 200;       // scalars of a mirrored notification's title
inline constexpr std::int64_t notifBodyMax = 2000;       // scalars of a mirrored notification's body
inline constexpr std::int64_t offerMaxAddrs = 8;         // addresses taken from a network offer

}  // namespace velmora::Limits

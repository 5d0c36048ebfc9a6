#pragma once

#include <cstdint>
#include <vector>

#include "core/bytes.h"

namespace velmora::AnnexB {

// Splits an H.264 elementary stream in Annex B form into its NAL units, start codes removed, in stream
// order, as views into `stream`. The three-byte start code 00 00 01 is tested first at each position, so a
// zero byte before a later four-byte code stays with the unit before it. Bytes before the first start code
// and empty units are dropped; no start code at all gives nothing.
std::vector<ByteView> split(ByteView stream);

// The NAL unit type: the low five bits of the header byte.
inline int nalType(ByteView unit) {
    return unit.empty() ? -1 : (unit[0] & 0x1F);
}

}  // namespace velmora::AnnexB

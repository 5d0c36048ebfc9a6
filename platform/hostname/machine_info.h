#pragma once

#include <string>
#include <string_view>

namespace velmora::MachineInfo {

// The PRETTY_HOSTNAME value of an /etc/machine-info text (environment-file syntax: KEY=VALUE lines, "#"
// comments, values bare or quoted, backslash escapes inside double quotes; the last assignment wins).
// Empty when the text sets none; an unterminated quote keeps what stood before the end.
std::string prettyHostName(std::string_view text);

}  // namespace velmora::MachineInfo

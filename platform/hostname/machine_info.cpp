#include "platform/hostname/machine_info.h"

namespace velmora::MachineInfo {
namespace {

constexpr std::string_view kKey = "PRETTY_HOSTNAME=";
constexpr std::string_view kBlank = " \t\r";

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(kBlank);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlank) - first + 1);
}

std::string unquote(std::string_view value) {
    if (value.empty() || (value.front() != '"' && value.front() != '\'')) return std::string(value);
    const char quote = value.front();
    std::string out;
    for (std::size_t i = 1; i < value.size() && value[i] != quote; ++i) {
        if (quote == '"' && value[i] == '\\' && i + 1 < value.size()) ++i;
        out += value[i];
    }
    return out;
}

}  // namespace

std::string prettyHostName(std::string_view text) {
    std::string name;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.starts_with(kKey)) name = unquote(trim(line.substr(kKey.size())));
    }
    return name;
}

}  // namespace velmora::MachineInfo

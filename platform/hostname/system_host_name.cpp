#include "platform/hostname/system_host_name.h"

#include <unistd.h>

#include <array>
#include <fstream>
#include <utility>

#include "platform/hostname/machine_info.h"

namespace velmora {
namespace {

// The file holds a few short lines; anything longer is not read past this.
constexpr std::streamsize kMaxMachineInfo = 16384;

std::string readHead(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text(static_cast<std::size_t>(kMaxMachineInfo), '\0');
    in.read(text.data(), kMaxMachineInfo);
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

std::string staticHostName() {
    std::array<char, 256> buffer{};
    if (::gethostname(buffer.data(), buffer.size() - 1) != 0) return {};
    const std::string name(buffer.data());
    // What the kernel reports while nothing has set a name.
    return name == "(none)" ? std::string() : name;
}

}  // namespace

SystemHostName::SystemHostName(std::filesystem::path machineInfo) : machineInfo_(std::move(machineInfo)) {}

std::string SystemHostName::computerName() const {
    std::string pretty = MachineInfo::prettyHostName(readHead(machineInfo_));
    return pretty.empty() ? staticHostName() : pretty;
}

}  // namespace velmora

#pragma once

#include <optional>
#include <string>
#include <vector>

#include "support/companion/companion_phone.h"

namespace velmora::companion {

// The command line of velmora_sim_phone.
struct SimPhoneOptions {
    long port = 47625;
    bool once = false;
    std::optional<std::string> keyFile;
    std::vector<std::string> paired;
    std::optional<std::string> script;  // a file, or "-" for standard input
    CompanionSettings phone;
};

extern const char* const kSimPhoneUsage;

// The options, or nothing when one is unknown, lacks its value or has a bad one (`error` says which).
std::optional<SimPhoneOptions> parseSimPhoneOptions(const std::vector<std::string>& args, std::string& error);

}  // namespace velmora::companion

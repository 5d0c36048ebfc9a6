#pragma once

#include <vector>

#include "app/model/ports/install_state.h"

namespace velmora {

// What the panel's installer section shows: exactly one of these, chosen from the installer's published
// state and the panel's own.
enum class SectionContent {
    installing,    // the progress card
    success,       // the success card with the steps to take on the phone
    failed,        // the failure card with its reason and ways out
    offers,        // one offer card per candidate
    unauthorized,  // the hint about phones that have not allowed this computer
    howTo,         // the foldable how-to (the panel found no phone at all)
    nothing,
};

struct SectionInput {
    InstallStatus status;
    std::vector<InstallCandidate> candidates;
    int unauthorized = 0;
    bool nothingFound = false;
    bool operator==(const SectionInput&) const = default;
};

// First match wins: an install's state, then offers, then unauthorised phones, then the how-to.
SectionContent chooseInstallView(const SectionInput& in);

}  // namespace velmora

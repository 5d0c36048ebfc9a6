#pragma once

#include <optional>
#include <string>

#include "core/l10n/l10n.h"

namespace velmora::test {

// The texts' language as a session with LANG=`lang` gets it, for one test or one row, and the process's own
// environment again when it goes, also after a failed assertion.
class SessionLanguage {
  public:
    explicit SessionLanguage(std::string lang) {
        L10n::setEnvironment([lang = std::move(lang)](const std::string& name) {
            return name == "LANG" ? std::optional(lang) : std::nullopt;
        });
    }
    ~SessionLanguage() { L10n::setEnvironment(nullptr); }
    SessionLanguage(const SessionLanguage&) = delete;
    SessionLanguage& operator=(const SessionLanguage&) = delete;
};

}  // namespace velmora::test

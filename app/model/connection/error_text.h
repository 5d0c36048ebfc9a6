#pragma once

#include <exception>
#include <optional>
#include <string>

#include "core/errors/cxp_error.h"
#include "core/errors/developer_text.h"
#include "core/errors/friendly_errors.h"

namespace velmora {

// The link error inside, if it is one.
inline std::optional<CXPError> linkError(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const CXPError& e) {
        return e;
    } catch (...) {
        return std::nullopt;
    }
}

// An error as main needs it, taken apart on the thread that caught it: the exception object itself never
// crosses threads, so it is freed where it was thrown.
struct Failure {
    std::string developer;  // for the log
    std::string friendly;   // for the user
    std::optional<CXPError> link;

    static Failure of(const std::exception_ptr& error) {
        return {developerText(error), FriendlyErrors::text(error), linkError(error)};
    }
};

}  // namespace velmora

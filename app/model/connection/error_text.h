#pragma once

#include <exception>
#include <optional>
#include <string>

#include "core/errors/cxp_error.h"

namespace velmora {

// The developer text of a caught error, for the log.
inline std::string errorText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "?";
    }
}

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

}  // namespace velmora

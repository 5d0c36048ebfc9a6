#pragma once

#include <exception>
#include <string>

namespace velmora {

// The developer text of a caught error, for the log; "sem detalhe" when there is none to read.
inline std::string developerText(const std::exception_ptr& error) {
    if (!error) return "sem detalhe";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "sem detalhe";
    }
}

}  // namespace velmora

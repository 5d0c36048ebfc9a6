#include "core/exec/task_guard.h"

#include <exception>
#include <string>

#include "core/log/velmora_log.h"
#include "core/text/safe_text.h"

namespace velmora {
namespace {

// An exception's text may quote what the phone sent: one cleaned line, bounded.
constexpr std::int64_t kMaxWhat = 300;

void logFailure(std::string_view where, std::string_view what) noexcept {
    try {
        VelmoraLog::write("exceção em tarefa (" + std::string(where) +
                          "): " + SafeText::logLine(what, kMaxWhat));
    } catch (...) {
        // Out of memory while reporting: the task is dropped without a line; the queue goes on.
    }
}

}  // namespace

void runGuarded(const Executor::Task& task, std::string_view where) noexcept {
    try {
        task();
    } catch (const std::exception& e) {
        logFailure(where, e.what());
    } catch (...) {
        logFailure(where, "exceção de tipo desconhecido");
    }
}

}  // namespace velmora

#include "core/process/process_cancel.h"

#include <sys/eventfd.h>

#include <cstdint>

namespace velmora {

ProcessCancel::ProcessCancel() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void ProcessCancel::fire() {
    if (fired_.exchange(true)) return;
    // Nobody reads the counter, so it stays above zero and the descriptor stays readable.
    if (fd_.valid()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(fd_.get(), &one, sizeof one);
    }
}

}  // namespace velmora

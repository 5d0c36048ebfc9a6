#pragma once

#include <string_view>

#include "core/exec/executor.h"

namespace velmora {

// Runs one task of an executor. Whatever the task throws ends there: it is written to the log as a line
// naming `where` ("fila corvix.usb", "thread principal") and never reaches the thread's loop, so one faulty
// task neither ends the process nor stops the tasks behind it.
void runGuarded(const Executor::Task& task, std::string_view where) noexcept;

}  // namespace velmora

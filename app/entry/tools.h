#pragma once

#include "app/shell/logic/launch_options.h"

namespace velmora {

// Runs the image tool `choice` names and returns the process's exit status: 0 when every file was written,
// else 1 with one line on stderr (every file is still attempted). The tools draw off screen when no Qt
// platform is chosen, take no instance lock and start no model. `argc`/`argv` go to Qt as they are.
int runTool(const LaunchChoice& choice, int& argc, char** argv);

}  // namespace velmora

#pragma once

#include "app/shell/logic/display_choice.h"

namespace velmora {

// The displays this process could reach and the platform plugins Qt has, read from the environment, the
// sockets and Qt's plugin folders before any QGuiApplication exists.
DisplayFacts displayFacts();

}  // namespace velmora

#pragma once

namespace velmora {

// The application: one instance per user (a second start ends at once with status 0), the model on the GUI
// thread's executor, the tray icon and its panel, and on SIGTERM, SIGINT or quit the pairing prompt
// dismissed and the model shut down (session closed, adb forwards removed). Returns the exit status.
int runApplication(int& argc, char** argv);

}  // namespace velmora

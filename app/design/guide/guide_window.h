#pragma once

class QWidget;

namespace velmora::GuideWindow {

// Shows the guide: the first call makes the one window (centred, 600 x 700); later calls bring that same
// window back to the front as the user left it (position, size, open topics). Closing only hides it.
// Main thread only. On Wayland the compositor may refuse to raise a window over another application's.
void show();

// The window, once the first show() made it; nullptr before.
QWidget* window();

}  // namespace velmora::GuideWindow

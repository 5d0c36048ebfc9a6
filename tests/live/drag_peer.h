#pragma once

// Another program on the stories' display, standing in for a file manager: a large window (600 × 400, asked
// for at 100, 200, where it lies over the tray's panel) showing one file, which a press and a pointer move on
// it drag away as a file manager's icon does (a real XDND drag, the pointer grabbed by this program). It
// prints "ready <window id>" once its window is on the screen, "dragging" when a drag starts and "dropped" or
// "refused" when the drag ends, a line each.
#include <QPoint>

namespace velmora::live {

// Where the file lies in the window.
constexpr QPoint kPeerFile{480, 120};

// Runs the program for the file at `path`; returns its exit status.
int dragPeer(int argc, char** argv, const char* path);

}  // namespace velmora::live

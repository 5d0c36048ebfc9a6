#pragma once

#include <QString>

class QWidget;

// The screen-state snapshot tool: every state of what a person sees, rendered off screen to PNG files with
// fixed names. So far: the tray icon sheet and the two forms of the pairing dialog; the panel's states join
// as the panel is built. GUI thread, before the event loop runs.
namespace velmora::Snapshots {

// Writes the files into `folder` (made with its parents when missing; files of the same names replaced).
// Every file is attempted; returns how many failed, or -1 when the folder could not be made.
int run(const QString& folder);

// Renders `view` at `width` over the window background of the appearance, at least 40 high, into `file`.
bool png(QWidget* view, int width, const QString& file, bool dark);

// The tray glyph at 16, 18 and 22 at one and two pixels per point, unconnected and connected, on light and
// dark bands, magnified so its pixels show: 1668 × 1116 pixels.
bool menuBarSheet(const QString& file);

}  // namespace velmora::Snapshots

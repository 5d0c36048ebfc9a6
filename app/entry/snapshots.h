#pragma once

#include <QString>
#include <memory>

class QWidget;

// The screen-state snapshot tool: every state of what a person sees, rendered off screen to PNG files with
// fixed names: the tray icon sheet, the panel in each of its states, the installer's section alone, the
// pairing dialog, the guide and the mirror window. GUI thread, before the event loop runs.
//
// The run keeps its settings in memory and its preview models' peer file in a private folder, so the user's
// settings and paired phones are neither read nor changed; it writes no file but its pictures. Fonts,
// spinners and clocks are fixed, so two runs write the same bytes.
namespace velmora::Snapshots {

struct Outcome {
    bool folderMade = false;
    int failed = 0;  // files not written; every file is attempted whatever failed before
};

// Writes the files into `folder` (made with its parents when missing; files of the same names replaced).
Outcome run(const QString& folder);

// Renders `view` (taken over) at `width` over the window background of the appearance, at least 40 high,
// into `file`.
bool png(QWidget* view, int width, const QString& file, bool dark);

// The window png renders: `view` (taken over) laid out at `width` and as tall as it asks, over the window
// background of the appearance in force, shown but not on screen, every posted event delivered.
std::unique_ptr<QWidget> hosted(QWidget* view, int width);

// The tray glyph at 16, 18 and 22 at one and two pixels per point, unconnected and connected, on light and
// dark bands, magnified so its pixels show: 1668 × 1116 pixels.
bool menuBarSheet(const QString& file);

// Sets the appearance the widgets resolve their colours in while it lives.
class AppearanceScope {
  public:
    explicit AppearanceScope(bool dark);
    ~AppearanceScope();
    AppearanceScope(const AppearanceScope&) = delete;
    AppearanceScope& operator=(const AppearanceScope&) = delete;
};

}  // namespace velmora::Snapshots

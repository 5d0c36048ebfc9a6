#pragma once

#include <filesystem>
#include <vector>

namespace velmora {

// The desktop's file services: the user's downloads folder, showing or opening a file, and the file picker.
// Main thread, except downloadsFolder(), which any thread may call.
class Workspace {
  public:
    virtual ~Workspace() = default;
    // The user's downloads folder (the XDG one, else ~/Downloads); empty when there is no home at all.
    virtual std::filesystem::path downloadsFolder() const = 0;
    // Shows the file selected in the file manager.
    virtual void reveal(const std::filesystem::path& file) = 0;
    // Opens a file with its default application, or a folder in the file manager.
    virtual void open(const std::filesystem::path& path) = 0;
    // Asks the user for files to send (several allowed, no folders); empty when cancelled. Modal.
    virtual std::vector<std::filesystem::path> pickFiles() = 0;
};

}  // namespace velmora

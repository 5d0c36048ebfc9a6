#pragma once

#include <filesystem>

namespace velmora::MirrorSnapshots {

// Renders the mirror window in each of its states to PNG files in `folder`, light then dark, at the default
// width: "espelhamento-<state>.png" and "espelhamento-<state>-escuro.png" for loading, awaiting approval,
// live, slow link, reconnecting, unresponsive, reconnected, refused, control paused and a notice; then the
// live window at the narrowest and a wide width ("espelhamento-largura-<width>[-escuro].png"); last
// "janela-espelhamento.png". Twenty-five files; a file that cannot be written is skipped and counted. The
// windows are real mirror windows on their own fake clock, showing a drawn picture; nothing is remembered of
// them. GUI thread, with a QApplication. Returns how many files were not written.
int run(const std::filesystem::path& folder);

}  // namespace velmora::MirrorSnapshots

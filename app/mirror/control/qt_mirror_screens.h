#pragma once

#include "app/mirror/window/mirror_window.h"
#include "app/model/ports/mirror_screen.h"

namespace velmora {

// The model's mirror windows as MirrorWindow widgets. Each window lives until its adapter is dropped and
// the event loop turns once more; the model's events reach it through a bridge that the window owns, so a
// window closing after its adapter is gone tells no one. The clipboard's text for pastes comes from the
// desktop's clipboard directly. Main thread.
class QtMirrorScreens final : public MirrorScreens {
  public:
    // `executor` (the GUI thread's) and `settings` (may be null) outlive every window.
    QtMirrorScreens(Executor& executor, Settings* settings, MirrorWindow::Options options = {})
        : executor_(executor), settings_(settings), options_(options) {}

    std::shared_ptr<MirrorScreen> open(const std::string& title,
                                       std::weak_ptr<MirrorScreenEvents> events) override;
    bool canHideFromCapture() const override { return MirrorWindow::kCanHideFromCapture; }

  private:
    Executor& executor_;
    Settings* settings_;
    MirrorWindow::Options options_;
};

}  // namespace velmora

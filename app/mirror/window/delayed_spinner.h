#pragma once

#include "app/design/spoke_spinner.h"
#include "core/exec/executor.h"

namespace velmora {

// The loading panel's small spinner: it keeps its place but stays invisible for the first 0.4 s, so that a
// start that succeeds at once never flashes it, then fades in over 0.2 s. A new one waits its own 0.4 s.
class DelayedSpinner : public SpokeSpinner {
    Q_OBJECT
  public:
    static constexpr double kDelay = 0.4;
    static constexpr int kFadeMs = 200;

    // `executor` runs the delay (the fake clock in tests); it must outlive the spinner.
    explicit DelayedSpinner(Executor& executor, QWidget* parent = nullptr);
    ~DelayedSpinner() override;

    bool shown() const { return shown_; }

  private:
    bool shown_ = false;
    TimerHandle delay_;
};

}  // namespace velmora

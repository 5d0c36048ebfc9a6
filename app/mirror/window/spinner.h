#pragma once

#include <QTimer>
#include <QWidget>

#include "core/exec/executor.h"

namespace velmora {

// The indeterminate progress spinner: twelve spokes, the brightest one turning. `regular` is the size of a
// panel's spinner (32), otherwise the small one (16). Decorative, so assistive tools skip it.
class Spinner : public QWidget {
    Q_OBJECT
  public:
    explicit Spinner(bool regular, QWidget* parent = nullptr);

    double opacity() const { return opacity_; }
    void setOpacity(double opacity);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    QTimer turn_;
    int step_ = 0;
    double opacity_ = 1;
};

// The loading panel's spinner: it keeps its place but stays invisible for the first 0.4 s, so that a start
// that succeeds at once never flashes it, then fades in over 0.2 s. A new one waits its own 0.4 s.
class DelayedSpinner : public Spinner {
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

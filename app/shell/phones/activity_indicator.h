#pragma once

#include <QWidget>

namespace velmora {

// The small turning wheel beside "searching" and "connecting": twelve spokes, the lead one darkest, one step
// every 80 ms while shown. Decorative, so assistive tools skip it. Main thread only.
class ActivityIndicator : public QWidget {
    Q_OBJECT
  public:
    explicit ActivityIndicator(int size, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {size_, size_}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    int size_;
    int step_ = 0;
    int timer_ = 0;
};

}  // namespace velmora

#pragma once

#include <QTimer>
#include <QWidget>

#include "app/design/palette.h"

namespace velmora {

// How a spoke spinner draws. Spoke lengths are fractions of the radius; `tail` is the opacity of the spoke
// furthest behind the leading one, relative to it.
struct SpinnerLook {
    DynColor color;
    double tail = 1;
    double inner = 0.5;       // a spoke starts this far out
    double outer = 1;         // and ends this far out,
    bool insetByPen = false;  // less one pen width, so that its round cap stays inside the widget
    double penPerSide = 0.1;  // the pen's width per pixel of the side, never under 1.5 px

    // White on the mirror window's dark stage.
    static SpinnerLook onStage();
    // The desktop's text colour, beside a panel's texts.
    static SpinnerLook inText();
};

// The indeterminate progress spinner of `side` × `side` pixels: twelve spokes, the leading one strongest,
// turning one spoke every 83 ms (a turn a second) while shown. Decorative, so assistive tools skip it and
// clicks go to what lies under it. Main thread only.
class SpokeSpinner : public QWidget {
    Q_OBJECT
  public:
    SpokeSpinner(int side, SpinnerLook look, QWidget* parent = nullptr);
    QSize sizeHint() const override { return size(); }

    double opacity() const { return opacity_; }
    void setOpacity(double opacity);
    // Stops turning, with the first spoke leading, for good: a still picture of the spinner then does not
    // depend on how long it had been shown.
    void holdStill();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    SpinnerLook look_;
    QTimer turn_;
    int step_ = 0;
    double opacity_ = 1;
    bool held_ = false;
};

}  // namespace velmora

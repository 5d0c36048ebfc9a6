#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace velmora {

// Keeps a frameless window with rounded corners looking rounded where no compositing manager runs: there,
// the translucent pixels outside the rounded plate would reach the screen as black, so the window is cut to
// its shape with a mask; where one runs, the window keeps no mask and its corners blend smoothly. Asked again
// at every show and resize, since a compositor may start or stop while the application runs.
//
// Main thread only. The shape is the window's child and goes with it.
class RoundedWindowShape : public QObject {
  public:
    RoundedWindowShape(QWidget* window, double radius, std::function<bool()> compositing);

    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void apply();

    QWidget* window_;
    double radius_;
    std::function<bool()> compositing_;
};

}  // namespace velmora

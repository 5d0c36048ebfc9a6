#pragma once

#include <QImage>
#include <QWidget>

namespace velmora {

// The application icon on a rounded plate, `size` points square, drawn from an image of `pixels` so it stays
// sharp on dense screens. Decorative: assistive tools skip it.
class AppIconPlate : public QWidget {
  public:
    AppIconPlate(int size, int pixels, double radius, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage image_;
    double radius_;
};

}  // namespace velmora

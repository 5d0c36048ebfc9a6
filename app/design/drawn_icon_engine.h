#pragma once

#include <QIconEngine>
#include <functional>

namespace velmora {

// An icon that holds no pixels: it draws its vector picture again for every size and scale asked of it, so it
// stays sharp on any screen. Used by the application icon and the tray glyph.
class DrawnIconEngine : public QIconEngine {
  public:
    // `draw` paints the picture into the square (0, 0, side, side) of the painter.
    using Draw = std::function<void(QPainter& painter, double side)>;

    // `themeName`, when given, is the icon's name in the desktop's icon theme: a tray host on D-Bus that
    // finds it there draws (and recolours) its own copy, and takes these pixels otherwise.
    DrawnIconEngine(Draw draw, QSize natural, QString themeName = {});

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;
    QString key() const override;
    QString iconName() override;

  private:
    Draw draw_;
    QSize natural_;
    QString themeName_;
};

}  // namespace velmora

#include "app/mirror/snapshots/phone_picture.h"

#include <QLinearGradient>
#include <QPainter>

namespace velmora {

QImage fakePhoneScreen(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return image;
    const double W = width, H = height;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    // Shapes are given from the bottom left corner, as the phone's own layout measures them.
    const auto shape = [&](double x, double y, double w, double h, double radius, QColor colour) {
        p.setBrush(colour);
        p.drawRoundedRect(QRectF(x, H - y - h, w, h), radius, radius);
    };
    const auto white = [](double alpha) { return QColor::fromRgbF(1, 1, 1, static_cast<float>(alpha)); };
    QLinearGradient background(0, 0, W, H);
    background.setColorAt(0, QColor::fromRgbF(0.27f, 0.36f, 0.85f));
    background.setColorAt(1, QColor::fromRgbF(0.07f, 0.55f, 0.62f));
    p.fillRect(image.rect(), background);
    shape(60, H - 120, 160, 36, 18, white(0.85));
    shape(W - 300, H - 120, 240, 36, 18, white(0.6));
    shape(60, H - 620, W - 120, 380, 56, white(0.22));
    shape(120, H - 440, 360, 60, 30, white(0.9));
    shape(120, H - 540, 520, 36, 18, white(0.55));
    const QColor tiles[] = {QColor::fromRgbF(1, 0.62f, 0.2f), QColor::fromRgbF(0.3f, 0.85f, 0.5f),
                            QColor::fromRgbF(0.95f, 0.35f, 0.45f), QColor::fromRgbF(0.98f, 0.82f, 0.25f)};
    const double step = (W - 800) / 3 + 170;
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 4; ++col) {
            const double x = 60 + col * step, y = H - 860 - 270 * row;  // the last row clears the dock
            shape(x, y, 170, 170, 44, tiles[(row + col) % 4]);
            shape(x + 20, y - 44, 130, 24, 12, white(0.7));
        }
    shape(50, 70, W - 100, 230, 70, white(0.28));
    for (const double x : {100, 335, 570, 805})
        shape(x, 100, 170, 170, 44, white(0.9));
    return image;
}

}  // namespace velmora

#pragma once

#include <QColor>
#include <algorithm>
#include <cmath>

namespace velmora::test {

// The relative luminance of an sRGB colour and the contrast ratio of two, as the accessibility guidelines
// define them: 1 for the same colour, 21 for black on white; 4.5 reads as body text, 3 as a large shape.
inline double luminance(QRgb c) {
    const auto channel = [](int v) {
        const double x = v / 255.0;
        return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

inline double contrast(QRgb a, QRgb b) {
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

}  // namespace velmora::test

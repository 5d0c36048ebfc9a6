#pragma once

#include <QColor>
#include <QFont>

#include "app/design/palette.h"

namespace velmora::design {

// The appearance to paint in now. The first call also makes every widget repaint whenever the appearance
// changes, since each colour is resolved at paint time. Main thread only.
Appearance appearance();

// `color` resolved for the current appearance.
QColor resolved(const DynColor& color);

// The system font at a size in device-independent pixels (the design's points) and a weight.
QFont font(int pixelSize, QFont::Weight weight);

}  // namespace velmora::design

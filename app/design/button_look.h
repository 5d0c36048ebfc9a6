#pragma once

#include <QFont>
#include <QPointF>

#include "app/design/palette.h"

namespace velmora {

// Everything a kit button paints, for one state. Colours stay appearance-dependent until paint time.
struct ButtonLook {
    double radius = 0;  // plate corners and focus ring
    int fontSize = 13;  // device-independent pixels
    QFont::Weight weight = QFont::Normal;
    double minHeight = 0;
    double horizontalPadding = 0;
    bool fillsWidth = false;  // takes all the width offered, else hugs its label
    bool gradient = false;    // the plate is DS::gradStart to DS::gradEnd, top-left to bottom-right
    DynColor plate{};         // the plate when it is not a gradient
    double borderWidth = 0;   // an inner border, drawn inside the plate's outline
    DynColor border{};
    DynColor shadow{};  // cast by the plate (fill and border), not by the label
    double shadowRadius = 0;
    QPointF shadowOffset;
    DynColor text{};
    double opacity = 1;  // of the whole button except its focus ring
};

// The main action of a screen or card: a full-width gradient button.
namespace PrimaryButtonStyle {
ButtonLook look(bool tall, bool enabled, bool pressed);
}

// Neutral actions: a light or translucent plate that follows the appearance.
namespace SecondaryButtonStyle {
ButtonLook look(double height, bool fullWidth, bool enabled, bool pressed);
}

// The small buttons at the end of a list row.
namespace RowButtonStyle {
enum class Kind { primary, tint };
ButtonLook look(Kind kind, bool enabled, bool pressed);
}  // namespace RowButtonStyle

}  // namespace velmora

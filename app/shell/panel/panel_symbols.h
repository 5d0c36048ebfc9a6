#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>
#include <QWidget>

#include "app/design/palette.h"

class QPainter;

namespace velmora {

// The symbols of the panel's controls, drawn with QPainter in a 16-unit grid so they look the same on every
// desktop and need no icon theme.
enum class PanelSymbol {
    questionmarkCircle,    // the guide
    stethoscope,           // diagnostics
    rectangleOnRectangle,  // mirror the screen
    arrowUpDoc,            // send files
    docOnClipboard,        // send the clipboard
    bell,                  // ring the phone
    stopCircle,            // stop
    checkmarkCircle,       // done
    xmark,                 // close, cancel
    magnifyingGlass,       // search
    checkmark,             // in order
    exclamationmark,       // needs attention
    doc,                   // a received file
    line3Horizontal,       // a handle to drag a row by
    chevronUp,             // move up
    chevronDown,           // move down
};

// Draws `symbol` centred in the square of `box`'s shorter side.
void drawPanelSymbol(QPainter& painter, PanelSymbol symbol, const QRectF& box, const QColor& color);

// A symbol as a widget of `size` pixels in a palette colour resolved when it paints; decorative, so
// assistive tools skip it.
class SymbolView : public QWidget {
    Q_OBJECT
  public:
    SymbolView(PanelSymbol symbol, int size, const DynColor& color, QWidget* parent = nullptr);
    void setSymbol(PanelSymbol symbol);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    PanelSymbol symbol_;
    DynColor color_;
};

}  // namespace velmora

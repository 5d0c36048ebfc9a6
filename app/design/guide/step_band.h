#pragma once

#include <QWidget>

#include "app/design/guide/guide_content.h"

class QPainter;

namespace velmora::guide {

// Draws one step's symbol as strokes in `color`, fitted to the square `box`.
void drawStepSymbol(QPainter& p, StepSymbol symbol, const QRectF& box, const QColor& color);

// The tinted band at the top of a step column, its symbol in the middle. Pure decoration: it carries no
// text, so screen readers pass over it.
class StepBand : public QWidget {
    Q_OBJECT
  public:
    explicit StepBand(StepSymbol symbol, QWidget* parent = nullptr);

    StepSymbol symbol() const { return symbol_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    StepSymbol symbol_;
};

}  // namespace velmora::guide

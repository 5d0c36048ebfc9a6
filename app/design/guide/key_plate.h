#pragma once

#include "app/design/text_block.h"

namespace velmora::guide {

// A keyboard key or mouse gesture written on a small plate, in a monospaced face.
class KeyPlate : public TextBlock {
    Q_OBJECT
  public:
    explicit KeyPlate(const QString& text, QWidget* parent = nullptr);

  protected:
    void paintBackground(QPainter& painter) override;
};

}  // namespace velmora::guide

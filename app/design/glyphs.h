#pragma once

#include <QWidget>

#include "app/design/palette.h"

namespace velmora {

// A phone in a rounded plate, in the tone of its state; decorative, so assistive tools skip it.
class PhoneGlyph : public QWidget {
    Q_OBJECT
  public:
    enum class Tone { paired, new_, lost };

    PhoneGlyph(Tone tone, int size, QWidget* parent = nullptr);

    Tone tone() const { return tone_; }
    // The plate's fill and the phone outline's colour for a tone.
    static DynColor plateColor(Tone tone);
    static DynColor outlineColor(Tone tone);
    // The portrait phone outline, centred in the plate: 0.33 of the side wide, 0.57 high.
    QRectF outlineRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Tone tone_;
};

// A coloured dot; decorative, so assistive tools skip it.
class StatusDot : public QWidget {
    Q_OBJECT
  public:
    StatusDot(const DynColor& color, int size, QWidget* parent = nullptr);
    void setColor(const DynColor& color);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    DynColor color_;
};

}  // namespace velmora

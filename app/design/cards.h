#pragma once

#include <QVBoxLayout>
#include <QWidget>
#include <optional>

#include "app/design/palette.h"
#include "app/design/text_block.h"

// The containers and small labels from which panels are built. Texts arrive already localised and are shown
// as given. Main thread only.
namespace velmora {

// A card for a list of rows: no padding of its own (rows bring their insets), a translucent plate with a
// hairline border. It is as tall as its rows at the width it gets, wrapped texts included; in a column with
// room to spare, the spare room goes to a stretch, not to the card.
class ListCard : public QWidget {
    Q_OBJECT
  public:
    explicit ListCard(QWidget* parent = nullptr);
    // Adds a row; a row that does not stretch sits in the middle.
    void add(QWidget* row);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QVBoxLayout* layout_;
};

// A free block of content with 12 pixels of padding, filling the width offered, on a faint plate (the tint
// when one is given).
class Card : public QWidget {
    Q_OBJECT
  public:
    explicit Card(std::optional<DynColor> tint = std::nullopt, QWidget* parent = nullptr);
    // Adds content; content that does not stretch stays on the left.
    void add(QWidget* content);
    // The plate's colour: the tint at 0.12 of its own opacity, else the primary colour at 0.06.
    DynColor plate() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::optional<DynColor> tint_;
    QVBoxLayout* layout_;
};

// The line between rows: a half-pixel band of the separator colour across its container (widgets have whole
// pixel heights, so the widget is one pixel high and the band fills its top half).
class RowDivider : public QWidget {
    Q_OBJECT
  public:
    explicit RowDivider(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// A section caption, announced as a heading.
class SectionLabel : public TextBlock {
    Q_OBJECT
  public:
    explicit SectionLabel(const QString& text, QWidget* parent = nullptr);
};

// A small caption on a neutral chip, such as a connection kind.
class ConnChip : public TextBlock {
    Q_OBJECT
  public:
    explicit ConnChip(const QString& text, QWidget* parent = nullptr);

  protected:
    void paintBackground(QPainter& painter) override;
};

}  // namespace velmora

#pragma once

#include <QLabel>
#include <QWidget>

#include "app/design/buttons.h"
#include "app/design/palette.h"

class QTimer;

namespace velmora {

// The small pieces the installer section is built from, beyond the design kit's. Main thread only.

// A symbol drawn in the kit's manner, sized like a glyph of the text beside it; decorative.
class InstallSymbol : public QWidget {
    Q_OBJECT
  public:
    enum class Shape { download, check, warning, lock };
    InstallSymbol(Shape shape, const DynColor& color, int pixelSize, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Shape shape_;
    DynColor color_;
};

// A small indeterminate progress ring. Turned by a timer rather than an animation object, so that tests
// waiting for animations to end do not wait for it.
class InstallSpinner : public QWidget {
    Q_OBJECT
  public:
    explicit InstallSpinner(int size, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QTimer* timer_;
    int step_ = 0;
};

// A button that reads as a link: accent text, no plate.
class InstallLink : public StyledButton {
    Q_OBJECT
  public:
    InstallLink(const QString& text, int pixelSize, QWidget* parent = nullptr);
};

// A shell command in a monospaced font on a faint rounded plate; selectable, wrapping at spaces.
class CommandText : public QLabel {
    Q_OBJECT
  public:
    CommandText(const QString& command, int pixelSize, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace velmora

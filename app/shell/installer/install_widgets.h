#pragma once

#include <QWidget>

#include "app/design/buttons.h"
#include "app/design/palette.h"

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

// A button that reads as a link: accent text, no plate.
class InstallLink : public StyledButton {
    Q_OBJECT
  public:
    InstallLink(const QString& text, int pixelSize, QWidget* parent = nullptr);
};

// A shell command in a monospaced font on a faint rounded plate. It wraps only at its spaces, so that no
// word of it (a package name with hyphens) is split across lines; its narrowest width is its longest word.
class CommandText : public QWidget {
    Q_OBJECT
  public:
    CommandText(const QString& command, int pixelSize, QWidget* parent = nullptr);

    const QString& command() const { return command_; }
    // The lines the command takes at `width` (the plate's padding included).
    QStringList lines(int width) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString command_;
};

}  // namespace velmora

#pragma once

#include <QFont>
#include <QWidget>

#include "app/design/palette.h"

namespace velmora {

// A text in the kit's fonts and palette colours, resolved at paint time. It either wraps onto as many lines
// as its width needs (a word longer than a line breaks inside it) or keeps to one line and elides. Main
// thread only.
class TextBlock : public QWidget {
    Q_OBJECT
  public:
    TextBlock(const QString& text, const QFont& font, const DynColor& color, bool wraps,
              QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString& text);
    void setColor(const DynColor& color);
    bool wraps() const { return wraps_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return wraps_; }
    int heightForWidth(int width) const override;

  protected:
    // Paints behind the text (chips have a plate); nothing by default.
    virtual void paintBackground(QPainter& painter);
    void paintEvent(QPaintEvent* event) override;

  private:
    QString text_;
    DynColor color_;
    bool wraps_;
};

}  // namespace velmora

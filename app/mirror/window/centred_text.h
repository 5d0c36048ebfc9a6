#pragma once

#include <QColor>
#include <QWidget>

namespace velmora {

// A wrapping text whose lines are centred, in one fixed colour (the mirror's overlay is always dark). With a
// line limit it is cut after that many lines; without one it grows to the height its lines need.
class CentredText : public QWidget {
    Q_OBJECT
  public:
    CentredText(const QString& text, const QFont& font, const QColor& color, int maxLines = 0,
                QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString& text);
    // The width of the text on one line (plus one pixel for antialiasing).
    int naturalWidth() const;
    // A dark rim round the glyphs, for a text over the phone's picture, whose light parts would swallow it.
    void setHalo(bool on);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString text_;
    QColor color_;
    int maxLines_;
    bool halo_ = false;
};

}  // namespace velmora

#pragma once

#include <QWidget>

namespace velmora {

class TextBlock;

// The visible target that invites a drop on the panel: a dashed rounded outline around one line of text,
// tinted with an accent outline while a drag hovers. It takes no drop itself (the panel does).
class DropArea : public QWidget {
    Q_OBJECT
  public:
    explicit DropArea(QWidget* parent = nullptr);
    // `emphasis` draws the text semibold, in the accent colour or, for a failure, the error colour;
    // `highlight` tints the area.
    void present(const QString& text, bool emphasis, bool highlight, bool failure = false);
    QString text() const;
    bool highlighted() const { return highlight_; }
    bool showsFailure() const { return failure_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    TextBlock* text_ = nullptr;
    bool emphasis_ = false;
    bool highlight_ = false;
    bool failure_ = false;
};

}  // namespace velmora

#pragma once

#include <QWidget>
#include <optional>

#include "app/design/palette.h"
#include "app/design/symbols.h"

namespace velmora {

class TextBlock;

// A banner for a warning, an error or a hint: an icon, a title that wraps, an optional text and optional
// actions below them, on a tinted plate. Assistive tools see one group that holds its parts. Main thread
// only.
class Notice : public QWidget {
    Q_OBJECT
  public:
    enum class Kind { warn, err, info };

    // `actions` (any widget, such as a row of buttons) is taken over; nullptr adds nothing.
    Notice(Kind kind, const QString& title, const std::optional<QString>& text = std::nullopt,
           QWidget* actions = nullptr, QWidget* parent = nullptr);

    Kind kind() const { return kind_; }
    static Symbol symbol(Kind kind);
    static DynColor foreground(Kind kind);
    static DynColor tint(Kind kind);

    QWidget* icon() const { return icon_; }
    TextBlock* titleBlock() const { return title_; }
    TextBlock* textBlock() const { return text_; }  // nullptr without a text

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Kind kind_;
    QWidget* icon_;
    TextBlock* title_;
    TextBlock* text_ = nullptr;
};

}  // namespace velmora

#pragma once

#include <QAbstractButton>
#include <QLineEdit>
#include <QWidget>
#include <functional>
#include <optional>

#include "app/design/buttons.h"
#include "app/design/palette.h"
#include "app/shell/panel/panel_symbols.h"

namespace velmora {

class TextBlock;

// A borderless button showing one symbol; drawn faint when disabled.
class GlyphButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit GlyphButton(PanelSymbol symbol, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {20, 20}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    PanelSymbol symbol_;
};

// A small on/off switch. It shows the value it is given and reports a click as the value asked for; the
// owner decides and shows the outcome.
class SmallSwitch : public QAbstractButton {
    Q_OBJECT
  public:
    explicit SmallSwitch(QWidget* parent = nullptr);
    void setOn(bool on);
    bool isOn() const { return on_; }
    QSize sizeHint() const override { return {28, 16}; }

  signals:
    void flipRequested(bool on);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool on_ = false;
};

// A switch with a title and a subtitle: one click anywhere on the row asks for the opposite value, the same
// as a click on the switch. A disabled row ignores every click and keeps showing its value.
class SwitchRow : public QWidget {
    Q_OBJECT
  public:
    SwitchRow(const QString& title, const QString& subtitle, QWidget* parent = nullptr);
    void setOn(bool on) { switch_->setOn(on); }
    bool isOn() const { return switch_->isOn(); }
    TextBlock* title() const { return title_; }
    TextBlock* subtitle() const { return subtitle_; }
    // A reason given: the row is disabled and says why in place of its subtitle; none: back to normal.
    void setUnavailable(const std::optional<QString>& reason);

  signals:
    void flipRequested(bool on);

  protected:
    void changeEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    TextBlock* title_;
    TextBlock* subtitle_;
    QString subtitleText_;
    SmallSwitch* switch_;
};

// A text field in the kit's colours for the appearance shown now, on a plate of `base` (none: transparent).
class KitLineEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit KitLineEdit(std::optional<DynColor> base, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::optional<DynColor> base_;
};

// A one-line text that elides at the end rather than widening its row: however long a name, the row keeps to
// the panel's width (a row wider than its place would be laid out for that width and cut its wrapped texts).
TextBlock* oneLineText(const QString& text, const QFont& font, const DynColor& color);

// A kit button at 12 pixels: the neutral plate, 24 high, hugging its label (in `text` colour when given).
StyledButton* smallSecondaryButton(const QString& text, std::optional<DynColor> textColor = std::nullopt);
// A button that looks like a link: its label alone, in `color`, fading when disabled.
StyledButton* linkButton(const QString& text, const DynColor& color);

}  // namespace velmora

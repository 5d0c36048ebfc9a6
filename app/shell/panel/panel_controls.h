#pragma once

#include <QAbstractButton>
#include <QWidget>
#include <functional>
#include <optional>

#include "app/design/buttons.h"
#include "app/shell/panel/panel_symbols.h"

namespace velmora {

class SpokeSpinner;

// The footer's compact button: an optional symbol, the title, an optional shortcut hint in a fainter
// colour; a neutral plate while the pointer is over it. Main thread only, like every control here.
class FooterButton : public QAbstractButton {
    Q_OBJECT
  public:
    FooterButton(const QString& title, const std::optional<QString>& shortcut,
                 const std::optional<PanelSymbol>& icon, QWidget* parent = nullptr);

    bool isHovered() const { return hovered_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    std::optional<QString> shortcut_;
    std::optional<PanelSymbol> icon_;
    bool hovered_ = false;
};

// One tile of the connected card's row of actions: a symbol over a title of at most two lines.
class ActionTile : public QAbstractButton {
    Q_OBJECT
  public:
    ActionTile(const QString& title, PanelSymbol icon, QWidget* parent = nullptr);

    bool isHovered() const { return hovered_; }
    // The title as drawn: wrapped to the tile's width, cut after the second line.
    QStringList titleLines(int width) const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    PanelSymbol icon_;
    bool hovered_ = false;
};

// A text button in the accent colour, for actions inside a notice.
class LinkButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit LinkButton(const QString& title, QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// Starts the search for phones again and stays busy (disabled, "searching") for 2 s, so a second press
// cannot start a second search.
class SearchAgainButton : public PrimaryButton {
    Q_OBJECT
  public:
    static constexpr int busyMs = 2000;

    SearchAgainButton(const QString& label, std::function<void()> restartBrowsing, QWidget* parent = nullptr);
    bool isBusy() const { return busy_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    static constexpr int kSpinnerSide = 12;

    void press();
    void placeSpinner();

    QString label_;
    SpokeSpinner* spinner_ = nullptr;  // while busy
    std::function<void()> restart_;
    bool busy_ = false;
};

// The phone's battery as a small outline with a bar, green or (15 % and below) red; decorative, the caller
// shows the percentage as text.
class BatteryGlyph : public QWidget {
    Q_OBJECT
  public:
    explicit BatteryGlyph(long long level, QWidget* parent = nullptr);
    void setLevel(long long level);
    long long level() const { return level_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    long long level_;
};

// `content` with a full-width cancel button under it that runs `cancel`.
QWidget* cancelBelow(QWidget* content, std::function<void()> cancel, QWidget* parent = nullptr);

}  // namespace velmora

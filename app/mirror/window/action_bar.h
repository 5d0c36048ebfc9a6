#pragma once

#include <QAbstractButton>
#include <QWidget>
#include <array>
#include <string>

#include "app/mirror/window/mirror_symbols.h"

namespace velmora {

class MirrorHUD;

// One of the bar's phone buttons: its symbol and, when the bar is wide enough, its title beneath; a rounded
// fill while hovered or pressed, the kit's focus ring, and 38 % opacity while disabled.
class MirrorBarButton : public QAbstractButton {
    Q_OBJECT
  public:
    MirrorBarButton(MirrorSymbol symbol, const QString& title, const QString& help,
                    QWidget* parent = nullptr);

    bool showsLabel() const { return showLabel_; }
    void setShowLabel(bool show);
    // The symbol's size: 16 with the title, 18 without.
    int symbolSize() const { return showLabel_ ? 16 : 18; }
    bool hovered() const { return hover_ && isEnabled(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    MirrorSymbol symbol_;
    bool showLabel_ = true;
    bool hover_ = false;
};

// The five phone buttons along the bottom of the mirror window: Back, Home, Recents, Notifications and Lock.
// A press calls the HUD's onAction with the button's id; the window turns that into a key message. The
// titles show once the bar gives each button 50 points; the buttons are disabled while the link is lost
// or just back. Main thread only.
class MirrorActionBar : public QWidget {
    Q_OBJECT
  public:
    struct Item {
        const char* id;
        MirrorSymbol symbol;
        const char* titleKey;
        const char* helpKey;
    };
    static const std::array<Item, 5> kItems;
    static constexpr int kHeight = 52;
    // The room kept at the bar's trailing end for the status pill.
    static constexpr int kStatusRoom = 84;

    explicit MirrorActionBar(MirrorHUD& hud, QWidget* parent = nullptr);
    ~MirrorActionBar() override;

    MirrorBarButton* button(int index) const { return buttons_[static_cast<std::size_t>(index)]; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void refresh();

    MirrorHUD& hud_;
    int subscription_;
    std::array<MirrorBarButton*, 5> buttons_{};
};

}  // namespace velmora

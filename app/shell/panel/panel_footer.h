#pragma once

#include <QWidget>

#include "app/shell/panel/panel_port.h"

class QMenu;

namespace velmora {

class FooterButton;

// The panel's last row, the same in every state: the guide, the diagnostics menu (copy the report, show
// the log file, a line on what the report holds), and quit. The quit button's shortcut is the desktop's
// quit key (Ctrl+Q), which works while the panel has the keyboard.
class PanelFooter : public QWidget {
    Q_OBJECT
  public:
    PanelFooter(const PanelActions& actions, std::function<void()> quit, QWidget* parent = nullptr);

    FooterButton* guideButton() const { return guide_; }
    FooterButton* diagnosticsButton() const { return diagnostics_; }
    FooterButton* quitButton() const { return quit_; }
    QMenu* diagnosticsMenu() const { return menu_; }

  private:
    FooterButton* guide_;
    FooterButton* diagnostics_;
    FooterButton* quit_;
    QMenu* menu_;
};

}  // namespace velmora

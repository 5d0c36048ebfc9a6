#pragma once

#include <QWidget>

#include "app/shell/logic/panel_geometry.h"

namespace velmora {

class ModelAdapter;
class TextBlock;

// The panel that drops down from the tray icon: a frameless popup with its own rounded background, 360
// wide, that hides on a click outside it, on Escape and when it loses activation, and follows its content's
// size with its top edge kept still. Where the desktop has no tray it is a normal window instead, so the
// application stays usable. The body is a plain header and status line for now. Main thread only.
class PanelWindow : public QWidget {
    Q_OBJECT
  public:
    enum class Mode { popup, window };
    static constexpr int panelWidth = 360;
    static constexpr double cornerRadius = 14;

    PanelWindow(ModelAdapter& model, Mode mode);

    Mode mode() const { return mode_; }
    // The size the content asks for.
    QSize contentSize() const;
    // Places the panel for the tray icon at `anchor` (see PanelGeometry::place) and shows it.
    void showAt(const QRect& anchor);

  signals:
    void hidden();

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void refresh();

    ModelAdapter& model_;
    const Mode mode_;
    TextBlock* status_;
    bool wasActive_ = false;
};

}  // namespace velmora

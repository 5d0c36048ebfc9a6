#pragma once

#include <QWidget>

namespace velmora {

class Executor;
class MirrorActionBar;
class MirrorHUD;
class MirrorOverlay;
class MirrorView;

// The mirror window's content: the video view, the overlay exactly over it, and the action bar along the
// bottom. The bar takes the bottom 52 points over the full width; the video sits 6 points from the left,
// right and top edges and from the bar, and never gets a negative size. The stage colour fills the rest.
class MirrorContainer : public QWidget {
    Q_OBJECT
  public:
    MirrorContainer(MirrorView* video, MirrorHUD& hud, Executor& executor, QWidget* parent = nullptr);

    MirrorView* video() const { return video_; }
    MirrorOverlay* overlay() const { return overlay_; }
    MirrorActionBar* bar() const { return bar_; }
    // The status pill's tooltip, shown when the pointer rests on the pill.
    void setStatusToolTip(const QString& text) { statusTip_ = text; }
    QString statusToolTip() const { return statusTip_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    MirrorView* video_;
    MirrorOverlay* overlay_;
    MirrorActionBar* bar_;
    QString statusTip_;
};

}  // namespace velmora

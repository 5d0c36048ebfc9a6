#pragma once

#include <QAbstractAnimation>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

#include "app/mirror/logic/mirror_phase.h"

namespace velmora {

class Executor;
class MirrorHUD;

// The panel over the picture whenever mirroring is not live: what the session is doing (starting, waiting
// for the phone's user, reconnecting, not answering, back again, failed) and, where the user can act, one
// button that runs the HUD's retry. Starting and waiting hide the picture behind the stage gradient; the
// loss and error panels let it show through 60 % black. Live shows nothing and takes no clicks. Always
// drawn dark. Main thread only.
class MirrorStateLayer : public QWidget {
    Q_OBJECT
  public:
    MirrorStateLayer(MirrorHUD& hud, Executor& executor, QWidget* parent = nullptr);
    ~MirrorStateLayer() override;

    // The phase the panel shows now.
    MirrorPhase shownPhase() const { return shown_; }
    // The retry button of the panel, if it has one.
    QWidget* retryButton() const { return retry_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void phaseChanged();
    void rebuild();
    void place();

    MirrorHUD& hud_;
    Executor& executor_;
    int subscription_;
    MirrorPhase shown_;
    MirrorPhase target_;  // the phase shown once a running fade ends
    QWidget* content_ = nullptr;
    QWidget* retry_ = nullptr;
    QPointer<QAbstractAnimation> fading_;
    struct Item {
        QWidget* widget;
        int before;  // the gap above it
    };
    std::vector<Item> items_;
};

}  // namespace velmora

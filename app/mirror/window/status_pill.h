#pragma once

#include <QWidget>

#include "app/mirror/logic/link_quality.h"

namespace velmora {

class MirrorHUD;

// The link read-out over the picture's top right corner: a dot in the link quality's colour and the round
// trip in milliseconds ("– ms" while unknown or while the link counts as lost), on a dark capsule that stays
// readable over any picture. It takes no clicks; the window gives it its tooltip. Main thread only.
class MirrorStatusPill : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kHeight = 22;

    explicit MirrorStatusPill(MirrorHUD& hud, QWidget* parent = nullptr);
    ~MirrorStatusPill() override;

    QString text() const;
    static QColor dotColor(MirrorLinkQuality quality);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void refresh();

    MirrorHUD& hud_;
    int subscription_;
};

}  // namespace velmora

#include "app/mirror/window/container.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include "app/mirror/logic/mirror_geometry.h"
#include "app/mirror/window/action_bar.h"
#include "app/mirror/window/mirror_view.h"
#include "app/mirror/window/overlay.h"
#include "app/mirror/window/state_layer.h"
#include "app/mirror/window/status_pill.h"

namespace velmora {

MirrorContainer::MirrorContainer(MirrorView* video, MirrorHUD& hud, Executor& executor, QWidget* parent)
    : QWidget(parent),
      video_(video),
      overlay_(new MirrorOverlay(hud, executor, this)),
      bar_(new MirrorActionBar(hud, this)) {
    video_->setParent(this);
    video_->lower();
    overlay_->raise();
    bar_->raise();
    // The status pill stands in the bar's trailing room, off the picture.
    overlay_->pill()->setParent(this);
    overlay_->pill()->raise();
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The pill takes no clicks, so the widget under it hears of a resting pointer.
    video_->installEventFilter(this);
    overlay_->installEventFilter(this);
    overlay_->stateLayer()->installEventFilter(this);
    resize(300, 600);
}

void MirrorContainer::resizeEvent(QResizeEvent*) {
    const double bar = MirrorGeometry::barHeight, inset = MirrorGeometry::inset;
    bar_->setGeometry(0, height() - static_cast<int>(bar), width(), static_cast<int>(bar));
    const MirrorRect r =
        MirrorGeometry::videoRect({static_cast<double>(width()), static_cast<double>(height())});
    const QRect video(static_cast<int>(r.x), static_cast<int>(inset), static_cast<int>(r.width),
                      static_cast<int>(r.height));
    video_->setGeometry(video);
    overlay_->setGeometry(video);
    MirrorStatusPill* pill = overlay_->pill();
    const QSize size = pill->sizeHint();
    pill->setGeometry(width() - static_cast<int>(inset) - size.width(),
                      bar_->y() + (bar_->height() - size.height()) / 2, size.width(), size.height());
}

void MirrorContainer::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), QColor(13, 13, 16));
}

bool MirrorContainer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip) return false;
    auto* help = static_cast<QHelpEvent*>(event);
    auto* from = static_cast<QWidget*>(watched);
    MirrorStatusPill* pill = overlay_->pill();
    const QPoint at = pill->mapFromGlobal(from->mapToGlobal(help->pos()));
    if (!pill->rect().contains(at) || statusTip_.isEmpty()) {
        QToolTip::hideText();
        return false;
    }
    QToolTip::showText(help->globalPos(), statusTip_, pill);
    return true;
}

}  // namespace velmora

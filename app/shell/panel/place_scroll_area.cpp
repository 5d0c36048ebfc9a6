#include "app/shell/panel/place_scroll_area.h"

#include <QApplication>
#include <QScrollBar>

namespace velmora {

namespace {

int topIn(const QWidget* content, const QWidget* widget) {
    return widget == content ? 0 : widget->mapTo(content, QPoint(0, 0)).y();
}

// The first widget under the content's line `y`, looking a little further down past gaps between parts.
QWidget* widgetAtLine(QWidget* content, int y, int height) {
    for (int line = y; line < y + height; line += 2)
        for (const int x : {content->width() / 2, 12})
            if (QWidget* hit = content->childAt(x, line)) return hit;
    return nullptr;
}

}  // namespace

PlaceScrollArea::PlaceScrollArea(QWidget* parent) : QScrollArea(parent) {
    QScrollBar* bar = verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
        // A shorter content pulls the value in on its own: the place stays the one the person chose.
        const bool clamped = lastValue_ > bar->maximum();
        lastValue_ = value;
        if (!scrolling_ && !clamped) takePlace();
    });
}

void PlaceScrollArea::takePlace() {
    place_.clear();
    QWidget* content = widget();
    if (!content) return;
    const int value = verticalScrollBar()->value();
    if (value > 0) {
        for (QWidget* w = widgetAtLine(content, value, viewport()->height()); w && w != content;
             w = w->parentWidget())
            place_.push_back({w, topIn(content, w) - value});
    }
    place_.push_back({content, -value});
}

void PlaceScrollArea::keepPlace() {
    QWidget* content = widget();
    if (!content) return;
    if (place_.empty()) return takePlace();
    for (const Mark& mark : place_) {
        QWidget* w = mark.widget;
        // A part that was rebuilt is gone or no longer in the content: the nearest parent still there holds.
        if (!w || (w != content && (!content->isAncestorOf(w) || !w->isVisibleTo(content)))) continue;
        scrollTo(topIn(content, w) - mark.top);
        return;
    }
}

void PlaceScrollArea::showTop() {
    scrollTo(0);
    place_.clear();
    if (widget()) place_.push_back({widget(), 0});
}

void PlaceScrollArea::scrollTo(int value) {
    scrolling_ = true;
    verticalScrollBar()->setValue(value);
    scrolling_ = false;
    lastValue_ = verticalScrollBar()->value();
}

bool PlaceScrollArea::focusNextPrevChild(bool next) {
    // A widget being hidden or disabled passes its focus on through this call too (QWidget's hide and
    // setEnabled), and QScrollArea would scroll to the next control in the chain, often at the content's top.
    const QWidget* from = QApplication::focusWidget();
    if (from && (!from->isVisible() || !from->isEnabled())) return QWidget::focusNextPrevChild(next);
    return QScrollArea::focusNextPrevChild(next);
}

}  // namespace velmora

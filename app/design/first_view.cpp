#include "app/design/first_view.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include "app/design/text_block.h"

namespace velmora {

namespace {

// What reads wrong when cut: a line of text, a button, a field.
bool whole(const QWidget* w) {
    return qobject_cast<const TextBlock*>(w) || qobject_cast<const QLabel*>(w) ||
           qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w);
}

}  // namespace

int riseToCutNothing(QWidget* content, int bottom) {
    const auto parts = content->findChildren<QWidget*>();
    int edge = bottom;
    // Lifting the edge above one part may cut the part above it: go on until nothing is cut.
    for (bool moved = true; moved && edge > bottom / 2;) {
        moved = false;
        for (const QWidget* w : parts) {
            if (!w->isVisibleTo(content) || !whole(w)) continue;
            const int top = w->mapTo(content, QPoint(0, 0)).y();
            if (top < edge && top + w->height() > edge) {
                edge = top;
                moved = true;
            }
        }
    }
    return edge > bottom / 2 ? bottom - edge : 0;
}

}  // namespace velmora

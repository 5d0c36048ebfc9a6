#pragma once

// What a person would see wrong in a laid-out panel: visible controls drawn over one another, and a panel
// that is not as tall as its content. Shared by the panel, card and snapshot tests.
#include <QAbstractButton>
#include <QLayout>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "app/design/outside_decoration.h"
#include "app/shell/panel/menu_panel.h"

namespace velmora::testing_support {

struct DrawnLeaf {
    QWidget* widget;
    QRect area;  // in the root's coordinates, cut by every widget it sits in
};

inline QString describe(const QWidget* w) {
    QString name = w->accessibleName();
    if (name.isEmpty()) name = w->property("text").toString();
    return QString("%1 \"%2\"").arg(w->metaObject()->className(), name);
}

// A part drawn under `root`: shown, in the window, and no shadow or focus ring, which are painted around
// their control by design.
inline bool drawnPart(QWidget* w, QWidget* root) {
    return !w->isWindow() && w->isVisibleTo(root) && !dynamic_cast<OutsideDecoration*>(w);
}

// The controls a person sees under `root`: drawn parts with no drawn part inside them (a button, a label, a
// row's divider), each where it is drawn: inside every widget holding it, so a scroll viewport cuts off
// what it hides.
inline std::vector<DrawnLeaf> drawnLeaves(QWidget* root) {
    std::vector<DrawnLeaf> out;
    for (auto* w : root->findChildren<QWidget*>()) {
        if (!drawnPart(w, root)) continue;
        const auto inside = w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        if (std::ranges::any_of(inside, [root](QWidget* c) { return drawnPart(c, root); })) continue;
        QRect area(w->mapTo(root, QPoint(0, 0)), w->size());
        for (QWidget* holder = w->parentWidget(); holder && holder != root; holder = holder->parentWidget())
            area &= QRect(holder->mapTo(root, QPoint(0, 0)), holder->size());
        area &= root->rect();
        if (!area.isEmpty()) out.push_back({w, area});
    }
    return out;
}

// Every two visible controls under `root` that are drawn over each other, one line each.
inline std::vector<std::string> overlappingControls(QWidget* root) {
    std::vector<std::string> faults;
    const std::vector<DrawnLeaf> leaves = drawnLeaves(root);
    for (std::size_t i = 0; i < leaves.size(); ++i)
        for (std::size_t j = i + 1; j < leaves.size(); ++j) {
            const QRect both = leaves[i].area & leaves[j].area;
            if (both.isEmpty()) continue;
            faults.push_back(QString("%1 over %2 at %3,%4 %5x%6")
                                 .arg(describe(leaves[i].widget), describe(leaves[j].widget))
                                 .arg(both.x())
                                 .arg(both.y())
                                 .arg(both.width())
                                 .arg(both.height())
                                 .toStdString());
        }
    return faults;
}

// The panel's height against its content's: the whole content where it fits under the maximum, else the
// maximum less at most the cut the first view rises by; and the scrolling middle as tall as its layout
// asks at its width, so no gap opens under its last part.
inline std::vector<std::string> heightFaults(MenuPanel& panel) {
    std::vector<std::string> faults;
    QWidget* middle = panel.scrollArea()->widget();
    QLayout* layout = middle->layout();
    const int asked = layout->hasHeightForWidth() ? layout->totalHeightForWidth(middle->width())
                                                  : layout->totalSizeHint().height();
    if (middle->height() != asked)
        faults.push_back(
            QString("middle %1 high, its layout asks %2").arg(middle->height()).arg(asked).toStdString());
    const int content = panel.contentHeight();
    if (content <= panel.maxHeight() && panel.height() != content)
        faults.push_back(
            QString("panel %1 high, its content %2").arg(panel.height()).arg(content).toStdString());
    if (content > panel.maxHeight() && panel.height() > panel.maxHeight())
        faults.push_back(QString("panel %1 high, over its maximum %2")
                             .arg(panel.height())
                             .arg(panel.maxHeight())
                             .toStdString());
    return faults;
}

// Both checks at once, for a panel at rest.
inline std::vector<std::string> layoutFaults(MenuPanel& panel) {
    std::vector<std::string> faults = overlappingControls(&panel);
    std::ranges::copy(heightFaults(panel), std::back_inserter(faults));
    return faults;
}

}  // namespace velmora::testing_support

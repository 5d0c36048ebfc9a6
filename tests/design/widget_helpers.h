#pragma once

#include <QAbstractAnimation>
#include <QApplication>
#include <QTest>
#include <QWidget>
#include <memory>

#include "app/design/text_block.h"

namespace velmora::testing_support {

// A shown, active top-level window for widgets under test, so focus and clicks behave as on a desktop.
inline std::unique_ptr<QWidget> activeWindow(QSize size = {360, 240}) {
    auto w = std::make_unique<QWidget>();
    w->resize(size);
    w->show();
    QApplication::setActiveWindow(w.get());
    (void)QTest::qWaitFor([&] { return w->isActiveWindow(); }, 30000);
    return w;
}

// Runs the event loop until `root` is at rest: no animation under it (a fold's turn and fade) running, and
// three rounds of events in a row moved no widget (a layout request climbs one level a round). Widgets added
// to a shown window show themselves and lay out only from the event loop.
inline bool settle(QWidget* root) {
    QList<QRect> last;
    int still = 0;
    return QTest::qWaitFor(
        [&] {
            QList<QRect> now{root->geometry()};
            for (auto* w : root->findChildren<QWidget*>())
                now << (w->isVisible() ? w->geometry() : QRect());
            for (auto* a : root->findChildren<QAbstractAnimation*>())
                if (a->state() != QAbstractAnimation::Stopped) now.clear();
            still = !now.isEmpty() && now == last ? still + 1 : 0;
            last = now;
            return still >= 3;
        },
        30000);
}

// The wrapped texts under `root` that show fewer lines than they need, or stick out of a widget holding them.
inline QStringList cutTexts(QWidget* root, int* checked = nullptr) {
    QStringList cut;
    int count = 0;
    for (auto* text : root->findChildren<TextBlock*>()) {
        if (!text->isVisibleTo(root) || !text->wraps()) continue;
        ++count;
        bool fits = text->height() >= text->heightForWidth(text->width());
        for (QWidget* holder = text->parentWidget(); holder != root->parentWidget();
             holder = holder->parentWidget())
            fits = fits && text->mapTo(holder, QPoint(0, text->height())).y() <= holder->height();
        if (!fits) cut << text->text();
    }
    if (checked) *checked = count;
    return cut;
}

}  // namespace velmora::testing_support

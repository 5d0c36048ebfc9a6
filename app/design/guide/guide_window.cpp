#include "app/design/guide/guide_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

#include "app/design/guide/guide_view.h"
#include "core/l10n/l10n.h"

namespace velmora::GuideWindow {

namespace {

// Made once and kept for the life of the process: closing a window without WA_DeleteOnClose only hides it,
// so the next show() finds the same object with its geometry and folds.
QWidget* guide = nullptr;

QWidget* make() {
    auto* w = new QWidget(nullptr, Qt::Window);
    // The title is looked up once, when the window is made.
    w->setWindowTitle(QString::fromStdString(L10n::string("guide.window_title")));
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new GuideView(w));
    w->resize(600, 700);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        // Centred on the screen's free area; a screen lower than the window keeps its title bar in reach.
        const QRect free = screen->availableGeometry();
        w->resize(w->size().boundedTo(free.size()).expandedTo(w->minimumSizeHint()));
        QRect frame = w->frameGeometry();
        frame.moveCenter(free.center());
        w->move(frame.left(), std::max(frame.top(), free.top()));
    }
    return w;
}

void bringToFront(QWidget* w) {
    // Showing a minimised window leaves it minimised; asking for the guide means seeing it.
    if (w->isMinimized()) w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    w->show();
    w->raise();
    w->activateWindow();
}

}  // namespace

void show() {
    if (!guide) guide = make();
    bringToFront(guide);
}

QWidget* window() {
    return guide;
}

}  // namespace velmora::GuideWindow

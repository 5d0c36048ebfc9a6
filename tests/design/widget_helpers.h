#pragma once

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QWidget>
#include <memory>

namespace velmora::testing_support {

// A shown, active top-level window for widgets under test, so focus and clicks behave as on a desktop.
inline std::unique_ptr<QWidget> activeWindow(QSize size = {360, 240}) {
    auto w = std::make_unique<QWidget>();
    w->resize(size);
    w->show();
    QApplication::setActiveWindow(w.get());
    w->activateWindow();
    (void)QTest::qWaitForWindowActive(w.get());
    return w;
}

// Lets widgets added to a shown window show themselves (Qt does that from the event loop), then lays it out.
inline void settle(QWidget* window) {
    QCoreApplication::processEvents();
    if (window->layout()) window->layout()->activate();
}

inline QString a11yText(QWidget* w, QAccessible::Text which) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(which) : QStringLiteral("<none>");
}

inline QAccessible::Role a11yRole(QWidget* w) {
    return QAccessible::queryAccessibleInterface(w)->role();
}

inline bool a11yHidden(QWidget* w) {
    return QAccessible::queryAccessibleInterface(w)->state().invisible;
}

}  // namespace velmora::testing_support

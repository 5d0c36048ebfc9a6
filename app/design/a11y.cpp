#include "app/design/a11y.h"

#include <QAccessibleWidget>
#include <QMetaObject>
#include <QVariant>
#include <QWidget>

namespace velmora::a11y {

namespace {

constexpr const char* kRole = "velmoraA11yRole";
constexpr const char* kValue = "velmoraA11yValue";
constexpr const char* kHidden = "velmoraA11yHidden";

// The interface of a kit widget marked by the functions below. A button keeps its press action.
class KitAccessible : public QAccessibleWidget {
  public:
    KitAccessible(QWidget* w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (widget()->property(kHidden).toBool()) s.invisible = true;
        return s;
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return widget()->property(kValue).toString();
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (pressable()) names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& name) override {
        if (name == pressAction() && pressable()) {
            QMetaObject::invokeMethod(widget(), "click");
            return;
        }
        QAccessibleWidget::doAction(name);
    }

  private:
    // A kit control that can be pressed offers a slot click().
    bool pressable() const { return widget()->metaObject()->indexOfMethod("click()") >= 0; }
};

QAccessibleInterface* kitFactory(const QString&, QObject* object) {
    auto* w = qobject_cast<QWidget*>(object);
    if (!w) return nullptr;
    const QVariant role = w->property(kRole);
    const bool marked = role.isValid() || w->property(kValue).isValid() || w->property(kHidden).isValid();
    if (!marked) return nullptr;
    const auto r = role.isValid() ? static_cast<QAccessible::Role>(role.toInt()) : QAccessible::Client;
    return new KitAccessible(w, r);
}

void installFactory() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(&kitFactory);
}

}  // namespace

void setRole(QWidget* widget, QAccessible::Role role) {
    installFactory();
    widget->setProperty(kRole, static_cast<int>(role));
}

void setValue(QWidget* widget, const QString& value) {
    installFactory();
    widget->setProperty(kValue, value);
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(widget, value);
        QAccessible::updateAccessibility(&event);
    }
}

void hide(QWidget* widget) {
    installFactory();
    widget->setProperty(kHidden, true);
}

}  // namespace velmora::a11y

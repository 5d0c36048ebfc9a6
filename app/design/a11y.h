#pragma once

#include <QAccessible>
#include <QString>

class QWidget;

// Qt's own interfaces take precedence for its stock widget classes (buttons, labels), so the kit's controls
// that need these are plain widgets. A control that can be pressed offers a slot click().
//
// What assistive tools learn about the kit's custom-painted widgets beyond their accessible name and
// description: a role (heading, group), a value text, or that a purely decorative widget is to be skipped.
namespace velmora::a11y {

void setRole(QWidget* widget, QAccessible::Role role);
void setValue(QWidget* widget, const QString& value);
void hide(QWidget* widget);

}  // namespace velmora::a11y

#pragma once

#include <QPointer>
#include <functional>

class QAbstractAnimation;
class QWidget;

namespace velmora {

// The overlay's transitions: `widget` fades in from transparent, or out to transparent, over 0.2 s with an
// ease-out; `then` runs when the fade has finished (not when it is stopped early). A fade-in leaves the
// widget without an effect once done. The animation belongs to the widget.
inline constexpr int kFadeMs = 200;
QPointer<QAbstractAnimation> fade(QWidget* widget, bool in, std::function<void()> then = {});

}  // namespace velmora

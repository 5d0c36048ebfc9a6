#pragma once

class QWidget;

namespace velmora {

// How far a scrolled view's bottom edge, `bottom` pixels down `content` (laid out at its width), must rise
// so that it cuts no text, button or field in two: whatever it would cut goes whole below the edge, and the
// empty strip left says that more follows. 0 when nothing is cut, or when making room would cost more than
// half the view.
int riseToCutNothing(QWidget* content, int bottom);

}  // namespace velmora

#pragma once

#include <QImage>

namespace velmora {

// A made-up phone home screen of `width` × `height` pixels (status bar, a card, a 5 × 4 grid of app tiles and
// a dock over a blue-green gradient), standing in for the phone's video in the mirror snapshots.
QImage fakePhoneScreen(int width, int height);

}  // namespace velmora

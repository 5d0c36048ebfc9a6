#pragma once

#include <QBoxLayout>
#include <QFont>
#include <QString>
#include <string>

#include "app/design/palette.h"
#include "app/design/text_block.h"
#include "app/shell/phones/phone_row_rules.h"

namespace velmora::phones {

// Small builders the phone-list bodies share.
inline QString q(const std::string& text) {
    return QString::fromStdString(text);
}
DynColor toneColor(TextTone tone);
// A text in the system font at `px` and `weight`; wrapped texts grow downwards, the others elide.
TextBlock* text(const std::string& s, int px, const DynColor& color, bool wraps,
                QFont::Weight weight = QFont::Normal);
// A bare widget that takes the width offered, with a box layout of the given direction, spacing and margins
// (left, top, right, bottom).
QWidget* box(QBoxLayout::Direction direction, int spacing, QMargins margins = {}, QWidget* parent = nullptr);
QBoxLayout* layoutOf(QWidget* boxWidget);
// Takes a replaced part off the screen at once and deletes it once control is back in the event loop.
void retire(QWidget* part);

}  // namespace velmora::phones

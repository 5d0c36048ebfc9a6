#include "app/shell/phones/body_parts.h"

#include "app/design/theme.h"

namespace velmora::phones {

DynColor toneColor(TextTone tone) {
    switch (tone) {
        case TextTone::ok:
            return DS::ok;
        case TextTone::warn:
            return DS::warn;
        case TextTone::err:
            return DS::err;
        case TextTone::secondary:
            break;
    }
    return SystemColor::secondary;
}

TextBlock* text(const std::string& s, int px, const DynColor& color, bool wraps, QFont::Weight weight) {
    return new TextBlock(q(s), design::font(px, weight), color, wraps);
}

QWidget* box(QBoxLayout::Direction direction, int spacing, QMargins margins, QWidget* parent) {
    auto* w = new QWidget(parent);
    w->setSizePolicy(QSizePolicy::Expanding,
                     QSizePolicy::Preferred);  // rows fill their card, not centre in it
    auto* layout = new QBoxLayout(direction, w);
    layout->setSpacing(spacing);
    layout->setContentsMargins(margins);
    return w;
}

// A redraw may come from a press inside the part it replaces, so the part leaves the layout now and is
// deleted once the press has returned.
void retire(QWidget* part) {
    if (!part) return;
    part->hide();
    part->setParent(nullptr);
    part->deleteLater();
}

QBoxLayout* layoutOf(QWidget* boxWidget) {
    return static_cast<QBoxLayout*>(boxWidget->layout());
}

}  // namespace velmora::phones

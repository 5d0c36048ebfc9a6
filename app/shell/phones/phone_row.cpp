#include "app/shell/phones/phone_row.h"

#include "app/design/buttons.h"
#include "app/design/cards.h"
#include "app/design/glyphs.h"
#include "app/shell/phones/body_parts.h"

namespace velmora {

using namespace phones;

PhoneRow::PhoneRow(const PhoneRowView& view, std::function<void()> onPress, QWidget* parent)
    : QWidget(parent), view_(view) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* row = new QHBoxLayout(this);
    row->setSpacing(10);
    row->setContentsMargins(10, 8, 10, 8);
    row->addWidget(new PhoneGlyph(view.pairedGlyph ? PhoneGlyph::Tone::paired : PhoneGlyph::Tone::new_, 30));

    QWidget* texts = box(QBoxLayout::TopToBottom, 2);
    QWidget* titleLine = box(QBoxLayout::LeftToRight, 6);
    layoutOf(titleLine)->addWidget(text(view.title, 13, SystemColor::primary, false, QFont::Medium));
    layoutOf(titleLine)->addWidget(new ConnChip(q(view.badge)));
    layoutOf(titleLine)->addStretch(1);
    layoutOf(texts)->addWidget(titleLine);
    layoutOf(texts)->addWidget(text(view.subtitle, 12, toneColor(view.subtitleTone), true));
    row->addWidget(texts, 1);
    row->addSpacing(6);

    button_ = new RowButton(q(view.buttonLabel),
                            view.primaryButton ? RowButtonStyle::Kind::primary : RowButtonStyle::Kind::tint);
    button_->setEnabled(view.enabled);
    button_->setToolTip(q(view.tooltip));
    button_->setAccessibleName(q(view.accessibleLabel));
    connect(button_, &QAbstractButton::clicked, this, [onPress = std::move(onPress)] { onPress(); });
    row->addWidget(button_, 0, Qt::AlignVCenter);
}

}  // namespace velmora

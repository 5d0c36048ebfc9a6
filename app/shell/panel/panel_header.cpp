#include "app/shell/panel/panel_header.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "app/design/a11y.h"
#include "app/design/app_icon_plate.h"
#include "app/design/brand.h"
#include "app/design/text_block.h"
#include "app/design/theme.h"

namespace velmora {
namespace {

constexpr int kIcon = 28, kDot = 6;

}  // namespace

DynColor statusColor(StatusTone tone) {
    switch (tone) {
        case StatusTone::ok:
            return DS::ok;
        case StatusTone::warn:
            return DS::warn;
        case StatusTone::err:
            return DS::err;
        case StatusTone::accent:
            return DS::accent;
        case StatusTone::dimmed:
            break;
    }
    return SystemColor::secondary.withOpacity(0.6);
}

PanelHeader::PanelHeader(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 12, 14, 10);
    row->setSpacing(10);
    row->addWidget(new AppIconPlate(kIcon, 2 * kIcon, 7));  // drawn at twice its size

    auto* texts = new QVBoxLayout();
    texts->setSpacing(0);
    // The product's name is the same in every language.
    texts->addWidget(new TextBlock(QStringLiteral("Velmora"), design::font(13, QFont::DemiBold),
                                   SystemColor::primary, false));
    auto* statusRow = new QHBoxLayout();
    statusRow->setSpacing(5);
    statusRow->addSpacing(kDot);  // the dot is painted by the header, in the tone's colour
    status_ = new TextBlock({}, design::font(12, QFont::Normal), SystemColor::secondary, false);
    statusRow->addWidget(status_, 1);
    texts->addLayout(statusRow);
    row->addLayout(texts, 1);
    setAccessibleName(QStringLiteral("Velmora"));
}

void PanelHeader::setStatus(const QString& text, StatusTone tone) {
    if (text == status_->text() && tone == tone_) return;
    status_->setText(text);
    tone_ = tone;
    setAccessibleDescription(text);
    update();
}

QString PanelHeader::statusText() const {
    return status_->text();
}

void PanelHeader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(design::resolved(statusColor(tone_)));
    const QRect text = status_->geometry();
    p.drawEllipse(QRectF(text.left() - 5 - kDot, text.center().y() - kDot / 2.0 + 0.5, kDot, kDot));
}

}  // namespace velmora

#include "app/shell/card/drop_area.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "app/design/a11y.h"
#include "app/design/text_block.h"
#include "app/design/theme.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

constexpr double kRadius = 9;
constexpr double kLine = 1.5;

}  // namespace

DropArea::DropArea(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(54);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleDescription(QString::fromStdString(L10n::string("a11y.drop.hint")));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(2);
    present({}, false, false);
}

void DropArea::present(const QString& text, bool emphasis, bool highlight, bool failure) {
    failure = failure && emphasis;
    if (text_ && text == text_->text() && emphasis == emphasis_ && highlight == highlight_ &&
        failure == failure_)
        return;
    if (!text_ || emphasis != emphasis_ || failure != failure_) {
        delete text_;  // the font and colour are the block's own, so a change of look makes a new one
        const DynColor color = failure    ? DynColor(DS::err)
                               : emphasis ? DS::accentText
                                          : SystemColor::secondary;
        text_ =
            new TextBlock(text, design::font(12, emphasis ? QFont::DemiBold : QFont::Normal), color, true);
        static_cast<QVBoxLayout*>(layout())->addWidget(text_, 0, Qt::AlignCenter);
    }
    text_->setText(text);
    setAccessibleName(text);
    emphasis_ = emphasis;
    highlight_ = highlight;
    failure_ = failure;
    update();
}

QString DropArea::text() const {
    return text_ ? text_->text() : QString();
}

void DropArea::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(kLine / 2, kLine / 2, -kLine / 2, -kLine / 2);
    if (highlight_) {
        p.setPen(Qt::NoPen);
        p.setBrush(design::resolved(DS::accentTint));
        p.drawRoundedRect(box, kRadius, kRadius);
    }
    QPen pen(design::resolved(highlight_ ? DS::accent : DS::fill2), kLine);
    pen.setDashPattern({4 / kLine, 3 / kLine});  // in line widths: 4 on, 3 off
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(box, kRadius, kRadius);
}

}  // namespace velmora

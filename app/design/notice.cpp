#include "app/design/notice.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "app/design/a11y.h"
#include "app/design/text_block.h"
#include "app/design/theme.h"
#include "core/l10n/l10n.h"

namespace velmora {

namespace {

constexpr int kIconWidth = 16;
constexpr int kIconPixelSize = 14;

// What each kind looks like, and what assistive tools call its icon.
struct KindLook {
    Symbol symbol;
    DynColor fg;
    DynColor tint;
    const char* iconKey;
};

const KindLook& lookOf(Notice::Kind kind) {
    static const KindLook looks[] = {
        {Symbol::warningTriangle, DS::warn, DS::warnTint, "a11y.notice.warn"},
        {Symbol::errorCircle, DS::err, DS::errTint, "a11y.notice.err"},
        {Symbol::infoCircle, SystemColor::secondary, DS::fill, "a11y.notice.info"},
    };
    return looks[static_cast<int>(kind)];
}

// The notice's symbol, 16 pixels wide and as tall as a line of its 14-pixel font.
class NoticeIcon : public QWidget {
  public:
    NoticeIcon(Notice::Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
        const int lineHeight = QFontMetrics(design::font(kIconPixelSize, QFont::DemiBold)).height();
        setFixedSize(kIconWidth, lineHeight);
        a11y::setRole(this, QAccessible::Graphic);
        setAccessibleName(QString::fromStdString(L10n::string(lookOf(kind).iconKey)));
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        drawSymbol(p, Notice::symbol(kind_), QRectF(rect()), design::resolved(Notice::foreground(kind_)),
                   kIconPixelSize);
    }

  private:
    Notice::Kind kind_;
};

}  // namespace

Symbol Notice::symbol(Kind kind) {
    return lookOf(kind).symbol;
}

DynColor Notice::foreground(Kind kind) {
    return lookOf(kind).fg;
}

DynColor Notice::tint(Kind kind) {
    return lookOf(kind).tint;
}

Notice::Notice(Kind kind, const QString& title, const std::optional<QString>& text, QWidget* actions,
               QWidget* parent)
    : QWidget(parent), kind_(kind) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 10, 12, 10);
    row->setSpacing(10);

    // The icon is nudged 1 pixel down and stays at the top however many lines the texts take.
    auto* iconColumn = new QVBoxLayout;
    iconColumn->setContentsMargins(0, 1, 0, 0);
    icon_ = new NoticeIcon(kind, this);
    iconColumn->addWidget(icon_);
    iconColumn->addStretch(1);
    row->addLayout(iconColumn);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    title_ = new TextBlock(title, design::font(12, QFont::DemiBold), SystemColor::primary, true, this);
    texts->addWidget(title_);
    if (text) {
        text_ = new TextBlock(*text, design::font(12, QFont::Normal), SystemColor::secondary, true, this);
        texts->addWidget(text_);
    }
    if (actions) {
        actions->setParent(this);
        texts->addWidget(actions, 0, Qt::AlignLeft);
    }
    texts->addStretch(1);
    // The texts take the rest of the width, so the content keeps to the leading edge.
    row->addLayout(texts, 1);

    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    a11y::setRole(this, QAccessible::Grouping);
    setAccessibleName(title);
}

void Notice::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath plate;
    plate.addRoundedRect(QRectF(rect()), 10, 10);
    p.fillPath(plate, design::resolved(tint(kind_)));
}

}  // namespace velmora

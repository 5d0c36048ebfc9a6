#include "app/shell/pairing/pairing_view.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "app/design/a11y.h"
#include "app/design/brand.h"
#include "app/design/buttons.h"
#include "app/design/text_block.h"
#include "app/design/theme.h"
#include "app/shell/pairing/pairing_model.h"
#include "core/l10n/l10n.h"

namespace velmora {

namespace {

constexpr int kButtonPadding = 18;  // each side of a primary button's label

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

QFont codeFont() {
    QFont f = design::font(28, QFont::DemiBold);
    f.setFamily(QStringLiteral("DejaVu Sans Mono"));
    f.setStyleHint(QFont::Monospace);
    return f;
}

// The application icon at 52 with its rounded corners and soft shadow in the brand's first colour.
class PairingIcon : public QWidget {
  public:
    explicit PairingIcon(QWidget* parent) : QWidget(parent) {
        setFixedSize(52 + 2 * 8, 52 + 2 * 8);
        a11y::hide(this);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF plate(8, 8 - 2, 52, 52);
        QColor shadow = design::resolved(DS::gradStart);
        for (int i = 6; i > 0; --i) {  // a few widening rings approximate the blur of radius 6
            shadow.setAlphaF(0.3 / 6);
            p.setPen(Qt::NoPen);
            p.setBrush(shadow);
            p.drawRoundedRect(plate.translated(0, 4).adjusted(-i / 2.0, -i / 2.0, i / 2.0, i / 2.0),
                              13 + i / 2.0, 13 + i / 2.0);
        }
        QPainterPath clip;
        clip.addRoundedRect(plate, 13, 13);
        p.setClipPath(clip);
        p.drawImage(plate, Brand::appIconImage(104 * static_cast<int>(std::max(1.0, devicePixelRatioF()))));
    }
};

// The code: six boxes with a gap after the third, or the code as received in one line.
class CodeRow : public QWidget {
  public:
    CodeRow(const PairingModel& model, QWidget* parent) : QWidget(parent), model_(model) {
        setFixedHeight(50);
        setAccessibleName(q(L10n::format("a11y.pairing.code", {PairingCode::spoken(model.digits)})));
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setFont(codeFont());
        QColor ink = design::resolved(SystemColor::primary);
        if (model_.expired()) ink = design::resolved(SystemColor::secondary.withOpacity(0.5));
        if (!PairingCode::showsBoxes(model_.digits)) {
            p.setPen(ink);
            p.drawText(rect(), Qt::AlignCenter, q(model_.raw));
            return;
        }
        const double boxW = 38, boxH = 50, spacing = 6, groupGap = 10;
        const double total = 6 * boxW + 5 * spacing + groupGap;
        double x = (width() - total) / 2;
        for (std::size_t i = 0; i < 6; ++i) {
            if (i == 3) x += groupGap + spacing;
            const QRectF box(x, 0, boxW, boxH);
            p.setPen(Qt::NoPen);
            p.setBrush(design::resolved(DS::card));
            p.drawRoundedRect(box, 8, 8);
            p.setPen(QPen(design::resolved(DS::cardBorder), 0.5));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(box.adjusted(0.25, 0.25, -0.25, -0.25), 8, 8);
            p.setPen(ink);
            p.drawText(box, Qt::AlignCenter, q(model_.digits[i]));
            x += boxW + spacing;
        }
    }

  private:
    const PairingModel& model_;
};

// A centred text that wraps onto further lines, in a palette colour resolved when it paints.
class CentredText : public QLabel {
  public:
    CentredText(const QString& text, const QFont& font, const DynColor& color, QWidget* parent)
        : QLabel(text, parent), color_(color) {
        setFont(font);
        setWordWrap(true);
        setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(design::resolved(color_));
        p.drawText(contentsRect(), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text());
    }

  private:
    DynColor color_;
};

}  // namespace

PairingView::PairingView(PairingModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setFixedWidth(380);
    setFocusPolicy(Qt::StrongFocus);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(26, 8, 26, 20);
    column->setSpacing(0);
    column->addWidget(new PairingIcon(this), 0, Qt::AlignHCenter);
    column->addSpacing(12 - 8);  // the icon's shadow margin takes the rest
    column->addWidget(new CentredText(q(L10n::format("pairing.title", {model.peerName})),
                                      design::font(15, QFont::DemiBold), SystemColor::primary, this));
    const QFont small = design::font(13, QFont::Normal);
    column->addSpacing(4);
    instruction_ = new CentredText(q(L10n::string("pairing.check")), small, SystemColor::secondary, this);
    expiredText_ = new CentredText(q(L10n::string("pairing.expired.text")), small, DS::err, this);
    column->addWidget(instruction_);
    column->addWidget(expiredText_);
    column->addSpacing(18);
    code_ = new CodeRow(model, this);
    column->addWidget(code_);
    column->addSpacing(10);
    QFont digitsFont = design::font(11, QFont::Normal);
    digitsFont.setFamily(QStringLiteral("DejaVu Sans Mono"));
    validity_ = new TextBlock({}, digitsFont, SystemColor::secondary, false, this);
    expiredTimer_ = new TextBlock(q(L10n::string("pairing.expired.timer")), digitsFont, DS::err, false, this);
    column->addWidget(validity_, 0, Qt::AlignHCenter);
    column->addWidget(expiredTimer_, 0, Qt::AlignHCenter);
    column->addSpacing(8);
    warning_ = new CentredText(q(L10n::string("pairing.mismatch_warning")), design::font(12, QFont::Normal),
                               SystemColor::secondary, this);
    column->addWidget(warning_);
    column->addSpacing(18);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    cancel_ = new SecondaryButton(q(L10n::string("common.cancel")), 28, false, this);
    confirm_ = new PrimaryButton(q(L10n::string("pairing.codes_match")), false, this);
    // At least this wide, and wider when the label and its side padding need it (a longer language): the
    // primary look fills the width it is given and brings no padding of its own.
    confirm_->setMinimumWidth(std::max(170, confirm_->sizeHint().width() + 2 * kButtonPadding));
    confirm_->setAccessibleDescription(q(L10n::string("a11y.pairing.confirm_hint")));
    close_ = new PrimaryButton(q(L10n::string("common.close")), false, this);
    close_->setMinimumWidth(std::max(150, close_->sizeHint().width() + 2 * kButtonPadding));
    for (auto* b :
         {static_cast<QWidget*>(cancel_), static_cast<QWidget*>(confirm_), static_cast<QWidget*>(close_)})
        buttons->addWidget(b);
    column->addLayout(buttons);

    connect(cancel_, &QAbstractButton::clicked, this, [this] { model_.decide(false); });
    connect(confirm_, &QAbstractButton::clicked, this, [this] { model_.decide(true); });
    connect(close_, &QAbstractButton::clicked, this, [this] { model_.decide(false); });
    connect(&model_, &PairingModel::changed, this, &PairingView::refresh);
    refresh();
}

void PairingView::refresh() {
    const bool expired = model_.expired();
    instruction_->setVisible(!expired);
    expiredText_->setVisible(expired);
    validity_->setText(q(L10n::format("pairing.valid_for", {L10n::clock(model_.left())})));
    validity_->setVisible(!expired);
    expiredTimer_->setVisible(expired);
    // The warning tells to cancel a code that differs; an expired code can only be closed.
    warning_->setVisible(!expired);
    cancel_->setVisible(!expired);
    confirm_->setVisible(!expired);
    confirm_->setEnabled(model_.ready());
    close_->setVisible(expired);
    code_->update();
}

void PairingView::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter || (event->key() == Qt::Key_Escape && !model_.expired())) {
        model_.decide(false);
        event->accept();
        return;
    }
    // Escape once the code expired: only Close, Return or the window's own close button end the dialog.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace velmora

#include "app/shell/phones/permissions_fold.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPainter>
#include <QVBoxLayout>
#include <utility>

#include "app/design/a11y.h"
#include "app/design/buttons.h"
#include "app/design/cards.h"
#include "app/design/fold_row.h"
#include "app/design/theme.h"
#include "app/shell/phones/body_parts.h"
#include "app/shell/phones/phone_list_actions.h"
#include "core/l10n/l10n.h"

namespace velmora {

using namespace phones;

namespace {

DynColor symbolColor(PermState state) {
    switch (state) {
        case PermState::ok:
            return DS::ok;
        case PermState::warn:
            return DS::warn;
        case PermState::bad:
            break;
    }
    return DS::err;
}

DynColor circleColor(PermState state) {
    switch (state) {
        case PermState::ok:
            return DS::okTint;
        case PermState::warn:
            return DS::warnTint;
        case PermState::bad:
            break;
    }
    return DS::errTint;
}

// A check mark, an exclamation mark or a cross on a tinted disc, 18 by 18; the status text says the same.
class StateMark : public QWidget {
  public:
    explicit StateMark(PermState state) : state_(state) {
        setFixedSize(18, 18);
        a11y::hide(this);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(design::resolved(circleColor(state_)));
        p.drawEllipse(rect());
        p.setPen(
            QPen(design::resolved(symbolColor(state_)), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        switch (state_) {
            case PermState::ok:
                p.drawPolyline(QPolygonF({{5.5, 9.3}, {8, 11.8}, {12.5, 6.4}}));
                break;
            case PermState::warn:
                p.drawLine(QPointF(9, 5), QPointF(9, 10.2));
                p.drawPoint(QPointF(9, 13));
                break;
            case PermState::bad:
                p.drawLine(QPointF(6.2, 6.2), QPointF(11.8, 11.8));
                p.drawLine(QPointF(11.8, 6.2), QPointF(6.2, 11.8));
                break;
        }
    }

  private:
    PermState state_;
};

}  // namespace

PermissionsFold::PermissionsFold(PhoneListActions& actions, QWidget* parent)
    : QWidget(parent),
      actions_(actions),
      binding_(new FoldBinding(false, this)),
      layout_(new QVBoxLayout(this)) {
    layout_->setContentsMargins(0, 0, 0, 0);
}

void PermissionsFold::present(const PermissionFacts& facts) {
    if (!userChose_) binding_->setExpanded(permissionsOpenByDefault(facts));
    if (shown_ == facts) return;
    shown_ = facts;
    const std::vector<PermRowView> rows = permissionRows(facts);
    const PermSummary summary = permissionSummary(rows);
    FoldRow* old = std::exchange(row_, nullptr);
    row_ = new FoldRow(q(L10n::string("perms.title")), q(summary.text), symbolColor(summary.worst), binding_,
                       content(rows, permissionNotes(facts)));
    // The header toggles the binding first; from then on the user's choice decides.
    connect(row_->header(), &FoldHeader::clicked, this, [this] { userChose_ = true; });
    layout_->addWidget(row_);
    row_->show();  // now, so that the frame's height that follows counts it
    if (old) keepFocus(*old);
    retire(old);
}

// Focus inside the old row moves to the new one before the old one goes: to the button with the same
// title (the same action, as after "Check again" while another row still offers it), else to the header.
// Left to the vanishing row, it would pass down the focus chain and the panel would scroll after it.
void PermissionsFold::keepFocus(const FoldRow& old) {
    const QWidget* focus = QApplication::focusWidget();
    if (!old.isAncestorOf(focus)) return;
    QWidget* next = row_->header();
    if (const auto* button = qobject_cast<const QAbstractButton*>(focus))
        for (auto* same : row_->findChildren<QAbstractButton*>())
            if (same->text() == button->text() && same->isVisible()) {
                next = same;
                break;
            }
    next->setFocus(Qt::OtherFocusReason);
}

QWidget* PermissionsFold::content(const std::vector<PermRowView>& rows,
                                  const std::vector<std::string>& notes) {
    QWidget* column = box(QBoxLayout::TopToBottom, 8, {6, 4, 6, 8});
    auto* card = new ListCard;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0) card->add(new RowDivider);
        card->add(permLine(rows[i]));
    }
    layoutOf(column)->addWidget(card);
    for (const std::string& note : notes) {
        QWidget* padded = box(QBoxLayout::TopToBottom, 0, {4, 0, 4, 0});
        layoutOf(padded)->addWidget(text(note, 12, SystemColor::secondary, true));
        layoutOf(column)->addWidget(padded);
    }
    return column;
}

QWidget* PermissionsFold::permLine(const PermRowView& row) {
    QWidget* line = box(QBoxLayout::LeftToRight, 10, {10, 8, 10, 8});
    line->setAccessibleName(q(row.name + ": " + row.status));
    layoutOf(line)->addWidget(new StateMark(row.state), 0, Qt::AlignVCenter);
    QWidget* texts = box(QBoxLayout::TopToBottom, 1);
    layoutOf(texts)->addWidget(text(row.name, 13, SystemColor::primary, true));
    const DynColor statusColor = row.state == PermState::ok ? SystemColor::secondary : symbolColor(row.state);
    layoutOf(texts)->addWidget(text(row.status, 11, statusColor, true));
    layoutOf(line)->addWidget(texts, 1);
    if (!row.button.empty()) {
        layoutOf(line)->addSpacing(6);
        auto* button = new SecondaryButton(q(row.button), 22, false);
        connect(button, &QAbstractButton::clicked, this, [this, action = row.action] { act(action); });
        layoutOf(line)->addWidget(button, 0, Qt::AlignVCenter);
    }
    return line;
}

void PermissionsFold::act(PermAction action) {
    switch (action) {
        case PermAction::openBluetoothSettings:
            actions_.openBluetoothSettings();
            return;
        case PermAction::checkAgain:
            actions_.checkPermissionsAgain();
            return;
        case PermAction::showInstallSection:
            actions_.showInstallSection();
            return;
        case PermAction::none:
            return;
    }
}

}  // namespace velmora

#include "app/shell/prefs/connection_prefs_view.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPainter>
#include <QVBoxLayout>

#include "app/design/cards.h"
#include "app/design/text_block.h"
#include "app/design/theme.h"
#include "app/shell/prefs/prefs_controls.h"
#include "core/l10n/l10n.h"

namespace velmora {

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

QString kindTitle(ConnKind kind) {
    switch (kind) {
        case ConnKind::usb:
            return q(L10n::string("conn.usb.title"));
        case ConnKind::wifi:
            return q(L10n::string("conn.wifi.title"));
        case ConnKind::hotspot:
            return q(L10n::string("conn.hotspot.title"));
        case ConnKind::ble:
            return q(L10n::string("conn.ble.title"));
    }
    return {};
}

QString kindDetail(ConnKind kind) {
    switch (kind) {
        case ConnKind::usb:
            return q(L10n::string("conn.usb.detail"));
        case ConnKind::wifi:
            return q(L10n::string("conn.wifi.detail"));
        case ConnKind::hotspot:
            return q(L10n::string("conn.hotspot.detail"));
        case ConnKind::ble:
            return q(L10n::string("conn.ble.detail"));
    }
    return {};
}

// The drag's picture: the title on a plate, padded 6.
QPixmap dragPreview(const QString& title) {
    const QFont font = design::font(13, QFont::Normal);
    const QSize text = QFontMetrics(font).size(Qt::TextSingleLine, title);
    QPixmap pixmap(text + QSize(12, 12));
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(design::resolved(SystemColor::window));
    painter.drawRoundedRect(QRectF(pixmap.rect()), 6, 6);
    painter.setFont(font);
    painter.setPen(design::resolved(SystemColor::primary));
    painter.drawText(pixmap.rect(), Qt::AlignCenter, title);
    return pixmap;
}

}  // namespace

ConnectionRow::ConnectionRow(const std::vector<LinkPref>& prefs, std::size_t index, PrefsActions& actions,
                             std::function<void()> changed, QWidget* parent)
    : QWidget(parent),
      kind_(prefs[index].kind),
      title_(kindTitle(kind_)),
      actions_(actions),
      changed_(std::move(changed)) {
    const LinkPref& pref = prefs[index];
    setAcceptDrops(true);
    setMinimumHeight(40);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 6, 10, 6);
    row->setSpacing(10);
    row->addWidget(new SymbolView(PanelSymbol::line3Horizontal, 12, SystemColor::secondary.withOpacity(0.6)));
    auto* number = new TextBlock(QString::number(index + 1), design::font(11, QFont::Normal),
                                 SystemColor::secondary.withOpacity(0.6), false);
    number->setFixedWidth(10);
    row->addWidget(number);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    texts->addWidget(oneLineText(title_, design::font(13, QFont::Normal), SystemColor::primary));
    texts->addWidget(
        new TextBlock(pref.enabled ? kindDetail(kind_) : q(L10n::string("prefs.connections.off")),
                      design::font(12, QFont::Normal), SystemColor::secondary, true));
    row->addLayout(texts, 1);
    row->addSpacing(4);

    auto* up = new GlyphButton(PanelSymbol::chevronUp);
    up->setEnabled(index > 0);
    up->setToolTip(q(L10n::string("prefs.connections.move_up.help")));
    up->setAccessibleName(q(L10n::format("a11y.connections.move_up", {title_.toStdString()})));
    auto* down = new GlyphButton(PanelSymbol::chevronDown);
    down->setEnabled(index + 1 < prefs.size());
    down->setToolTip(q(L10n::string("prefs.connections.move_down.help")));
    down->setAccessibleName(q(L10n::format("a11y.connections.move_down", {title_.toStdString()})));
    auto* toggle = new SmallSwitch;
    toggle->setOn(pref.enabled);
    const bool locked = prefs::keepOneHolds(prefs, index);
    toggle->setEnabled(!locked);
    toggle->setToolTip(locked ? q(L10n::string("prefs.connections.keep_one")) : QString());
    toggle->setAccessibleName(title_);
    row->addWidget(up);
    row->addWidget(down);
    row->addWidget(toggle);

    const ConnKind kind = kind_;
    connect(up, &QAbstractButton::clicked, this, [this, kind] {
        actions_.moveLink(kind, -1);
        changed_();
    });
    connect(down, &QAbstractButton::clicked, this, [this, kind] {
        actions_.moveLink(kind, 1);
        changed_();
    });
    connect(toggle, &SmallSwitch::flipRequested, this, [this, kind](bool on) {
        actions_.setLinkEnabled(kind, on);
        changed_();
    });
}

void ConnectionRow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressedAt_ = event->position().toPoint();
    event->accept();
}

void ConnectionRow::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    if ((event->position().toPoint() - pressedAt_).manhattanLength() < QApplication::startDragDistance())
        return;
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setText(QString::fromUtf8(rawValue(kind_).data(), static_cast<qsizetype>(rawValue(kind_).size())));
    drag->setMimeData(data);
    drag->setPixmap(dragPreview(title_));
    drag->exec(Qt::MoveAction);
}

void ConnectionRow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasText()) event->acceptProposedAction();
}

void ConnectionRow::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasText()) event->acceptProposedAction();
}

void ConnectionRow::dropEvent(QDropEvent* event) {
    // Several dragged texts arrive as lines; the first one counts.
    const QString text = event->mimeData()->hasText() ? event->mimeData()->text() : QString();
    const auto dragged = prefs::droppedKind(text.isEmpty() ? QStringList() : text.split('\n'));
    if (!dragged) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    actions_.reorderLink(*dragged, kind_);
    changed_();
}

ConnectionPrefsView::ConnectionPrefsView(PrefsActions& actions, std::function<void()> changed,
                                         QWidget* parent)
    : QWidget(parent), actions_(actions), changed_(std::move(changed)), column_(new QVBoxLayout(this)) {
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(6);
    auto* hint = new TextBlock(q(L10n::string("prefs.connections.drag_hint")),
                               design::font(12, QFont::Normal), SystemColor::secondary, true);
    hint->setContentsMargins(4, 0, 4, 0);
    column_->addWidget(hint);
    auto* presets = new QHBoxLayout;
    presets->setSpacing(6);
    auto* bleOnly = smallSecondaryButton(q(L10n::string("prefs.preset.ble_only")));
    auto* automatic = smallSecondaryButton(q(L10n::string("prefs.preset.auto")));
    presets->addWidget(bleOnly);
    presets->addWidget(automatic);
    presets->addStretch(1);
    column_->addLayout(presets);
    connect(bleOnly, &QAbstractButton::clicked, this, [this] {
        actions_.applyPreset(prefs::bluetoothOnlyPreset());
        changed_();
    });
    connect(automatic, &QAbstractButton::clicked, this, [this] {
        actions_.applyPreset(prefs::automaticPreset());
        changed_();
    });
}

void ConnectionPrefsView::show(const PrefsValues& values) {
    if (card_ && values.linkPrefs == shown_) return;
    shown_ = values.linkPrefs;
    // The old rows go once the event that changed them is done: a row may be the sender.
    if (card_) {
        card_->hide();
        card_->deleteLater();
    }
    card_ = new ListCard;
    for (std::size_t i = 0; i < shown_.size(); ++i) {
        if (i > 0) card_->add(new RowDivider);
        card_->add(new ConnectionRow(shown_, i, actions_, changed_));
    }
    column_->insertWidget(0, card_);
}

QList<ConnectionRow*> ConnectionPrefsView::rows() const {
    return card_ ? card_->findChildren<ConnectionRow*>() : QList<ConnectionRow*>{};
}

}  // namespace velmora

#include "app/mirror/window/mirror_view.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <utility>

#include "app/mirror/logic/input_messages.h"
#include "app/mirror/logic/key_mapper.h"
#include "app/mirror/logic/paste_chunker.h"
#include "app/mirror/video/avcodec_video_sink.h"
#include "core/exec/executor.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

const QColor kStage(13, 13, 16);

// The key press as the key mapper reads it; the characters of Ctrl+letter are the letter itself, since Qt
// hands control characters in text().
KeyPress keyPress(const QKeyEvent& e) {
    using enum KeyPress::Key;
    KeyPress press;
    press.ctrl = e.modifiers().testFlag(Qt::ControlModifier);
    press.shift = e.modifiers().testFlag(Qt::ShiftModifier);
    switch (e.key()) {
        case Qt::Key_Backspace:
            press.key = backspace;
            break;
        case Qt::Key_Delete:
            press.key = forwardDelete;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            press.key = enter;
            break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            press.key = tab;
            break;
        case Qt::Key_Escape:
            press.key = escape;
            break;
        case Qt::Key_Left:
            press.key = left;
            break;
        case Qt::Key_Right:
            press.key = right;
            break;
        case Qt::Key_Up:
            press.key = up;
            break;
        case Qt::Key_Down:
            press.key = down;
            break;
        case Qt::Key_Home:
            press.key = home;
            break;
        case Qt::Key_End:
            press.key = end;
            break;
        default:
            QString chars = e.text();
            if (e.key() >= Qt::Key_A && e.key() <= Qt::Key_Z) chars = QChar(u'a' + (e.key() - Qt::Key_A));
            if (e.key() == Qt::Key_BracketLeft) chars = QStringLiteral("[");
            press.characters = chars.toStdString();
    }
    if (e.key() == Qt::Key_Backtab) press.shift = true;
    return press;
}

// Typed text without control characters and the private function-key range of some toolkits.
QString printable(const QString& text) {
    QString out;
    for (const char32_t scalar : text.toUcs4()) {
        if (scalar < 0x20 || scalar == 0x7F || (scalar >= 0xF700 && scalar <= 0xF8FF)) continue;
        out += QString::fromUcs4(&scalar, 1);
    }
    return out;
}

}  // namespace

MirrorView::MirrorView(Executor& executor, QWidget* parent)
    : QWidget(parent), executor_(executor), scheduler_(executor), pointer_(scheduler_) {
    pointer_.deliver = [this](const Message& m) { send(m); };
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

MirrorView::~MirrorView() {
    if (cancelPending_) cancelPending_();
}

void MirrorView::send(const Message& message) {
    if (onInput) onInput(message);
}

void MirrorView::showFrame(std::shared_ptr<const VideoFrame> frame) {
    if (!frame || frame->width <= 0 || frame->height <= 0) return;
    frame_ = std::move(frame);
    image_ =
        QImage(frame_->pixels.data(), frame_->width, frame_->height, frame_->stride, QImage::Format_RGB32);
    update();
}

void MirrorView::showImage(QImage image) {
    frame_.reset();
    image_ = std::move(image);
    update();
}

void MirrorView::clearPicture() {
    frame_.reset();
    image_ = QImage();
    update();
}

void MirrorView::paintEvent(QPaintEvent*) {
    noteDeviceSize();
    QPainter p(this);
    if (image_.isNull()) {
        p.fillRect(rect(), kStage);
        return;
    }
    if (image_.size() == deviceSize_) {
        // Already at the view's size: a copy, pixel for pixel, in device pixels.
        const qreal ratio = devicePixelRatioF();
        p.save();
        p.scale(1 / ratio, 1 / ratio);
        p.drawImage(QPoint(0, 0), image_);
        p.restore();
    } else {
        // A still image, or a picture converted before the view last changed size.
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRectF(rect()), image_);
    }
    // The container's colour over the corners outside the rounded rectangle, one at a time so that each
    // fill touches only its own few pixels.
    p.setRenderHint(QPainter::Antialiasing);
    for (const QPainterPath& corner : corners_)
        p.fillPath(corner, kStage);
    p.end();
    if (onPainted) onPainted();
}

void MirrorView::noteDeviceSize() {
    const qreal ratio = devicePixelRatioF();
    const QSize device(qRound(width() * ratio), qRound(height() * ratio));
    if (device == deviceSize_) return;
    deviceSize_ = device;
    if (onPixelSize) onPixelSize(device.width(), device.height());
}

void MirrorView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    pointer_.size = {static_cast<double>(width()), static_cast<double>(height())};
    // Each corner: the r × r square at the outer corner less the quarter of the circle it holds.
    const QRectF area(rect());
    const double r = kCornerRadius;
    const struct {
        QPointF corner;
        QPointF inward;
    } corners[] = {{area.topLeft(), {1, 1}},
                   {area.topRight(), {-1, 1}},
                   {area.bottomLeft(), {1, -1}},
                   {area.bottomRight(), {-1, -1}}};
    for (std::size_t i = 0; i < corners_.size(); ++i) {
        const auto& [corner, inward] = corners[i];
        QPainterPath square;
        square.addRect(QRectF(corner, corner + inward * r).normalized());
        QPainterPath circle;
        circle.addEllipse(QRectF(corner, corner + inward * (2 * r)).normalized());
        corners_[i] = square.subtracted(circle);
    }
    noteDeviceSize();
}

ViewPoint MirrorView::toView(QPointF p) const {
    return {p.x(), height() - p.y()};
}

void MirrorView::mousePressEvent(QMouseEvent* e) {
    setFocus(Qt::MouseFocusReason);
    if (e->button() == Qt::RightButton) {
        send(InputMessage::key("back"));
        return;
    }
    if (e->button() != Qt::LeftButton) return;
    latest_ = toView(e->position());
    pointer_.mouseDown(latest_);
}

void MirrorView::mouseDoubleClickEvent(QMouseEvent* e) {
    mousePressEvent(e);  // a second click is a second press, as the phone expects
}

void MirrorView::mouseMoveEvent(QMouseEvent* e) {
    if (!e->buttons().testFlag(Qt::LeftButton)) return;
    latest_ = toView(e->position());
    const double t = static_cast<double>(e->timestamp()) / 1000;
    lastMoveSeen_ = t;
    if (lastMoveSent_ < 0 || t - lastMoveSent_ >= kDragInterval) {
        lastMoveSent_ = t;
        if (cancelPending_) std::exchange(cancelPending_, nullptr)();
        pointer_.mouseDragged(latest_);
        return;
    }
    if (cancelPending_) return;  // the waiting delivery takes the newest position
    const TimerHandle handle = executor_.postAfter(kDragInterval, [this] {
        cancelPending_ = nullptr;
        lastMoveSent_ = lastMoveSeen_;
        pointer_.mouseDragged(latest_);
    });
    cancelPending_ = [handle] { handle.cancel(); };
}

void MirrorView::flushDrag() {
    if (!cancelPending_) return;
    std::exchange(cancelPending_, nullptr)();
    pointer_.mouseDragged(latest_);
}

void MirrorView::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    flushDrag();  // the last position reaches the phone before the finger lifts
    pointer_.mouseUp(toView(e->position()));
    lastMoveSent_ = -1;
}

void MirrorView::wheelEvent(QWheelEvent* e) {
    const bool precise = !e->pixelDelta().isNull();
    const double dy = precise ? e->pixelDelta().y() : e->angleDelta().y() / 120.0;
    std::optional<ScrollPhase> phase;
    switch (e->phase()) {
        case Qt::ScrollBegin:
            phase = ScrollPhase::began;
            break;
        case Qt::ScrollUpdate:
            phase = ScrollPhase::changed;
            break;
        case Qt::ScrollEnd:
            phase = ScrollPhase::ended;
            break;
        case Qt::NoScrollPhase:
            // A touchpad under X11 sends precise deltas without phases; the engine ends it after a pause.
            phase = precise ? ScrollPhase::changed : ScrollPhase::wheel;
            break;
        case Qt::ScrollMomentum:
            break;  // the inertial tail after the fingers lift
    }
    e->accept();
    if (phase) pointer_.scroll(*phase, dy, toView(e->position()), precise);
}

bool MirrorView::event(QEvent* e) {
    // The phone's shortcuts (and Escape, its Back) belong to the phone while the view has the focus; any
    // other shortcut stays with the application.
    if (e->type() == QEvent::ShortcutOverride) {
        const KeyPress press = keyPress(*static_cast<QKeyEvent*>(e));
        if (KeyMapper::isPaste(press) || KeyMapper::messages(press)) {
            e->accept();
            return true;
        }
    }
    return QWidget::event(e);
}

bool MirrorView::focusNextPrevChild(bool) {
    return false;  // Tab goes to the phone
}

void MirrorView::keyPressEvent(QKeyEvent* e) {
    e->accept();
    const KeyPress press = keyPress(*e);
    if (KeyMapper::isPaste(press)) return paste();
    if (const auto messages = KeyMapper::messages(press)) {
        for (const auto& m : *messages)
            send(m);
        return;
    }
    if (press.ctrl) return;  // another shortcut: nothing to type
    insertText(e->text());
}

void MirrorView::insertText(const QString& text) {
    const QString clean = printable(text);
    if (!clean.isEmpty()) send(InputMessage::text(clean.toStdString()));
}

void MirrorView::paste() {
    if (!pasteText) return;
    const auto text = pasteText();
    if (!text || text->empty()) return;
    const PasteChunker::Result result = PasteChunker::split(*text);
    for (const std::string& chunk : result.chunks)
        send(InputMessage::text(chunk));
    if (result.truncated && onNotice) {
        onNotice(L10n::format("mirror.notice.paste_truncated", {PasteChunker::maxChars / 1000}));
    }
}

void MirrorView::inputMethodEvent(QInputMethodEvent* e) {
    markedText_ = e->preeditString();  // nothing goes out while composing
    if (!e->commitString().isEmpty()) insertText(e->commitString());
    e->accept();
}

QRect MirrorView::candidateRect() const {
    return {rect().center(), QSize(1, 20)};
}

QVariant MirrorView::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
        case Qt::ImEnabled:
            return true;
        case Qt::ImCursorRectangle:
            return candidateRect();
        case Qt::ImSurroundingText:
            return QString();
        case Qt::ImCurrentSelection:
            return QString();
        case Qt::ImCursorPosition:
            return static_cast<int>(markedText_.size());
        default:
            return QWidget::inputMethodQuery(query);
    }
}

}  // namespace velmora

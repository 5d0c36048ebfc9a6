#pragma once

#include <QImage>
#include <QPainterPath>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "app/mirror/logic/pointer_engine.h"
#include "app/mirror/logic/scheduler.h"

namespace velmora {

class Executor;
struct VideoFrame;

// Shows the phone's picture and turns what the user does over it into the phone's input messages: clicks,
// drags and wheel turns through the pointer engine, keys and shortcuts through the key mapper, typed and
// composed text (input methods) as "in.text", and Ctrl+V as the clipboard's text in chunks. The picture is
// stretched to the view, in a rounded rectangle on the stage colour: a decoded picture arrives converted to
// the view's size in device pixels (onPixelSize says which) and is copied as it is, with the stage colour
// painted over the corners only. Main thread only.
class MirrorView : public QWidget {
    Q_OBJECT
  public:
    using Message = nlohmann::json;
    static constexpr double kCornerRadius = 10;
    static constexpr double kDragInterval = 1.0 / 60;  // drags reach the engine at most this often

    // `executor` runs the engine's long-press and scroll timers and the deferred drag; it must outlive the
    // view.
    explicit MirrorView(Executor& executor, QWidget* parent = nullptr);
    ~MirrorView() override;

    std::function<void(const Message&)> onInput;            // every message, in order; dropped while unset
    std::function<std::optional<std::string>()> pasteText;  // the clipboard's plain text
    std::function<void(const std::string&)> onNotice;       // a short notice for the window
    std::function<void()> onPainted;                        // a picture was painted
    std::function<void(int, int)> onPixelSize;              // the view's size in device pixels changed

    // The newest decoded picture, or a still image (snapshots); shown at the next paint.
    void showFrame(std::shared_ptr<const VideoFrame> frame);
    void showImage(QImage image);
    void clearPicture();
    bool hasPicture() const { return !image_.isNull(); }

    PointerEngine& pointer() { return pointer_; }
    // Where a candidate window of an input method opens: a 1 × 20 rectangle at the view's centre.
    QRect candidateRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    bool focusNextPrevChild(bool next) override;

  private:
    void send(const Message& message);
    void insertText(const QString& text);
    void paste();
    ViewPoint toView(QPointF p) const;
    void flushDrag();
    void noteDeviceSize();

    Executor& executor_;
    ExecutorScheduler scheduler_;
    PointerEngine pointer_;
    std::shared_ptr<const VideoFrame> frame_;  // the pixels image_ reads
    QImage image_;
    QSize deviceSize_;                     // last told through onPixelSize
    std::array<QPainterPath, 4> corners_;  // each corner outside the rounded rectangle, in widget coordinates
    double lastMoveSent_ = -1;             // event time (s) of the last drag handed to the engine
    double lastMoveSeen_ = 0;
    std::function<void()> cancelPending_;  // the deferred drag, when one waits
    ViewPoint latest_;
    QString markedText_;
};

}  // namespace velmora
